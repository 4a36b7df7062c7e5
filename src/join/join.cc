#include "join/join.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "join/row_layout.h"
#include "join/similar_names.h"

namespace joinrel {

namespace {

// Returns `items` in `order`: entry i is items[order[i]].
template <typename T>
std::vector<T> permuted(const std::vector<T>& items, const std::vector<std::size_t>& order) {
  std::vector<T> result(order.size());
  std::transform(order.begin(), order.end(), result.begin(),
                 [&](std::size_t i) { return items[i]; });
  return result;
}

// Returns the index of the relation each name of `joinList` stands for: the
// first one that carries it; a name none carries is refused with those of
// `loadedNames` similar to it.
std::vector<int> lookUpRelations(std::span<const Relation> relations,
                                 std::span<const Attribute> joinList,
                                 std::span<const std::string> loadedNames) {
  std::unordered_map<std::string_view, int> firstByName;
  for (std::size_t i = 0; i < relations.size(); ++i) {
    firstByName.try_emplace(nameToString(relations[i].name), static_cast<int>(i));
  }
  std::vector<int> indices;
  for (const Attribute& entry : joinList) {
    const auto found = firstByName.find(nameToString(entry.name));
    if (found == firstByName.end()) {
      const std::string_view unknown = nameToString(entry.name);
      throw FatalError::unknownRelation(unknown, similarNames(unknown, loadedNames));
    }
    indices.push_back(found->second);
  }
  return indices;
}

}  // namespace

JoinKey findCommonAttribute(const Relation& left, const Relation& right) {
  for (int i = 0; i < left.attributeCount(); ++i) {
    for (int j = 0; j < right.attributeCount(); ++j) {
      if (nameToString(left.attributes[i].name) == nameToString(right.attributes[j].name)) {
        return KeyColumns{i, j};
      }
    }
  }
  return std::nullopt;
}

std::vector<Attribute> joinedAttributes(const Relation& left, const Relation& right,
                                        const JoinKey& key) {
  std::vector<Attribute> attributes = left.attributes;
  for (int k = 0; k < right.attributeCount(); ++k) {
    if (!key || k != key->right) attributes.push_back(right.attributes[k]);
  }
  return attributes;
}

Relation joinPair(const Relation& left, const Relation& right, const JoinKey& key,
                  const StepOptions& options) {
  Relation output;
  output.attributes = joinedAttributes(left, right, key);
  if (output.attributeCount() > MAX_ATTRIBUTES) {
    throw FatalError::resultTooLarge(nameToString(right.name), options.step, StepLimit::Attributes,
                                     output.attributeCount());
  }
  std::vector<SourceColumn> columns;
  columns.reserve(output.attributes.size() + 1);
  for (int k = 0; k < left.attributeCount(); ++k) columns.push_back({false, k});
  for (int k = 0; k < right.attributeCount(); ++k) {
    if (!key || k != key->right) columns.push_back({true, k});
  }
  if (options.order == ColumnOrder::byName) {
    const std::vector<std::size_t> byName = columnsByName(output.attributes);
    columns = permuted(columns, byName);
    output.attributes = permuted(output.attributes, byName);
  }

  const RowLayout layout(columns, left.attributeCount(), right.attributeCount());
  SizedRowBuilder built =
      key ? buildMatchingRows(layout, left, key->left, right, key->right, options)
          : buildProductRows(layout, left, right, options);
  std::move(built).moveRowsInto(output);
  return output;
}

Relation joinAll(std::span<const Relation> relations, std::span<const Attribute> joinList,
                 JoinSink& sink) {
  const std::vector<int> chain = lookUpRelations(relations, joinList, sink.loadedNames());
  sink.relationsChosen(chain);
  Relation working;
  if (chain.size() == 1) working = relations[chain.front()];
  for (std::size_t s = 0; s + 1 < chain.size(); ++s) {
    // The first step reads its left operand in place rather than from a copy.
    const Relation& left = s == 0 ? relations[chain[s]] : working;
    const Relation& right = relations[chain[s + 1]];
    const JoinKey key = findCommonAttribute(left, right);
    // The last step builds its rows with the columns where result has them,
    // and, since result keeps one of each, each distinct row once.
    const bool last = s + 2 == chain.size();
    const int step = static_cast<int>(s) + 1;
    Relation built = joinPair(left, right, key,
                              {.order = last ? ColumnOrder::byName : ColumnOrder::joined,
                               .rows = last ? RowSet::distinct : RowSet::all,
                               .step = step,
                               .recorder = sink.recorder()});
    sink.stepBuilt({step, left, right, key, built});
    working = std::move(built);
  }
  working.name = stringToName("result");
  return working;
}

}  // namespace joinrel
