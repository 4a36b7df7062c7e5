// Row building for a join step: how an output row is made of a left and a
// right row, and the loops that append a step's rows. A row is cut into the
// runs of adjacent columns it lends the output, so that a step copies a few
// pieces a row rather than every cell.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "join/join.h"
#include "relation/relation.h"

namespace joinrel {

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

// Returns `columns` as runs, each as long as it can be: a column extends the
// run before it when it comes from the same operand and is the column right
// after the run's last.
std::vector<ColumnRun> runsOf(const std::vector<SourceColumn>& columns);

// Cuts rows of one operand into the texts of its runs: each run's cells with
// the commas between them.
class RowCutter {
 public:
  RowCutter() = default;
  // For rows `width` cells wide and `runs` of their columns, each run within
  // the width. A cut finds the starts of cells only as far as the runs'
  // bounds lie, so that a run that reaches the last column takes the rest of
  // the row as it is.
  RowCutter(std::vector<ColumnRun> runs, int width);

  std::size_t runCount() const { return runs_.size(); }

  // Writes the text of each run of `row`, a row `width` cells wide, to
  // `pieces`, in run order; `pieces` holds runCount() views, which point
  // into `row`.
  void cut(Row row, std::span<std::string_view> pieces) const;

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
  // For output `columns` taken from a left operand `leftWidth` columns wide
  // and a right one `rightWidth` wide.
  RowLayout(const std::vector<SourceColumn>& columns, int leftWidth, int rightWidth);

  const RowCutter& left() const { return left_; }
  const RowCutter& right() const { return right_; }

  // The length of the output row made of `left` and `right`, whose join cell
  // is `joinCellSize` bytes long (0 for a product): its cells and one comma
  // fewer than it has cells.
  TextSize rowSize(Row left, Row right, std::size_t joinCellSize) const {
    if (width_ == 0) return 0;
    return leftBytes(left) + rightBytes(right) - joinCellSize + static_cast<TextSize>(width_ - 1);
  }
  // The bytes of the cells of `row`, a row of the left operand; of the right.
  TextSize leftBytes(Row row) const { return cellBytes(row, leftWidth_); }
  TextSize rightBytes(Row row) const { return cellBytes(row, rightWidth_); }
  // The commas of an output row: one fewer than its cells, none without any.
  TextSize commas() const { return width_ > 0 ? static_cast<TextSize>(width_ - 1) : 0; }

  // Writes at `cursor` the output row made of the pieces of a left row and of
  // a right row, as left() and right() cut them, and returns the position
  // after it: rowSize() bytes on.
  char* writeRow(char* cursor, std::span<const std::string_view> leftPieces,
                 std::span<const std::string_view> rightPieces) const;

 private:
  // The bytes of the cells of `row`, a row `width` cells wide.
  static TextSize cellBytes(Row row, int width) {
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

// The pieces of every row of a right operand, cut once, so that each of its
// rows is cut once however many left rows it meets.
class RightPieces {
 public:
  RightPieces(const Relation& right, const RowCutter& cutter);

  // The pieces of row `row`, in run order.
  std::span<const std::string_view> of(std::size_t row) const {
    return std::span(pieces_).subspan(row * runCount_, runCount_);
  }

 private:
  std::size_t runCount_;
  std::vector<std::string_view> pieces_;
};

// A right operand's rows by join cell, so that a left row finds its matches
// without a scan. A hash table with linear
// probing holds, for each distinct cell, the first row carrying it; nextRow
// chains the others in ascending order, and rowsFrom counts a chain's rows
// from its head.
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
  // Returns the number of rows held.
  std::size_t rowCount() const { return cells_.size(); }

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

// Returns the rows of the natural join of `left` and `right` on left column
// `leftColumn` and right column `rightColumn`, laid out by `layout`, in
// nested-loop order: for each left row, every right row whose join cell is
// the same text, in ascending order; of those, the rows that `options.rows`
// asks for. Tells `options.recorder`, when there is one, of each joined row
// and each row without a partner. The rows are written into one text of
// exactly their size, for the caller to hand over once the step's other
// memory is freed. Refuses, before building any row, more than 10000 joined
// rows, twins included ("Tul nagy az eredmeny: <right's name>!", naming join
// step `options.step` and the matches found), and a text over
// `options.sizeLimit` as memory running out.
SizedRowBuilder buildMatchingRows(const RowLayout& layout, const Relation& left, int leftColumn,
                                  const Relation& right, int rightColumn,
                                  const StepOptions& options);

// Returns the rows of the product of `left` and `right`, laid out by
// `layout`: for each left row, one per right row, in order; of those, the
// rows that `options.rows` asks for, written and told as buildMatchingRows
// writes and tells them. Refuses, before building any row, more than 10000
// rows, as buildMatchingRows does, with the product of the row counts as the
// rows found, and a text over `options.sizeLimit`.
SizedRowBuilder buildProductRows(const RowLayout& layout, const Relation& left,
                                 const Relation& right, const StepOptions& options);

}  // namespace joinrel
