#include "join/row_layout.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <numeric>
#include <optional>
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

// Returns, for each of `count` rows, whether it is the first of its text,
// rows being told apart by `hashOf(r)` and `same(a, b)`. Equal rows must have
// equal `groups` entries (numbers below `groupCount`, or -1 for rows that
// need no answer): a row alone in its group has no twin and is not hashed,
// so that rows already told apart by their join cell cost nothing. When
// `Tell` tells, `firstRows` receives for each row the first row of its text
// (itself for a first one).
template <typename Tell, typename Hash, typename Same>
std::vector<char> firstOfEachText(std::size_t count, const std::vector<int>& groups,
                                  std::size_t groupCount, std::vector<int>& firstRows, Hash hashOf,
                                  Same same) {
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
  std::vector<char> first(count, 1);
  if constexpr (Tell::kTells) {
    firstRows.resize(count);
    std::iota(firstRows.begin(), firstRows.end(), 0);
  }
  for (std::size_t r = 0; r < count; ++r) {
    if (!mayHaveTwin(r)) continue;
    std::size_t i = static_cast<std::size_t>(hashOf(r)) & mask;
    while (slots[i] != -1 && !same(static_cast<std::size_t>(slots[i]), r)) i = (i + 1) & mask;
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
    if (!runs.empty() && runs.back().operand == column.operand &&
        runs.back().last + 1 == column.column) {
      ++runs.back().last;
    } else {
      runs.push_back({column.operand, column.column, column.column});
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
  // Where each cell begins, as far as needed; a cell after the last would
  // begin past the comma that would end the row.
  std::array<std::size_t, MAX_ATTRIBUTES + 1> starts;
  cellStarts(row, cellStarts_, starts.data());
  starts[static_cast<std::size_t>(width_)] = row.size() + 1;
  for (std::size_t i = 0; i < runs_.size(); ++i) {
    const std::size_t first = starts[static_cast<std::size_t>(runs_[i].first)];
    const std::size_t next = starts[static_cast<std::size_t>(runs_[i].last) + 1];
    pieces[i] = {row.data() + first, next - 1 - first};
  }
}

RowLayout::RowLayout(const std::vector<SourceColumn>& columns, std::span<const int> widths)
    : width_(static_cast<int>(columns.size())) {
  std::vector<std::vector<ColumnRun>> runs(widths.size());
  for (const ColumnRun& run : runsOf(columns)) {
    std::vector<ColumnRun>& ofOperand = runs[static_cast<std::size_t>(run.operand)];
    order_.push_back({static_cast<std::size_t>(run.operand), ofOperand.size()});
    ofOperand.push_back(run);
  }
  cutters_.reserve(widths.size());
  for (std::size_t p = 0; p < widths.size(); ++p) {
    cutters_.emplace_back(std::move(runs[p]), widths[p]);
  }
}

char* RowLayout::writeRow(char* cursor, std::span<const std::string_view* const> pieces) const {
  for (std::size_t i = 0; i < order_.size(); ++i) {
    if (i > 0) *cursor++ = ',';
    cursor = copyBytes(cursor, pieces[order_[i].operand][order_[i].run]);
  }
  return cursor;
}

RowPieces::RowPieces(const Relation& relation, const RowCutter& cutter)
    : relation_(relation),
      cutter_(cutter),
      runCount_(cutter.runCount()),
      pieces_(relation.rows.size() * runCount_),
      cut_(relation.rows.size(), 0) {}

const std::string_view* RowPieces::of(std::size_t row) {
  const std::span<std::string_view> pieces = std::span(pieces_).subspan(row * runCount_, runCount_);
  if (cut_[row] == 0) {
    cutter_.cut(relation_.rows[row], pieces);
    cut_[row] = 1;
  }
  return pieces.data();
}

RefRows refRowsOf(const Relation& relation) {
  const int width = relation.attributeCount();
  RefRows rows;
  rows.rowCount = relation.rows.size();
  if (width == 0) return rows;  // lends no column
  auto lender = std::make_shared<Lender>();
  lender->relation = &relation;
  rows.operands.push_back(std::move(lender));
  for (int k = 0; k < width; ++k) rows.columns.push_back({0, k});
  rows.refs.resize(rows.rowCount);
  std::iota(rows.refs.begin(), rows.refs.end(), 0);
  return rows;
}

SizedRowBuilder writeRows(const RefRows& rows, TextSize sizeLimit) {
  const std::size_t operands = rows.operands.size();
  std::vector<int> widths(operands);
  std::transform(rows.operands.begin(), rows.operands.end(), widths.begin(),
                 [](const auto& lender) { return lender->relation->attributeCount(); });
  const RowLayout layout(rows.columns, widths);
  TextSize textSize = layout.commas() * rows.rowCount;
  for (std::size_t p = 0; p < operands; ++p) {
    const Lender& lender = *rows.operands[p];
    const auto commas = static_cast<std::size_t>(widths[p] - 1);
    for (std::size_t i = 0; i < rows.rowCount; ++i) {
      const auto ref = static_cast<std::size_t>(rows.refs[i * operands + p]);
      textSize += lender.lentBytes.empty() ? lender.relation->rows[ref].size() - commas
                                           : lender.lentBytes[ref];
    }
  }
  SizedRowBuilder builder(textSize, rows.rowCount, sizeLimit);
  // Rows come grouped by their rows of every operand but the last, as a
  // step's rows follow its left rows, so those operands' rows are cut when
  // they change; the last operand's rows, once each on first use.
  std::vector<std::vector<std::string_view>> pieces(operands);
  std::vector<const std::string_view*> from(operands);
  std::vector<int> cutRow(operands, -1);
  for (std::size_t p = 0; p < operands; ++p) {
    pieces[p].resize(layout.cutter(p).runCount());
    from[p] = pieces[p].data();
  }
  std::optional<RowPieces> lastPieces;
  if (operands > 0)
    lastPieces.emplace(*rows.operands.back()->relation, layout.cutter(operands - 1));
  for (std::size_t i = 0; i < rows.rowCount; ++i) {
    const std::span<const int> refs = rows.row(i);
    for (std::size_t p = 0; p + 1 < operands; ++p) {
      if (refs[p] == cutRow[p]) continue;
      layout.cutter(p).cut(rows.operands[p]->relation->rows[static_cast<std::size_t>(refs[p])],
                           pieces[p]);
      cutRow[p] = refs[p];
    }
    if (operands > 0) from.back() = lastPieces->of(static_cast<std::size_t>(refs.back()));
    builder.endRowAt(layout.writeRow(builder.cursor(), from));
  }
  return builder;
}

namespace {

// A hash of a row's text: the rows of each operand it is made of.
std::uint64_t hashOfRow(const RefRows& rows, std::size_t i) {
  std::uint64_t hash = 0;
  const std::span<const int> refs = rows.row(i);
  for (std::size_t p = 0; p < refs.size(); ++p) {
    const Row row = rows.operands[p]->relation->rows[static_cast<std::size_t>(refs[p])];
    hash = hash * 0x9E3779B97F4A7C15U + hashText(row);
  }
  return hash;
}

// Whether rows `a` and `b` have the same text: the same texts of each
// operand.
bool sameRows(const RefRows& rows, std::size_t a, std::size_t b) {
  const std::span<const int> refsA = rows.row(a);
  const std::span<const int> refsB = rows.row(b);
  for (std::size_t p = 0; p < refsA.size(); ++p) {
    const std::vector<Row>& operandRows = rows.operands[p]->relation->rows;
    if (refsA[p] != refsB[p] && operandRows[static_cast<std::size_t>(refsA[p])] !=
                                    operandRows[static_cast<std::size_t>(refsB[p])]) {
      return false;
    }
  }
  return true;
}

// What a step's loops need of how the left rows meet the right ones: for
// each left row the first right row it meets (-1 for none), and the groups
// that twins of each operand fall in. Equal left rows have equal join cells
// and so the same first match; equal right rows lie in the same chain, which
// its head names. Every row of a product's operand is in one group: any two
// may be twins.
struct Matches {
  std::vector<int> first;  // per left row
  std::int64_t total = 0;  // joined rows, twins included
  bool product = false;
  std::vector<int> rightHeads;  // of a join's chains, when asked for

  std::vector<int> leftGroups() const {
    return product ? std::vector<int>(first.size(), 0) : first;
  }
};

Matches keyMatches(const RefRows& left, int leftColumn, const RowIndex& index, bool heads) {
  const SourceColumn source = left.columns[static_cast<std::size_t>(leftColumn)];
  const auto operand = static_cast<std::size_t>(source.operand);
  const Relation& lender = *left.operands[operand]->relation;
  Matches matches;
  matches.first.resize(left.rowCount);
  for (std::size_t i = 0; i < left.rowCount; ++i) {
    const Row row = lender.rows[static_cast<std::size_t>(left.row(i)[operand])];
    const int first = index.firstRow(cellAt(row, source.column, lender.attributeCount()));
    matches.first[i] = first;
    if (first != -1) matches.total += index.rowsFrom(first);
  }
  if (heads) matches.rightHeads = chainHeads(index);
  return matches;
}

Matches productMatches(std::size_t leftRows, std::size_t rightRows) {
  Matches matches;
  matches.first.assign(leftRows, rightRows == 0 ? -1 : 0);
  matches.total = static_cast<std::int64_t>(leftRows) * static_cast<std::int64_t>(rightRows);
  matches.product = true;
  return matches;
}

// The join's loops, telling `tell` (NotTold or Told), each left row meeting
// the right rows from its first match on, `next` giving the one after a
// right row (-1 after the last). What they tell is told apart from what they
// build, so that with NotTold they are the loops of a join that tells
// nobody.
template <typename Tell, typename Next>
RefRows joinedRefs(const RefRows& left, const Relation& right, const Matches& matches,
                   RefRows output, const StepOptions& options, Tell tell, Next next) {
  const bool distinct = options.rows == RowSet::distinct;
  const std::size_t groupCount = matches.product ? 1 : right.rows.size();
  std::vector<int> leftFirstRows;
  std::vector<int> rightFirstRows;
  const std::vector<char> leftJoined =
      distinct ? firstOfEachText<Tell>(
                     left.rowCount, matches.leftGroups(), groupCount, leftFirstRows,
                     [&](std::size_t i) { return hashOfRow(left, i); },
                     [&](std::size_t a, std::size_t b) { return sameRows(left, a, b); })
               : std::vector<char>(left.rowCount, 1);
  const std::vector<char> rightJoined =
      distinct
          ? firstOfEachText<Tell>(
                right.rows.size(),
                matches.product ? std::vector<int>(right.rows.size(), 0) : matches.rightHeads,
                groupCount, rightFirstRows, [&](std::size_t r) { return hashText(right.rows[r]); },
                [&](std::size_t a, std::size_t b) { return right.rows[a] == right.rows[b]; })
          : std::vector<char>(right.rows.size(), 1);
  if (distinct) tell.sameTexts(leftFirstRows, rightFirstRows);
  if constexpr (Tell::kTells) {
    // Every joined row, those of a text already built too.
    for (std::size_t l = 0; l < left.rowCount; ++l) {
      if (matches.first[l] == -1) tell.leftUnmatched(static_cast<int>(l));
      for (int r = matches.first[l]; r != -1; r = next(r)) tell.joined(static_cast<int>(l), r);
    }
  }
  const bool rightLends = output.operands.size() > left.operands.size();
  std::size_t rowCount = 0;
  for (std::size_t l = 0; l < left.rowCount; ++l) {
    if (leftJoined[l] == 0) continue;
    for (int r = matches.first[l]; r != -1; r = next(r)) {
      rowCount += rightJoined[static_cast<std::size_t>(r)];
    }
  }
  output.refs.resize(rowCount * output.operands.size());
  int* to = output.refs.data();
  for (std::size_t l = 0; l < left.rowCount; ++l) {
    if (leftJoined[l] == 0) continue;
    const std::span<const int> leftRefs = left.row(l);
    for (int r = matches.first[l]; r != -1; r = next(r)) {
      if (rightJoined[static_cast<std::size_t>(r)] == 0) continue;
      to = std::copy(leftRefs.begin(), leftRefs.end(), to);
      if (rightLends) *to++ = r;
    }
  }
  output.rowCount = rowCount;
  return output;
}

// The step's rows, the operands and columns of `output` set.
template <typename Tell>
RefRows stepRows(const RefRows& left, const Relation& right, const JoinKey& key, RefRows output,
                 const StepOptions& options, Tell tell) {
  if (!key) {
    const Matches matches = productMatches(left.rowCount, right.rows.size());
    if (matches.total > MAX_ROWS) throw tooManyRows(right, options.step, matches.total);
    const int rightRows = right.rowCount();
    output = joinedRefs(left, right, matches, std::move(output), options, tell,
                        [&](int r) { return r + 1 < rightRows ? r + 1 : -1; });
    if constexpr (Tell::kTells) {
      if (left.rowCount == 0) {
        for (int r = 0; r < rightRows; ++r) tell.rightUnmatched(r);
      }
    }
    return output;
  }
  std::vector<std::string_view> rightCells(right.rows.size());
  std::transform(right.rows.begin(), right.rows.end(), rightCells.begin(),
                 [&](Row row) { return cellAt(row, key->right, right.attributeCount()); });
  if (output.operands.size() > left.operands.size()) {
    // The right's lent bytes are its cells but the join cell.
    auto lender = std::make_shared<Lender>();
    lender->relation = &right;
    lender->lentBytes.reserve(right.rows.size());
    for (std::size_t r = 0; r < right.rows.size(); ++r) {
      lender->lentBytes.push_back(right.rows[r].size() -
                                  static_cast<std::size_t>(right.attributeCount() - 1) -
                                  rightCells[r].size());
    }
    output.operands.back() = std::move(lender);
  }
  const RowIndex index(std::move(rightCells));
  const Matches matches =
      keyMatches(left, key->left, index, options.rows == RowSet::distinct || Tell::kTells);
  if (matches.total > MAX_ROWS) throw tooManyRows(right, options.step, matches.total);
  output = joinedRefs(left, right, matches, std::move(output), options, tell,
                      [&](int r) { return index.nextRow(r); });
  if constexpr (Tell::kTells) {
    // A right row joins no left row when no left row reached its chain.
    std::vector<char> reached(right.rows.size(), 0);
    for (const int first : matches.first) {
      if (first != -1) reached[static_cast<std::size_t>(first)] = 1;
    }
    const std::vector<int>& heads = matches.rightHeads;
    for (std::size_t r = 0; r < right.rows.size(); ++r) {
      if (reached[static_cast<std::size_t>(heads[r])] == 0)
        tell.rightUnmatched(static_cast<int>(r));
    }
  }
  return output;
}

}  // namespace

RefRows joinRows(const RefRows& left, const Relation& right, const JoinKey& key,
                 std::vector<SourceColumn> columns, const StepOptions& options) {
  RefRows output;
  output.operands = left.operands;
  const auto rightOperand = static_cast<int>(left.operands.size());
  if (std::any_of(columns.begin(), columns.end(),
                  [&](const SourceColumn& column) { return column.operand == rightOperand; })) {
    if (key) {
      output.operands.emplace_back();  // its lent bytes are found with its join cells
    } else {
      auto lender = std::make_shared<Lender>();
      lender->relation = &right;
      output.operands.push_back(std::move(lender));
    }
  }
  output.columns = std::move(columns);
  if (options.recorder == nullptr) {
    return stepRows(left, right, key, std::move(output), options, NotTold{});
  }
  return stepRows(left, right, key, std::move(output), options, Told{*options.recorder});
}

}  // namespace joinrel
