// Row building for a join step: how an output row is made of a left and a
// right row, and the loops that append a step's rows. A row is cut into the
// runs of adjacent columns it lends the output, so that a step copies a few
// pieces a row rather than every cell.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "join/join.h"
#include "relation/relation.h"

namespace joinrel {

// An output column: column `column` of operand `operand`, the operands being
// the relations that lend a step's rows their cells, in chain order.
struct SourceColumn {
  int operand = 0;
  int column = 0;
};

// Output columns that are adjacent columns of one operand, in the same
// order: operand columns `first` to `last`.
struct ColumnRun {
  int operand = 0;
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

// How an output row is made of one row of each operand: the texts of the
// runs of its columns, in output order, joined by ",". A join that keeps the
// columns in place thus copies a left row whole and a right row in at most
// two pieces.
class RowLayout {
 public:
  // For output `columns` taken from operands `widths[p]` columns wide.
  RowLayout(const std::vector<SourceColumn>& columns, std::span<const int> widths);

  const RowCutter& cutter(std::size_t operand) const { return cutters_[operand]; }
  // The commas of an output row: one fewer than its cells, none without any.
  TextSize commas() const { return width_ > 0 ? static_cast<TextSize>(width_ - 1) : 0; }

  // Writes at `cursor` the output row made of the pieces of one row of each
  // operand, pieces[p] pointing at operand p's as cutter(p) cuts them, and
  // returns the position after it.
  char* writeRow(char* cursor, std::span<const std::string_view* const> pieces) const;

 private:
  struct RunRef {
    std::size_t operand;
    std::size_t run;  // in its operand's cutter
  };
  std::vector<RunRef> order_;
  std::vector<RowCutter> cutters_;
  int width_;
};

// The pieces of the rows of an operand, each row cut on its first use, so
// that a row is cut once however many output rows it lends to, and not at
// all when it lends to none.
class RowPieces {
 public:
  // For the rows of `relation` as `cutter` cuts them; both must outlive this.
  RowPieces(const Relation& relation, const RowCutter& cutter);

  // The pieces of row `row`, in run order; cuts the row the first time.
  const std::string_view* of(std::size_t row);

 private:
  const Relation& relation_;
  const RowCutter& cutter_;
  std::size_t runCount_;
  std::vector<std::string_view> pieces_;
  std::vector<char> cut_;  // per row, whether its pieces are cut
};

// A relation that lends cells to the rows of a chain: its rows, and for each
// row the bytes of the cells it lends, so that a row's size is known before
// it is written: all but a right operand's join cell; none when it lends
// every cell, whose bytes its row's size tells.
struct Lender {
  const Relation* relation = nullptr;
  std::vector<TextSize> lentBytes;
};

// The rows of a join step held as references, written as text only when
// their text is needed: each row is one row of each operand, and its text is
// those rows' cells in `columns` order joined by ",". An operand that lends
// no column (none but the join attribute, or no attribute at all) is left
// out: every row of it that a row joins has the same text as the others'
// cells there. Two rows thus have the same text exactly when their rows of
// each operand have the same texts.
struct RefRows {
  std::vector<std::shared_ptr<const Lender>> operands;
  std::vector<SourceColumn> columns;  // in the rows' column order
  std::vector<int> refs;              // row i's row of operand p: refs[i * operands.size() + p]
  std::size_t rowCount = 0;

  std::span<const int> row(std::size_t i) const {
    return std::span(refs).subspan(i * operands.size(), operands.size());
  }
};

// Returns the rows of `relation` as references to themselves, its columns in
// place; `relation` must outlive them.
RefRows refRowsOf(const Relation& relation);

// Returns the text of `rows`, each row written once, in order, into one text
// of exactly their size. Refuses a text over `sizeLimit` as memory running
// out.
SizedRowBuilder writeRows(const RefRows& rows, TextSize sizeLimit);

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
    std::size_t i = static_cast<std::size_t>(hashText(cell)) & mask;
    while (slots_[i] != -1 && cells_[slots_[i]] != cell) i = (i + 1) & mask;
    return i;
  }

  std::vector<std::string_view> cells_;  // the join cell of each row
  std::vector<int> nextRow_;
  std::vector<int> rowsFrom_;
  std::vector<int> slots_;
};

// Returns the rows of the natural join of `left` and `right` on `key` (their
// product when it holds none), as references: for each left row in order,
// every right row whose join cell is the same text as the left's cell in
// column key->left (every right row for a product), in ascending order; of
// those, the rows that `options.rows` asks for. Their columns are `columns`,
// where operand left.operands.size() stands for `right`; `right` is among
// the operands when one of `columns` is its. Tells `options.recorder`, when
// there is one, of each joined row and each row without a partner. Refuses,
// before building any row, more than 10000 joined rows, twins included
// ("Tul nagy az eredmeny: <right's name>!", naming join step `options.step`
// and the rows found: the matches, or the product of the row counts).
RefRows joinRows(const RefRows& left, const Relation& right, const JoinKey& key,
                 std::vector<SourceColumn> columns, const StepOptions& options);

}  // namespace joinrel
