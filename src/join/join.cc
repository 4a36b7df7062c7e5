#include "join/join.h"

#include <algorithm>
#include <functional>
#include <numeric>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "output/output.h"

namespace joinrel {

namespace {

FatalError tooLarge(const Relation& joinedIn) {
  return FatalError::withName(MessageKind::ResultTooLarge, nameToString(joinedIn.name));
}

// A right row without its join cell: the cells before it and the cells after
// it, each piece with "," between its cells, and whether any cell is left.
struct RowRest {
  std::string_view before;
  std::string_view after;
  bool hasCells = false;
};

// Cuts the cell in column `column` (-1 for none) out of `row`, a row of a
// relation `width` cells wide.
RowRest cutCell(Row row, int width, int column) {
  if (column < 0) return {row, {}, width > 0};
  const std::string_view cell = cellAt(row, column);
  const auto cellStart = static_cast<std::size_t>(cell.data() - row.data());
  const std::size_t cellEnd = cellStart + cell.size();
  if (column == 0) return {row.substr(std::min(cellEnd + 1, row.size())), {}, width > 1};
  // The comma before the cell goes; the one after it, if any, stays.
  return {row.substr(0, cellStart - 1), row.substr(cellEnd), true};
}

// The length of the output row made of `left`'s cells, then `right`'s.
std::size_t joinedSize(Row left, bool leftHasCells, const RowRest& right) {
  return left.size() + (leftHasCells && right.hasCells ? 1 : 0) + right.before.size() +
         right.after.size();
}

// Appends to `builder` the output row made of `left`'s cells, then `right`'s.
void appendJoinedRow(RowBuilder& builder, Row left, bool leftHasCells, const RowRest& right) {
  std::string& text = builder.text();
  text += left;
  if (leftHasCells && right.hasCells) text += ',';
  text += right.before;
  text += right.after;
  builder.endRow();
}

// The right operand's rows, each cut at the join column.
std::vector<RowRest> cutRows(const Relation& right, int rightColumn) {
  std::vector<RowRest> rests(right.rows.size());
  std::transform(right.rows.begin(), right.rows.end(), rests.begin(),
                 [&](Row row) { return cutCell(row, right.attributeCount(), rightColumn); });
  return rests;
}

// The right operand's rows by join cell, so that a left row finds its
// matches without a scan. A hash table with linear probing holds, for each
// distinct cell, the first row carrying it; nextRow chains the others in
// ascending order, and rowsFrom counts a chain's rows from its head.
class RowIndex {
 public:
  explicit RowIndex(std::vector<std::string_view> cells)
      : cells_(std::move(cells)), nextRow_(cells_.size(), -1), rowsFrom_(cells_.size(), 1) {
    std::size_t size = 1;
    while (size < 2 * cells_.size()) size *= 2;  // at most half full: probes stay short
    slots_.assign(size, -1);
    // Backwards, so that each new head comes before the rows it chains.
    for (int r = static_cast<int>(cells_.size()) - 1; r >= 0; --r) {
      int& slot = slots_[find(cells_[r])];
      if (slot != -1) {
        nextRow_[r] = slot;
        rowsFrom_[r] = rowsFrom_[slot] + 1;
      }
      slot = r;
    }
  }

  // Returns the first row whose cell is `cell`, or -1 when none is.
  int firstRow(std::string_view cell) const { return slots_[find(cell)]; }
  // Returns the row after `row` with the same cell, or -1.
  int nextRow(int row) const { return nextRow_[row]; }
  // Returns the number of rows from `row` to the end of its chain.
  int rowsFrom(int row) const { return rowsFrom_[row]; }

 private:
  // Returns the slot that holds `cell`'s first row, or the empty slot where it
  // belongs.
  std::size_t find(std::string_view cell) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = std::hash<std::string_view>{}(cell)&mask;
    while (slots_[i] != -1 && cells_[slots_[i]] != cell) i = (i + 1) & mask;
    return i;
  }

