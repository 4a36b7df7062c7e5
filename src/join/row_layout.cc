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

// The join's loops tell a recorder through one of these: NotTold, which
// compiles to nothing, when nobody watches, so that the command line's loops
// are those of a join without a recorder; Told otherwise.
struct NotTold {
  static constexpr bool kTells = false;
  void sameTexts(std::span<const int> /*left*/, std::span<const int> /*right*/) const {}
  void joined(int /*left*/, int /*right*/) const {}
  void leftUnmatched(int /*left*/) const {}
  void rightUnmatched(int /*right*/) const {}
};

struct Told {
  static constexpr bool kTells = true;
  RowRecorder& recorder;
  void sameTexts(std::span<const int> left, std::span<const int> right) const {
    recorder.sameTexts(left, right);
  }
  void joined(int left, int right) const { recorder.joined(left, right); }
  void leftUnmatched(int left) const { recorder.leftUnmatched(left); }
  void rightUnmatched(int right) const { recorder.rightUnmatched(right); }
};

// Returns, for each of `rows`, whether it is the first of its text. Equal rows
// must have equal `groups` entries (numbers below `groupCount`, or -1 for rows
// that need no answer): a row alone in its group has no twin and is not
// hashed, so that rows already told apart by their join cell cost nothing.
// When `Tell` tells, `firstRows` receives for each row the first row of its
// text (itself for a first one).
template <typename Tell>
std::vector<char> firstOfEachText(const std::vector<Row>& rows, const std::vector<int>& groups,
                                  std::size_t groupCount, std::vector<int>& firstRows) {
  std::vector<int> members(groupCount, 0);
  for (const int group : groups) {
    if (group != -1) ++members[static_cast<std::size_t>(group)];
  }
  const auto mayHaveTwin = [&](std::size_t r) {
    return groups[r] != -1 && members[static_cast<std::size_t>(groups[r])] > 1;
  };
  const std::size_t candidates = std::accumulate(
      members.begin(), members.end(), std::size_t{0}, [](std::size_t sum, int count) {
        return count > 1 ? sum + static_cast<std::size_t>(count) : sum;
      });
  // A hash set of the first rows seen, with linear probing, at most half full.
  std::size_t size = 1;
  while (size < 2 * candidates) size *= 2;
  std::vector<int> slots(size, -1);
  const std::size_t mask = size - 1;
  std::vector<char> first(rows.size(), 1);
  if constexpr (Tell::kTells) {
    firstRows.resize(rows.size());
    std::iota(firstRows.begin(), firstRows.end(), 0);
  }
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (!mayHaveTwin(r)) continue;
    std::size_t i = std::hash<std::string_view>{}(rows[r]) & mask;
    while (slots[i] != -1 && rows[static_cast<std::size_t>(slots[i])] != rows[r]) {
      i = (i + 1) & mask;
    }
    if (slots[i] == -1) {
      slots[i] = static_cast<int>(r);
    } else {
      first[r] = 0;
      if constexpr (Tell::kTells) firstRows[r] = slots[i];
    }
  }
  return first;
}

