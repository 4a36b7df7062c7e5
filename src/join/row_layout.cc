#include "join/row_layout.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <numeric>
#include <utility>

#include "messages/messages.h"

namespace joinrel {

namespace {

FatalError tooManyRows(const Relation& joinedIn, int step, std::int64_t found) {
  return FatalError::resultTooLarge(nameToString(joinedIn.name), step, StepLimit::Rows, found);
}

}  // namespace

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

RowCutter::RowCutter(std::vector<ColumnRun> runs, int width)
    : runs_(std::move(runs)), width_(width) {
  for (const ColumnRun& run : runs_) {
    const int lastStart = run.last < width - 1 ? run.last + 1 : run.first;
    cellStarts_ = std::max(cellStarts_, static_cast<std::size_t>(lastStart) + 1);
  }
}

void RowCutter::cut(Row row, std::span<std::string_view> pieces) const {
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

RowLayout::RowLayout(const std::vector<SourceColumn>& columns, int leftWidth, int rightWidth)
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

char* RowLayout::writeRow(char* cursor, std::span<const std::string_view> leftPieces,
                          std::span<const std::string_view> rightPieces) const {
  for (std::size_t i = 0; i < order_.size(); ++i) {
    if (i > 0) *cursor++ = ',';
    const std::string_view piece = (order_[i].fromRight ? rightPieces : leftPieces)[order_[i].run];
    cursor = std::copy(piece.begin(), piece.end(), cursor);
  }
  return cursor;
}

RightPieces::RightPieces(const Relation& right, const RowCutter& cutter)
    : runCount_(cutter.runCount()), pieces_(right.rows.size() * runCount_) {
  for (std::size_t r = 0; r < right.rows.size(); ++r) {
    cutter.cut(right.rows[r], std::span(pieces_).subspan(r * runCount_, runCount_));
  }
}

void buildMatchingRows(Relation& output, const RowLayout& layout, const Relation& left,
                       int leftColumn, const Relation& right, int rightColumn, int step) {
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
  if (total > MAX_ROWS) throw tooManyRows(right, step, static_cast<std::int64_t>(total));

  std::size_t textSize = 0;
  for (std::size_t l = 0; l < left.rows.size(); ++l) {
    for (int r = firstMatch[l]; r != -1; r = index.nextRow(r)) {
      textSize += layout.rowSize(left.rows[l], right.rows[r], index.cell(r).size());
    }
  }
  SizedRowBuilder builder(textSize, total);
  const RightPieces rightPieces(right, layout.right());
  std::vector<std::string_view> leftPieces(layout.left().runCount());
  for (std::size_t l = 0; l < left.rows.size(); ++l) {
    if (firstMatch[l] == -1) continue;
    layout.left().cut(left.rows[l], leftPieces);
    for (int r = firstMatch[l]; r != -1; r = index.nextRow(r)) {
      builder.endRowAt(layout.writeRow(builder.cursor(), leftPieces, rightPieces.of(r)));
    }
  }
  std::move(builder).moveRowsInto(output);
}

void buildProductRows(Relation& output, const RowLayout& layout, const Relation& left,
                      const Relation& right, int step) {
  const std::int64_t rows = static_cast<std::int64_t>(left.rowCount()) * right.rowCount();
  if (rows > MAX_ROWS) throw tooManyRows(right, step, rows);
  std::size_t textSize = 0;
  for (const Row leftRow : left.rows) {
    textSize = std::accumulate(
        right.rows.begin(), right.rows.end(), textSize,
        [&](std::size_t sum, Row rightRow) { return sum + layout.rowSize(leftRow, rightRow, 0); });
  }
  SizedRowBuilder builder(textSize, left.rows.size() * right.rows.size());
  const RightPieces rightPieces(right, layout.right());
  std::vector<std::string_view> leftPieces(layout.left().runCount());
  for (const Row leftRow : left.rows) {
    layout.left().cut(leftRow, leftPieces);
    for (std::size_t r = 0; r < right.rows.size(); ++r) {
      builder.endRowAt(layout.writeRow(builder.cursor(), leftPieces, rightPieces.of(r)));
    }
  }
  std::move(builder).moveRowsInto(output);
}

}  // namespace joinrel