  std::vector<std::string_view> cells_;  // the join cell of each row
  std::vector<int> nextRow_;
  std::vector<int> rowsFrom_;
  std::vector<int> slots_;
};

// Appends the rows of the natural join on left column `leftColumn` and right
// column `rightColumn`, in nested-loop order: for each left row, every right
// row with an equal join cell, in ascending order.
void appendMatchingRows(RowBuilder& builder, const Relation& left, int leftColumn,
                        const Relation& right, int rightColumn) {
  std::vector<std::string_view> rightCells(right.rows.size());
  std::transform(right.rows.begin(), right.rows.end(), rightCells.begin(),
                 [&](Row row) { return cellAt(row, rightColumn); });
  const RowIndex index(std::move(rightCells));

  std::vector<int> firstMatch;  // per left row
  firstMatch.reserve(left.rows.size());
  std::size_t total = 0;
  for (const Row row : left.rows) {
    const int first = index.firstRow(cellAt(row, leftColumn));
    firstMatch.push_back(first);
    if (first != -1) total += static_cast<std::size_t>(index.rowsFrom(first));
  }
  if (total > MAX_ROWS) throw tooLarge(right);

  const std::vector<RowRest> rests = cutRows(right, rightColumn);
  const bool leftHasCells = left.attributeCount() > 0;
  std::size_t textSize = 0;
  for (std::size_t l = 0; l < left.rows.size(); ++l) {
    for (int r = firstMatch[l]; r != -1; r = index.nextRow(r)) {
      textSize += joinedSize(left.rows[l], leftHasCells, rests[r]);
    }
  }
  builder.reserve(textSize, total);
  for (std::size_t l = 0; l < left.rows.size(); ++l) {
    for (int r = firstMatch[l]; r != -1; r = index.nextRow(r)) {
      appendJoinedRow(builder, left.rows[l], leftHasCells, rests[r]);
    }
  }
}

void appendProductRows(RowBuilder& builder, const Relation& left, const Relation& right) {
  if (static_cast<long long>(left.rowCount()) * right.rowCount() > MAX_ROWS) throw tooLarge(right);
  const std::vector<RowRest> rests = cutRows(right, -1);
  const bool leftHasCells = left.attributeCount() > 0;
  std::size_t textSize = 0;
  for (const Row row : left.rows) {
    textSize += std::accumulate(rests.begin(), rests.end(), std::size_t{0},
                                [&](std::size_t sum, const RowRest& rest) {
                                  return sum + joinedSize(row, leftHasCells, rest);
                                });
  }
  builder.reserve(textSize, left.rows.size() * rests.size());
  for (const Row row : left.rows) {
    for (const RowRest& rest : rests) appendJoinedRow(builder, row, leftHasCells, rest);
  }
}

// Returns the index of the relation each name of `joinList` stands for: the
// first one that carries it.
std::vector<int> lookUpRelations(std::span<const Relation> relations,
                                 std::span<const Attribute> joinList) {
  std::unordered_map<std::string_view, int> firstByName;
  for (std::size_t i = 0; i < relations.size(); ++i) {
    firstByName.try_emplace(nameToString(relations[i].name), static_cast<int>(i));
  }
  std::vector<int> indices;
  for (const Attribute& entry : joinList) {
    const auto found = firstByName.find(nameToString(entry.name));
    if (found == firstByName.end()) {
      throw FatalError::withName(MessageKind::UnknownRelation, nameToString(entry.name));
    }
    indices.push_back(found->second);
  }
  return indices;
}

}  // namespace

void resetJoinKey(JoinKey& key) {
  key.left.rightAttribute = -1;
  key.left.leftAttribute = -1;
  key.right.rightAttribute = -1;
  key.right.leftAttribute = -1;
}

bool findCommonAttribute(const Relation& left, const Relation& right, JoinKey& key) {
  for (int i = 0; i < left.attributeCount(); ++i) {
    for (int j = 0; j < right.attributeCount(); ++j) {
      if (nameToString(left.attributes[i].name) == nameToString(right.attributes[j].name)) {
        key.left.leftAttribute = i;
        key.right.rightAttribute = j;
        return true;
      }
    }
  }
  return false;
}

Relation joinPair(const Relation& left, const Relation& right, const JoinKey& key, bool found) {
  // The key holds an attribute pair exactly when the search found one.
  const int rightColumn = found ? key.right.rightAttribute : -1;
  Relation output;
  output.attributes = left.attributes;
  for (int j = 0; j < right.attributeCount(); ++j) {
    if (j != rightColumn) output.attributes.push_back(right.attributes[j]);
  }
  if (output.attributeCount() > MAX_ATTRIBUTES) throw tooLarge(right);

  RowBuilder builder;
  if (found) {
    appendMatchingRows(builder, left, key.left.leftAttribute, right, rightColumn);
  } else {
    appendProductRows(builder, left, right);
  }
  builder.moveRowsInto(output);
  return output;
}

void joinAll(std::span<const Relation> relations, JoinKey& key, std::span<const Attribute> joinList,
             std::ostream& outputFile, RunObserver* observer) {
  const std::vector<int> chain = lookUpRelations(relations, joinList);
  Relation working;
  if (chain.size() == 1) working = relations[chain.front()];
  for (std::size_t s = 0; s + 1 < chain.size(); ++s) {
    key.left.relationIndex = chain[s];
    key.right.relationIndex = chain[s + 1];
    // The first step reads its left operand in place rather than from a copy.
    const Relation& left = s == 0 ? relations[key.left.relationIndex] : working;
    const Relation& right = relations[key.right.relationIndex];
    const bool found = findCommonAttribute(left, right, key);
    Relation built = joinPair(left, right, key, found);
    if (observer != nullptr) {
      const std::string_view attribute =
          found ? nameToString(left.attributes[key.left.leftAttribute].name) : std::string_view();
      observer->joinStepDone({nameToString(left.name), nameToString(right.name), attribute, !found,
                              left.rowCount(), right.rowCount(), built});
    }
    working = std::move(built);
    resetJoinKey(key);
  }
  working.name = stringToName("result");
  normalizeResult(working);
  writeRelation(working, outputFile);
  if (observer != nullptr) observer->resultWritten(working);
}

}  // namespace joinrel
