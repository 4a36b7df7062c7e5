#include "join/join.h"

#include <algorithm>
#include <array>
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

// An output column: column `column` of the left operand or of the right one.
struct SourceColumn {
  bool fromRight = false;
  int column = 0;
};

// Output columns that are adjacent columns of one operand, in the same
// order: operand columns `first` to `last`.
struct ColumnRun {
  bool fromRight = false;
  int first = 0;
  int last = 0;
};

// Returns `columns` as runs, each as long as it can be.
std::vector<ColumnRun> runsOf(const std::vector<SourceColumn>& columns) {
  std::vector<ColumnRun> runs;
  for (const SourceColumn& column : columns) {
    if (!runs.empty() && runs.back().fromRight == column.fromRight &&
        runs.back().last + 1 == column.column) {
      ++runs.back().last;
    } else {
      runs.push_back({column.fromRight, column.column, column.column});
    }
  }
  return runs;
}

// Cuts rows of one operand into the texts of its runs: each run's cells with
// the commas between them.
class RowCutter {
 public:
  RowCutter() = default;
  // For rows `width` cells wide and `runs` of their columns. A cut finds the
  // starts of cells only as far as the runs' bounds lie, so that a run that
  // reaches the last column takes the rest of the row as it is.
  RowCutter(std::vector<ColumnRun> runs, int width) : runs_(std::move(runs)), width_(width) {
    for (const ColumnRun& run : runs_) {
      const int lastStart = run.last < width - 1 ? run.last + 1 : run.first;
      cellStarts_ = std::max(cellStarts_, static_cast<std::size_t>(lastStart) + 1);
    }
  }

  std::size_t runCount() const { return runs_.size(); }

  // Writes the text of each run of `row` to `pieces`, in run order.
  void cut(Row row, std::span<std::string_view> pieces) const {
    std::array<std::size_t, MAX_ATTRIBUTES> starts;  // where each cell begins, as far as needed
    if (cellStarts_ > 0) starts[0] = 0;
    for (std::size_t k = 1; k < cellStarts_; ++k) {
      const char* const comma = std::find(row.data() + starts[k - 1], row.data() + row.size(), ',');
      starts[k] = static_cast<std::size_t>(comma - row.data()) + 1;
    }
    for (std::size_t i = 0; i < runs_.size(); ++i) {
      const ColumnRun& run = runs_[i];
      const std::size_t end = run.last == width_ - 1 ? row.size() : starts[run.last + 1] - 1;
      pieces[i] = {row.data() + starts[run.first], end - starts[run.first]};
    }
  }

 private:
  std::vector<ColumnRun> runs_;
  int width_ = 0;
  std::size_t cellStarts_ = 0;
};

// How an output row is made of a left and a right row: the texts of the runs
// of its columns, in output order, joined by ",". A join that keeps the
// columns in place thus copies a left row whole and a right row in at most
// two pieces.
class RowLayout {
 public:
  RowLayout(const std::vector<SourceColumn>& columns, int leftWidth, int rightWidth)
      : leftWidth_(leftWidth), rightWidth_(rightWidth), width_(static_cast<int>(columns.size())) {
    std::vector<ColumnRun> leftRuns;
    std::vector<ColumnRun> rightRuns;
    for (const ColumnRun& run : runsOf(columns)) {
      std::vector<ColumnRun>& runs = run.fromRight ? rightRuns : leftRuns;
      order_.push_back({run.fromRight, runs.size()});
      runs.push_back(run);
    }
    left_ = RowCutter(std::move(leftRuns), leftWidth);
    right_ = RowCutter(std::move(rightRuns), rightWidth);
  }

  const RowCutter& left() const { return left_; }
  const RowCutter& right() const { return right_; }

  // The length of the output row made of `left` and `right`, whose join cell
  // is `joinCellSize` bytes long (0 for a product): its cells and one comma
  // fewer than it has cells.
  std::size_t rowSize(Row left, Row right, std::size_t joinCellSize) const {
    if (width_ == 0) return 0;
    return cellBytes(left, leftWidth_) + cellBytes(right, rightWidth_) - joinCellSize + width_ - 1;
  }

  // Appends to `builder` the output row made of the pieces of a left row and
  // of a right row, as the cutters cut them.
  void appendRow(RowBuilder& builder, std::span<const std::string_view> leftPieces,
                 std::span<const std::string_view> rightPieces) const {
    std::string& text = builder.text();
    for (std::size_t i = 0; i < order_.size(); ++i) {
      if (i > 0) text += ',';
      text += (order_[i].fromRight ? rightPieces : leftPieces)[order_[i].run];
    }
    builder.endRow();
  }

 private:
  // The bytes of the cells of `row`, a row `width` cells wide.
  static std::size_t cellBytes(Row row, int width) {
    return width > 0 ? row.size() - static_cast<std::size_t>(width - 1) : 0;
  }

  struct RunRef {
    bool fromRight;
    std::size_t run;  // in its operand's cutter
  };
  std::vector<RunRef> order_;
  RowCutter left_;
  RowCutter right_;
  int leftWidth_;
  int rightWidth_;
  int width_;
};