// Returns, for each row that `index` holds, the first row of its chain: the
// first row with its cell.
std::vector<int> chainHeads(const RowIndex& index) {
  std::vector<int> heads(index.rowCount(), -1);
  for (std::size_t r = 0; r < heads.size(); ++r) {
    if (heads[r] == -1) heads[r] = static_cast<int>(r);
    const int next = index.nextRow(static_cast<int>(r));
    if (next != -1) heads[static_cast<std::size_t>(next)] = heads[r];
  }
  return heads;
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

namespace {

// The join's loops, telling `tell` (NotTold or Told). What they tell is
// told apart from what they build, so that with NotTold they are the loops
// of a join that tells nobody.
template <typename Tell>
SizedRowBuilder matchingRows(const RowLayout& layout, const Relation& left, int leftColumn,
                             const Relation& right, int rightColumn, const StepOptions& options,
                             Tell tell) {
  std::vector<std::string_view> rightCells(right.rows.size());
  std::transform(right.rows.begin(), right.rows.end(), rightCells.begin(),
                 [&](Row row) { return cellAt(row, rightColumn, right.attributeCount()); });
  const RowIndex index(std::move(rightCells));

  std::vector<int> firstMatch;  // per left row
  firstMatch.reserve(left.rows.size());
  std::int64_t total = 0;
  for (const Row row : left.rows) {
    const int first = index.firstRow(cellAt(row, leftColumn, left.attributeCount()));
    firstMatch.push_back(first);
    if (first != -1) total += index.rowsFrom(first);
  }
  if (total > MAX_ROWS) throw tooManyRows(right, options.step, total);

  // Equal left rows have equal join cells and so the same first match; equal
  // right rows lie in the same chain.
  const bool distinct = options.rows == RowSet::distinct;
  std::vector<int> leftFirstRows;
  std::vector<int> rightFirstRows;
  const std::vector<char> leftJoined =
      distinct ? firstOfEachText<Tell>(left.rows, firstMatch, right.rows.size(), leftFirstRows)
               : std::vector<char>(left.rows.size(), 1);
  const std::vector<char> rightJoined =
      distinct
          ? firstOfEachText<Tell>(right.rows, chainHeads(index), right.rows.size(), rightFirstRows)
          : std::vector<char>(right.rows.size(), 1);
  if (distinct) tell.sameTexts(leftFirstRows, rightFirstRows);
  TextSize textSize = 0;
  std::size_t rowCount = 0;
  for (std::size_t l = 0; l < left.rows.size(); ++l) {
    if (leftJoined[l] == 0) continue;
    for (int r = firstMatch[l]; r != -1; r = index.nextRow(r)) {
      if (rightJoined[static_cast<std::size_t>(r)] == 0) continue;
      textSize += layout.rowSize(left.rows[l], right.rows[r], index.cell(r).size());
      ++rowCount;
    }
  }
  SizedRowBuilder builder(textSize, rowCount, options.sizeLimit);
  const RightPieces rightPieces(right, layout.right());
  std::vector<std::string_view> leftPieces(layout.left().runCount());
  for (std::size_t l = 0; l < left.rows.size(); ++l) {
    if constexpr (Tell::kTells) {
      // Every joined row, those of a text already built too.
      if (firstMatch[l] == -1) tell.leftUnmatched(static_cast<int>(l));
      for (int r = firstMatch[l]; r != -1; r = index.nextRow(r))
        tell.joined(static_cast<int>(l), r);
    }
    if (leftJoined[l] == 0 || firstMatch[l] == -1) continue;
    layout.left().cut(left.rows[l], leftPieces);
    for (int r = firstMatch[l]; r != -1; r = index.nextRow(r)) {
      if (rightJoined[static_cast<std::size_t>(r)] == 0) continue;
      builder.endRowAt(layout.writeRow(builder.cursor(), leftPieces, rightPieces.of(r)));
    }
  }
  if constexpr (Tell::kTells) {
    // A right row joins no left row when no left row reached its chain.
    std::vector<char> reached(right.rows.size(), 0);
    for (const int first : firstMatch) {
      if (first != -1) reached[static_cast<std::size_t>(first)] = 1;
    }
    const std::vector<int> heads = chainHeads(index);
    for (std::size_t r = 0; r < right.rows.size(); ++r) {
      if (reached[static_cast<std::size_t>(heads[r])] == 0)
        tell.rightUnmatched(static_cast<int>(r));
    }
  }
  return builder;
}

template <typename Tell>
SizedRowBuilder productRows(const RowLayout& layout, const Relation& left, const Relation& right,
                            const StepOptions& options, Tell tell) {
  const std::int64_t found = static_cast<std::int64_t>(left.rowCount()) * right.rowCount();
  if (found > MAX_ROWS) throw tooManyRows(right, options.step, found);
  // Every row of an operand is in one group: any two may be twins.
  const bool distinct = options.rows == RowSet::distinct;
  const auto joined = [&](const std::vector<Row>& operandRows, std::vector<int>& firstRows) {
    return distinct ? firstOfEachText<Tell>(operandRows, std::vector<int>(operandRows.size(), 0), 1,
                                            firstRows)
                    : std::vector<char>(operandRows.size(), 1);
  };
  std::vector<int> leftFirstRows;
  std::vector<int> rightFirstRows;
  const std::vector<char> leftJoined = joined(left.rows, leftFirstRows);
  const std::vector<char> rightJoined = joined(right.rows, rightFirstRows);
  if (distinct) tell.sameTexts(leftFirstRows, rightFirstRows);
  // Each left row's cells are in one row per right row joined, and the other
  // way round, so the text's size adds up per operand: the rows joined and
  // the bytes of their cells.
  const auto share = [](const std::vector<Row>& rows, const std::vector<char>& joined,
                        auto cellBytes) {
    std::pair<TextSize, TextSize> rowsAndBytes{0, 0};
    for (std::size_t r = 0; r < rows.size(); ++r) {
      if (joined[r] == 0) continue;
      ++rowsAndBytes.first;
      rowsAndBytes.second += cellBytes(rows[r]);
    }
    return rowsAndBytes;
  };
  const auto [leftRows, leftBytes] =
      share(left.rows, leftJoined, [&](Row row) { return layout.leftBytes(row); });
  const auto [rightRows, rightBytes] =
      share(right.rows, rightJoined, [&](Row row) { return layout.rightBytes(row); });
  const TextSize rowCount = leftRows * rightRows;
  SizedRowBuilder builder(
      leftBytes * rightRows + rightBytes * leftRows + rowCount * layout.commas(),
      static_cast<std::size_t>(rowCount), options.sizeLimit);
  const RightPieces rightPieces(right, layout.right());
  std::vector<std::string_view> leftPieces(layout.left().runCount());
  for (std::size_t l = 0; l < left.rows.size(); ++l) {
    if constexpr (Tell::kTells) {
      // Every joined row, those of a text already built too.
      if (right.rows.empty()) tell.leftUnmatched(static_cast<int>(l));
      for (std::size_t r = 0; r < right.rows.size(); ++r) {
        tell.joined(static_cast<int>(l), static_cast<int>(r));
      }
    }
    if (leftJoined[l] == 0) continue;
    layout.left().cut(left.rows[l], leftPieces);
    for (std::size_t r = 0; r < right.rows.size(); ++r) {
      if (rightJoined[r] == 0) continue;
      builder.endRowAt(layout.writeRow(builder.cursor(), leftPieces, rightPieces.of(r)));
    }
  }
  if (left.rows.empty()) {
    for (std::size_t r = 0; r < right.rows.size(); ++r) tell.rightUnmatched(static_cast<int>(r));
  }
  return builder;
}

}  // namespace

SizedRowBuilder buildMatchingRows(const RowLayout& layout, const Relation& left, int leftColumn,
                                  const Relation& right, int rightColumn,
                                  const StepOptions& options) {
  if (options.recorder == nullptr) {
    return matchingRows(layout, left, leftColumn, right, rightColumn, options, NotTold{});
  }
  return matchingRows(layout, left, leftColumn, right, rightColumn, options,
                      Told{*options.recorder});
}

SizedRowBuilder buildProductRows(const RowLayout& layout, const Relation& left,
                                 const Relation& right, const StepOptions& options) {
  if (options.recorder == nullptr) return productRows(layout, left, right, options, NotTold{});
  return productRows(layout, left, right, options, Told{*options.recorder});
}

}  // namespace joinrel
