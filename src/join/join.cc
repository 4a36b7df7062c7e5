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

namespace {

// The columns of the join of `left`, as references, with a right operand
// `rightWidth` columns wide on `key`: left's, then right's without its join
// column, right being operand left.operands.size(); in `order`, with
// `attributes`, the join's attributes, ordered alike.
std::vector<SourceColumn> joinedColumns(const RefRows& left, int rightWidth, const JoinKey& key,
                                        ColumnOrder order, std::vector<Attribute>& attributes) {
  std::vector<SourceColumn> columns = left.columns;
  columns.reserve(left.columns.size() + static_cast<std::size_t>(rightWidth));
  const auto right = static_cast<int>(left.operands.size());
  for (int k = 0; k < rightWidth; ++k) {
    if (!key || k != key->right) columns.push_back({right, k});
  }
  if (order == ColumnOrder::byName) {
    const std::vector<std::size_t> byName = columnsByName(attributes);
    columns = permuted(columns, byName);
    attributes = permuted(attributes, byName);
  }
  return columns;
}

// The attributes of a step's outcome, refused when over 50.
std::vector<Attribute> stepAttributes(const Relation& left, const Relation& right,
                                      const JoinKey& key, int step) {
  std::vector<Attribute> attributes = joinedAttributes(left, right, key);
  if (attributes.size() > MAX_ATTRIBUTES) {
    throw FatalError::resultTooLarge(nameToString(right.name), step, StepLimit::Attributes,
                                     static_cast<int>(attributes.size()));
  }
  return attributes;
}

// Returns the outcome of joining the rows of `left`, whose attributes
// `leftShape` holds, with `right` on `key`, written as text.
Relation joinText(const Relation& leftShape, const RefRows& left, const Relation& right,
                  const JoinKey& key, const StepOptions& options) {
  Relation output;
  output.attributes = stepAttributes(leftShape, right, key, options.step);
  std::vector<SourceColumn> columns =
      joinedColumns(left, right.attributeCount(), key, options.order, output.attributes);
  // The references are freed before the rows are handed over.
  SizedRowBuilder text =
      writeRows(joinRows(left, right, key, std::move(columns), options), options.sizeLimit);
  std::move(text).moveRowsInto(output);
  return output;
}

}  // namespace

// cppcheck-suppress unusedFunction ; one step on its own, which the tests build and check
Relation joinPair(const Relation& left, const Relation& right, const JoinKey& key,
                  const StepOptions& options) {
  return joinText(left, refRowsOf(left), right, key, options);
}

// The steps before the last keep their rows as references to the rows of the
// relations joined, since only the last step's text is written out; a sink
// that reads the steps' rows is given each step's text too.
Relation joinAll(std::span<const Relation> relations, std::span<const Attribute> joinList,
                 JoinSink& sink) {
  const std::vector<int> chain = lookUpRelations(relations, joinList, sink.loadedNames());
  sink.relationsChosen(chain);
  if (chain.size() < 2) {
    Relation only = chain.empty() ? Relation{} : relations[chain.front()];
    only.name = stringToName("result");
    return only;
  }
  const bool readsRows = sink.readsStepRows();
  // The chain so far: its rows, and as a relation its attributes, with its
  // rows too when the sink reads them. The first step reads its left operand
  // in place rather than from a copy.
  RefRows rows = refRowsOf(relations[chain[0]]);
  Relation shown;
  const Relation* left = &relations[chain[0]];
  for (std::size_t s = 1; s + 1 < chain.size(); ++s) {
    const Relation& right = relations[chain[s]];
    const JoinKey key = findCommonAttribute(*left, right);
    const int step = static_cast<int>(s);
    Relation built;
    built.attributes = stepAttributes(*left, right, key, step);
    std::vector<SourceColumn> columns =
        joinedColumns(rows, right.attributeCount(), key, ColumnOrder::joined, built.attributes);
    RefRows next =
        joinRows(rows, right, key, std::move(columns), {.step = step, .recorder = sink.recorder()});
    if (readsRows) writeRows(next, kMaxTextSize).moveRowsInto(built);
    sink.stepBuilt({step, *left, right, key, built});
    rows = std::move(next);
    shown = std::move(built);
    left = &shown;
  }
  // The last step builds its rows with the columns where result has them,
  // and, since result keeps one of each, each distinct row once.
  const Relation& right = relations[chain.back()];
  const JoinKey key = findCommonAttribute(*left, right);
  const auto step = static_cast<int>(chain.size()) - 1;
  Relation built = joinText(*left, rows, right, key,
                            {.order = ColumnOrder::byName,
                             .rows = RowSet::distinct,
                             .step = step,
                             .recorder = sink.recorder()});
  sink.stepBuilt({step, *left, right, key, built});
  built.name = stringToName("result");
  return built;
}

}  // namespace joinrel
