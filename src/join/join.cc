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

// Returns the names, other than `key`'s, that both operands carry, in left's
// column order, each once.
std::vector<std::string_view> sharedNamesOf(const Relation& left, const Relation& right,
                                            const JoinKey& key) {
  const std::string_view keyName =
      key ? nameToString(left.attributes[key->left].name) : std::string_view();
  std::vector<std::string_view> shared;
  for (const Attribute& attribute : left.attributes) {
    const std::string_view name = nameToString(attribute.name);
    const bool inRight =
        std::any_of(right.attributes.begin(), right.attributes.end(),
                    [&](const Attribute& a) { return nameToString(a.name) == name; });
    if (inRight && (!key || name != keyName) &&
        std::find(shared.begin(), shared.end(), name) == shared.end()) {
      shared.push_back(name);
    }
  }
  return shared;
}

// Returns, for each left row in order, a pair with each right row it joins,
// in order: every right row for a product, those whose key cell is the same
// text for a join.
std::vector<RowPair> pairsOf(const Relation& left, const Relation& right, const JoinKey& key) {
  std::vector<RowPair> pairs;
  if (!key) {
    for (int l = 0; l < left.rowCount(); ++l) {
      for (int r = 0; r < right.rowCount(); ++r) pairs.push_back({l, r});
    }
    return pairs;
  }
  std::vector<std::string_view> rightCells(right.rows.size());
  std::transform(right.rows.begin(), right.rows.end(), rightCells.begin(),
                 [&](Row row) { return cellAt(row, key->right, right.attributeCount()); });
  const RowIndex index(std::move(rightCells));
  for (int l = 0; l < left.rowCount(); ++l) {
    const std::string_view cell = cellAt(left.rows[l], key->left, left.attributeCount());
    for (int r = index.firstRow(cell); r != -1; r = index.nextRow(r)) pairs.push_back({l, r});
  }
  return pairs;
}

// Returns the indices that `used` does not mark, ascending.
std::vector<int> unmarked(const std::vector<bool>& used) {
  std::vector<int> indices;
  for (std::size_t i = 0; i < used.size(); ++i) {
    if (!used[i]) indices.push_back(static_cast<int>(i));
  }
  return indices;
}

}  // namespace

StepLineage lineageOf(const Relation& left, const Relation& right, const JoinKey& key) {
  StepLineage lineage;
  lineage.sharedNames = sharedNamesOf(left, right, key);
  lineage.pairs = pairsOf(left, right, key);
  std::vector<bool> leftUsed(left.rows.size());
  std::vector<bool> rightUsed(right.rows.size());
  for (const RowPair& pair : lineage.pairs) {
    leftUsed[pair.left] = true;
    rightUsed[pair.right] = true;
  }
  lineage.unmatchedLeft = unmarked(leftUsed);
  lineage.unmatchedRight = unmarked(rightUsed);
  return lineage;
}

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

Relation joinPair(const Relation& left, const Relation& right, const JoinKey& key,
                  ColumnOrder order, int step, RowSet rows) {
  const int rightColumn = key ? key->right : -1;
  std::vector<SourceColumn> columns;
  Relation output;
  for (int k = 0; k < left.attributeCount(); ++k) {
    columns.push_back({false, k});
    output.attributes.push_back(left.attributes[k]);
  }
  for (int k = 0; k < right.attributeCount(); ++k) {
    if (k == rightColumn) continue;
    columns.push_back({true, k});
    output.attributes.push_back(right.attributes[k]);
  }
  if (output.attributeCount() > MAX_ATTRIBUTES) {
    throw FatalError::resultTooLarge(nameToString(right.name), step, StepLimit::Attributes,
                                     output.attributeCount());
  }
  if (order == ColumnOrder::byName) {
    const std::vector<std::size_t> byName = columnsByName(output.attributes);
    columns = permuted(columns, byName);
    output.attributes = permuted(output.attributes, byName);
  }

  const RowLayout layout(columns, left.attributeCount(), right.attributeCount());
  SizedRowBuilder built =
      key ? buildMatchingRows(layout, left, key->left, right, key->right, step, rows)
          : buildProductRows(layout, left, right, step, rows);
  std::move(built).moveRowsInto(output);
  return output;
}

Relation joinAll(std::span<const Relation> relations, std::span<const Attribute> joinList,
                 JoinSink& sink) {
  const std::vector<int> chain = lookUpRelations(relations, joinList, sink.loadedNames());
  Relation working;
  if (chain.size() == 1) working = relations[chain.front()];
  for (std::size_t s = 0; s + 1 < chain.size(); ++s) {
    // The first step reads its left operand in place rather than from a copy.
    const Relation& left = s == 0 ? relations[chain[s]] : working;
    const Relation& right = relations[chain[s + 1]];
    const JoinKey key = findCommonAttribute(left, right);
    // The last step builds its rows with the columns where result has them,
    // and, since result keeps one of each, each distinct row once; but a sink
    // that wants lineage sees every step whole and in the same column order,
    // so that the tidying's lineage tells how result's columns moved.
    const bool fast = s + 2 == chain.size() && !sink.wantsLineage();
    const int step = static_cast<int>(s) + 1;
    Relation built = joinPair(left, right, key, fast ? ColumnOrder::byName : ColumnOrder::joined,
                              step, fast ? RowSet::distinct : RowSet::all);
    const std::string_view attribute =
        key ? nameToString(left.attributes[key->left].name) : std::string_view();
    std::optional<StepLineage> lineage;
    if (sink.wantsLineage()) lineage = lineageOf(left, right, key);
    sink.stepBuilt({nameToString(left.name), nameToString(right.name), attribute, !key,
                    left.rowCount(), right.rowCount(), built, key, lineage ? &*lineage : nullptr});
    working = std::move(built);
  }
  working.name = stringToName("result");
  return working;
}

}  // namespace joinrel
