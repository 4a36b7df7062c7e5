// An answer checked against a run: a student's `result`, written as the
// output file would show it, read by the input reader and compared with the
// run's own result row by row, each wrong row with the facts that explain it.
// The command line links none of it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "join/join.h"
#include "messages/messages.h"
#include "observe/observer.h"
#include "relation/relation.h"

namespace joinrel {

// An answer as read: one relation block, its rows owned, and the line of
// each row; or the reader's refusal.
struct Answer {
  Relation relation;
  std::vector<LineNumber> lines;  // the answer's line of each row
  // The reader's message, when it refused the text: its kind and line.
  std::optional<MessageKind> error;
  LineNumber errorLine = 0;
};

// Reads `text` as one relation block: a header line, then rows, as the
// input reader reads them (a row's cells are its comma-separated pieces,
// missing ones empty, extra ones dropped). Empty lines before the header and
// between or after the rows are skipped, so the empty line the output file
// writes after an untyped header may stand or not; a row of one empty cell
// therefore cannot be written. Refuses, as the reader does, with the
// reader's message in `error`: no header ("Hianyzo fejlec"), a bad header, a
// name over 30 bytes, a row holding "(" (a second header too), a row of more
// than 50 cells, more than 10000 rows. Memory running out throws
// std::bad_alloc.
Answer readAnswer(std::string_view text);

// Where `a` and `b` first differ, byte by byte: the offset, and the byte of
// each there, -1 for a text that ends there. `at` is the shorter size and
// both bytes -1 when they are equal.
struct DecidingByte {
  std::size_t at = 0;
  int first = -1;
  int second = -1;
};
DecidingByte decidingByte(std::string_view a, std::string_view b);

// A row of an input relation: the relation by index in file order and its
// name, the row's index in it and its input line.
struct SourceRow {
  std::int64_t relation = 0;
  std::string name;
  int row = 0;
  LineNumber line = 0;
};

// A row of result the answer lacks, and the input rows it is joined from:
// one per relation of the join list, in list order, the first rows (in row
// order, the earliest relation first) that make it.
struct MissingRow {
  int row = 0;       // in result
  std::string text;  // its cells, "," between them
  std::vector<SourceRow> sources;
};

// Why no pair of input rows makes an answer row.
enum class ExtraReason {
  repeats,      // it repeats an earlier answer row, which the tidying would merge
  noPartner,    // the step's right operand has no row with the compared value
  noRow,        // no row of the relation has the cells named, together
  unexplained,  // the join list names no relation, so result has no rows
  notExamined,  // past the first kExaminedRows extra rows: not looked into
};

// The extra rows whose reason is looked for; the rest are told without one,
// so that a pasted answer of thousands of wrong rows is checked at once.
inline constexpr std::size_t kExaminedRows = 1000;

// An answer row that is not a row of result.
struct ExtraRow {
  int row = 0;  // in the answer
  ExtraReason reason = ExtraReason::unexplained;
  int repeats = 0;  // for `repeats`, the earlier answer row
  // For noPartner and noRow: the relation's place in the join list (0 is
  // the first relation; place p > 0 is the right operand of step p), its
  // index in file order and name, the cells its rows do have together (each
  // as [attribute, value], the compared attribute first at a join step),
  // and the attribute and value no such row has.
  int place = 0;
  std::int64_t relation = 0;
  std::string name;
  std::vector<std::pair<std::string, std::string>> with;
  std::string attribute;
  std::string value;
};

// How the answer's attribute names stand to result's, compared as names
// (types and the relation's name play no part).
struct ColumnFacts {
  std::vector<std::string> answer;
  std::vector<std::string> result;
  bool sameNames = false;  // the same names, as often each, in any order
  bool inOrder = false;    // the same names in result's order
  // When sameNames but not inOrder: the first two adjacent answer names that
  // are out of order, by name byte by byte, and their deciding byte.
  int outOfOrder = 0;
  DecidingByte decided;
};

// The first two adjacent answer rows out of order, as result orders its
// rows: as whole texts, byte by byte; with the deciding byte.
struct RowOrderFacts {
  int row = 0;  // rows `row` and `row` + 1 of the answer
  DecidingByte decided;
};

// The outcome of a check, holding every text it tells. Rows are compared only with sameNames, each
// answer row taken with its cells in result's column order.
struct AnswerCheck {
  ColumnFacts columns;
  std::vector<std::array<int, 2>> right;  // [answer row, result row], in answer order
  std::vector<MissingRow> missing;        // in result order
  std::vector<ExtraRow> extra;            // in answer order
  // Told only when the columns are in order and every row is right.
  std::optional<RowOrderFacts> rowOrder;
};

// The relations a join read and the keys of its steps, as the run saw them:
// what checkAnswer compares with. The rows view the run's texts, so it lives
// no longer than the run's input.
struct JoinedRun {
  std::vector<const Relation*> relations;  // the join list's, in list order
  std::vector<std::int64_t> fileIndices;   // of each, its index in file order
  std::vector<LineNumber> firstRowLines;   // of each, the input line of its row 0
  std::vector<JoinKey> keys;               // of each step, in order
};

// Compares `answer` (read without error) with `result`, the run's result in
// its final form, made by `run`. Extra rows get their reason; the work for
// each is bounded by the rows of the relation it looks at.
AnswerCheck checkAnswer(const Answer& answer, const Relation& result, const JoinedRun& run);

// Watches a run and checks an answer against it once result is written,
// while the run's texts still live. Memory running out while it watches
// leaves the check undone; the run goes on.
class AnswerWatcher final : public RunObserver {
 public:
  explicit AnswerWatcher(const Answer& answer) : answer_(answer) {}

  RowRecorder* rowRecorder() override { return nullptr; }
  void relationWritten(const Relation& relation, LineNumber firstRowLine) override;
  void joinListResolved(std::span<const std::int64_t> relations) override;
  void joinStepDone(const JoinStep& step) override;
  void resultBuilt(const Relation& /*result*/) override {}
  void resultWritten(const Relation& result) override;
  void runStopped(MessageKind kind, LineNumber line, const Particulars& particulars) override;

  // The check, once result was written; none when the run stopped or memory
  // ran out.
  const std::optional<AnswerCheck>& check() const { return check_; }
  // The run's own fatal message, when it stopped: its kind and line.
  const std::optional<MessageKind>& runError() const { return runError_; }
  LineNumber runErrorLine() const { return runErrorLine_; }
  // Whether memory ran out while watching or checking.
  bool memoryRanOut() const { return memoryRanOut_; }

 private:
  const Answer& answer_;
  std::vector<Relation> written_;  // every input relation, in file order
  std::vector<LineNumber> firstRowLines_;
  std::vector<std::int64_t> joinList_;
  std::vector<JoinKey> keys_;
  std::optional<AnswerCheck> check_;
  std::optional<MessageKind> runError_;
  LineNumber runErrorLine_ = 0;
  bool memoryRanOut_ = false;
};

}  // namespace joinrel