// The pieces of every right row, `runCount` a row, row after row.
class RightPieces {
 public:
  RightPieces(const Relation& right, const RowCutter& cutter)
      : runCount_(cutter.runCount()), pieces_(right.rows.size() * runCount_) {
    for (std::size_t r = 0; r < right.rows.size(); ++r) {
      cutter.cut(right.rows[r], std::span(pieces_).subspan(r * runCount_, runCount_));
    }
  }

  std::span<const std::string_view> of(std::size_t row) const {
    return std::span(pieces_).subspan(row * runCount_, runCount_);
  }

 private:
  std::size_t runCount_;
  std::vector<std::string_view> pieces_;
};

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
  // Returns the join cell of `row`.
  std::string_view cell(int row) const { return cells_[row]; }

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
// column `rightColumn`, laid out by `layout`, in nested-loop order: for each
// left row, every right row with an equal join cell, in ascending order.
void appendMatchingRows(RowBuilder& builder, const RowLayout& layout, const Relation& left,
                        int leftColumn, const Relation& right, int rightColumn) {
  std::vector<std::string_view> rightCells(right.rows.size());
  std::transform(right.rows.begin(), right.rows.end(), rightCells.begin(),
                 [&](Row row) { return cellAt(row, rightColumn, right.attributeCount()); });
  const RowIndex index(std::move(rightCells));

  std::vector<int> firstMatch;  // per left row
  firstMatch.reserve(left.rows.size());
  std::size_t total = 0;
  for (const Row row : left.rows) {
    const int first = index.firstRow(cellAt(row, leftColumn, left.attributeCount()));
    firstMatch.push_back(first);
    if (first != -1) total += static_cast<std::size_t>(index.rowsFrom(first));
  }
  if (total > MAX_ROWS) throw tooLarge(right);

  std::size_t textSize = 0;
  for (std::size_t l = 0; l < left.rows.size(); ++l) {
    for (int r = firstMatch[l]; r != -1; r = index.nextRow(r)) {
      textSize += layout.rowSize(left.rows[l], right.rows[r], index.cell(r).size());
    }
  }
  builder.reserve(textSize, total);
  const RightPieces rightPieces(right, layout.right());
  std::vector<std::string_view> leftPieces(layout.left().runCount());
  for (std::size_t l = 0; l < left.rows.size(); ++l) {
    if (firstMatch[l] == -1) continue;
    layout.left().cut(left.rows[l], leftPieces);
    for (int r = firstMatch[l]; r != -1; r = index.nextRow(r)) {
      layout.appendRow(builder, leftPieces, rightPieces.of(r));
    }
  }
}

// Appends the rows of the product of `left` and `right`, laid out by
// `layout`: for each left row, one per right row, in order.
void appendProductRows(RowBuilder& builder, const RowLayout& layout, const Relation& left,
                       const Relation& right) {
  if (static_cast<long long>(left.rowCount()) * right.rowCount() > MAX_ROWS) throw tooLarge(right);
  std::size_t textSize = 0;
  for (const Row leftRow : left.rows) {
    textSize = std::accumulate(
        right.rows.begin(), right.rows.end(), textSize,
        [&](std::size_t sum, Row rightRow) { return sum + layout.rowSize(leftRow, rightRow, 0); });
  }
  builder.reserve(textSize, left.rows.size() * right.rows.size());
  const RightPieces rightPieces(right, layout.right());
  std::vector<std::string_view> leftPieces(layout.left().runCount());
  for (const Row leftRow : left.rows) {
    layout.left().cut(leftRow, leftPieces);
    for (std::size_t r = 0; r < right.rows.size(); ++r) {
      layout.appendRow(builder, leftPieces, rightPieces.of(r));
    }
  }
}

// Returns `items` in `order`: entry i is items[order[i]].
template <typename T>
std::vector<T> permuted(const std::vector<T>& items, const std::vector<std::size_t>& order) {
  std::vector<T> result(order.size());
  std::transform(order.begin(), order.end(), result.begin(),
                 [&](std::size_t i) { return items[i]; });
  return result;
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

Relation joinPair(const Relation& left, const Relation& right, const JoinKey& key, bool found,
                  ColumnOrder order) {
  // The key holds an attribute pair exactly when the search found one.
  const int rightColumn = found ? key.right.rightAttribute : -1;
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
  if (output.attributeCount() > MAX_ATTRIBUTES) throw tooLarge(right);
  if (order == ColumnOrder::byName) {
    const std::vector<std::size_t> byName = columnsByName(output.attributes);
    columns = permuted(columns, byName);
    output.attributes = permuted(output.attributes, byName);
  }

  const RowLayout layout(columns, left.attributeCount(), right.attributeCount());
  RowBuilder builder;
  if (found) {
    appendMatchingRows(builder, layout, left, key.left.leftAttribute, right, rightColumn);
  } else {
    appendProductRows(builder, layout, left, right);
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
    // The last step builds its rows with the columns where result has them.
    const bool last = s + 2 == chain.size();
    Relation built =
        joinPair(left, right, key, found, last ? ColumnOrder::byName : ColumnOrder::joined);
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
