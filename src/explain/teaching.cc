// The facts that tell a run from what a reader may take it for: the names a
// step shares but does not compare, the order of result's rows as texts, and
// the compared cells with blanks at an edge.
#include <algorithm>
#include <array>
#include <new>
#include <string_view>

#include "explain/explain.h"

namespace joinrel {

namespace {

// The first column of `relation` named `name`.
int firstColumnNamed(const Relation& relation, std::string_view name) {
  const auto found = std::find_if(
      relation.attributes.begin(), relation.attributes.end(),
      [&](const Attribute& attribute) { return nameToString(attribute.name) == name; });
  return static_cast<int>(found - relation.attributes.begin());
}

bool hasBlankEdge(std::string_view cell) {
  return !cell.empty() &&
         (cell.front() == ' ' || cell.front() == '\t' || cell.back() == ' ' || cell.back() == '\t');
}

// Where a cell of the chain built so far comes from: the relation, by its
// place in the join list, and its row and column there.
struct CellOrigin {
  std::size_t place = 0;
  int row = 0;
  int column = 0;
};

// The place in the join list of the relation that column `column` of the
// left operand of step `number` comes from, as traceLeft() finds it.
std::size_t placeOfLeftColumn(int number, int column, std::span<const int> leftWidths) {
  for (int j = number - 1; j >= 1; --j) {
    const auto at = static_cast<std::size_t>(j - 1);
    if (column >= leftWidths[at]) return static_cast<std::size_t>(j);
  }
  return 0;
}

// Traces row `row`, column `column` of the left operand of step `number` back
// through the steps before it, whose facts are `steps` and whose left
// operands' widths are `leftWidths`: a joined row holds its left row's cells
// in their columns, then its right row's without the join column.
CellOrigin traceLeft(int number, int row, int column, std::span<const StepFacts> steps,
                     std::span<const int> leftWidths) {
  for (int j = number - 1; j >= 1; --j) {
    const auto at = static_cast<std::size_t>(j - 1);
    const RowPair pair = steps[at].lineage.pairs[static_cast<std::size_t>(row)];
    if (column < leftWidths[at]) {
      row = pair.left;
      continue;
    }
    int rightColumn = column - leftWidths[at];
    if (steps[at].key && rightColumn >= steps[at].key->right) ++rightColumn;
    return {static_cast<std::size_t>(j), pair.right, rightColumn};
  }
  return {0, row, column};
}

}  // namespace

SharedNameFacts sharedNameFacts(const Relation& left, const Relation& right, const JoinKey& key,
                                const std::vector<std::string>& shared,
                                std::span<const RowPair> pairs) {
  SharedNameFacts facts;
  std::vector<std::array<int, 2>> operandColumns;  // in left, in right
  for (const std::string& name : shared) {
    const int inLeft = firstColumnNamed(left, name);
    const int inRight = firstColumnNamed(right, name);
    operandColumns.push_back({inLeft, inRight});
    // The right operand's join column is not in the joined relation; a
    // shared name is never the join attribute's.
    const int skipped = key && inRight > key->right ? 1 : 0;
    facts.columns.push_back({inLeft, left.attributeCount() + inRight - skipped});
  }
  const int leftWidth = left.attributeCount();
  const int rightWidth = right.attributeCount();
  for (std::size_t row = 0; row < pairs.size(); ++row) {
    const Row leftRow = left.rows[static_cast<std::size_t>(pairs[row].left)];
    const Row rightRow = right.rows[static_cast<std::size_t>(pairs[row].right)];
    bool agrees = true;
    for (std::size_t k = 0; k < operandColumns.size(); ++k) {
      if (cellAt(leftRow, operandColumns[k][0], leftWidth) !=
          cellAt(rightRow, operandColumns[k][1], rightWidth)) {
        facts.differing.push_back({static_cast<int>(row), static_cast<int>(k)});
        agrees = false;
      }
    }
    if (agrees) ++facts.keptByAllShared;
  }
  return facts;
}

// Two rows of one relation that read alike up to a byte read alike cell by
// cell up to it, as their commas stand alike: the byte and its counterpart
// decide both orders, which differ only where one of them ends a cell (a
// comma) and the other does not. The cell that ends there is a prefix of the
// other, so it comes first cell by cell, whatever byte the other holds.
std::optional<std::array<int, 2>> rowsOrderedByBytes(const Relation& result) {
  for (std::size_t r = 0; r + 1 < result.rows.size(); ++r) {
    const Row before = result.rows[r];
    const Row after = result.rows[r + 1];
    const auto [inBefore, inAfter] =
        std::mismatch(before.begin(), before.end(), after.begin(), after.end());
    // A row that is a prefix of the other ends in the other's cell: both
    // orders put it first.
    if (inBefore == before.end() || inAfter == after.end()) continue;
    const bool afterFirstByCells =
        *inBefore != ',' && (*inAfter == ',' || static_cast<unsigned char>(*inAfter) <
                                                    static_cast<unsigned char>(*inBefore));
    if (afterFirstByCells) {
      return std::array<int, 2>{static_cast<int>(r), static_cast<int>(r + 1)};
    }
  }
  return std::nullopt;
}

void RunExplainer::noteKeyCells(const JoinStep& step) noexcept {
  if (!step.key || joinList_.size() <= static_cast<std::size_t>(step.number)) return;
  const std::string_view attribute = nameToString(step.left.attributes[step.key->left].name);
  const std::int64_t right = joinList_[static_cast<std::size_t>(step.number)];
  const int rightWidth = notes_.mayHoldBlankEdges(right) ? step.right.attributeCount() : 0;
  for (int r = 0; rightWidth > 0 && r < step.right.rowCount(); ++r) {
    const std::string_view cell = cellAt(step.right.rows[r], step.key->right, rightWidth);
    if (hasBlankEdge(cell)) {
      notes_.keyCell(right, r, step.key->right, attribute, step.number, cell);
    }
  }
  const std::size_t leftPlace = placeOfLeftColumn(step.number, step.key->left, leftWidths_);
  if (!notes_.mayHoldBlankEdges(joinList_[leftPlace])) return;
  const int leftWidth = step.left.attributeCount();
  for (int r = 0; r < step.left.rowCount(); ++r) {
    const std::string_view cell = cellAt(step.left.rows[r], step.key->left, leftWidth);
    if (!hasBlankEdge(cell)) continue;
    const CellOrigin origin = traceLeft(step.number, r, step.key->left, steps_, leftWidths_);
    notes_.keyCell(joinList_[origin.place], origin.row, origin.column, attribute, step.number,
                   cell);
  }
}

}  // namespace joinrel
