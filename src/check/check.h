// An answer checked against a run: a student's `result`, written as the
// output file would show it, read by the input reader and compared with the
// run's own result row by row, each wrong row with the facts that explain it;
// or a student's built relation of one join step, compared with the step's.
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
// name, the row's index in it and its input line. In a step's check, a row
// of the outcome of the step before has relation -1, a blank name and line 0.
struct SourceRow {
  std::int64_t relation = 0;
  std::string name;
  int row = 0;
  LineNumber line = 0;
};

// A row of result the answer lacks, and the input rows it is joined from:
// one per relation of the join list, in list order, the first rows (in row
// order, the earliest relation first) that make it. In a step's check: a
// row of the step's built relation, from its left row and its right row.
struct MissingRow {
  int row = 0;       // in result
  std::string text;  // its cells, "," between them
  std::vector<SourceRow> sources;
};

// Why no pair of input rows makes an answer row.
enum class ExtraReason {
  // It repeats an earlier answer row, which the tidying would merge; in a
  // step's check, once more often than the step makes that row.
  repeats,
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
  // and the attribute and value no such row has. In a step's check, place
  // 0 is the step's left operand (relation -1 and a blank name from step 2
  // on: the outcome of the step before) and place `step` its right one.
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
  // are out of order, by name byte by byte, and their deciding byte; in a
  // step's check, whose columns are not sorted, the first answer column whose
  // name is not the step's there.
  int outOfOrder = 0;
  DecidingByte decided;
};

// The first two adjacent answer rows out of order, as result orders its
// rows: as whole texts, byte by byte; with the deciding byte.
struct RowOrderFacts {
  int row = 0;  // rows `row` and `row` + 1 of the answer
  DecidingByte decided;
};

// In a step's check whose rows are all right but not in the step's order:
// the first answer row not where the step puts it, the built row the step
// puts there, and the built row the answer's is (the first of its text not
// yet in place). The step takes the left rows in order, each with its right
// partners in order.
struct StepOrderFacts {
  int row = 0;       // in the answer
  int expected = 0;  // in the built relation
  int given = 0;     // in the built relation
  std::string text;  // the expected built row's cells, "," between them
};

// The outcome of a check, holding every text it tells. Rows are compared
// only with sameNames, each answer row taken with its cells in result's
// column order (the step's, in a step's check).
struct AnswerCheck {
  int step = 0;  // the join step checked, from 1; 0 for result
  ColumnFacts columns;
  std::vector<std::array<int, 2>> right;  // [answer row, result row], in answer order
  std::vector<MissingRow> missing;        // in result order
  std::vector<ExtraRow> extra;            // in answer order
  // Told only when the columns are in order and every row is right.
  std::optional<RowOrderFacts> rowOrder;
  // A step's check: as rowOrder, with each row's pair of operand rows.
  std::optional<StepOrderFacts> stepOrder;
  // A step's check: of each row of the built relation, its left row and
  // right row, in the built relation's order.
  std::vector<std::array<int, 2>> pairs;
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

// The operands of a join step as a check sees them: place 0 its left, place
// 1 its right, with their indices in file order (-1 for the outcome of the
// step before) and the input lines of their row 0 (0 for that outcome).
JoinedRun stepOperands(const JoinStep& step, std::int64_t leftIndex, LineNumber leftLine,
                       std::int64_t rightIndex, LineNumber rightLine);

// Compares `answer` (read without error) with the built relation of join
// step `step` of a chain, one that is not the last (the last one's is
// result), whose operands `operands` gives (stepOperands): its columns in
// the step's order, the left operand's then the right's without its join
// attribute; its rows as a multiset, each missing row with its pair of
// operand rows, each extra row with why no pair makes it (no left row with
// its cells, no right row with the compared value, or rows with it that
// differ on another column) or that it repeats an earlier answer row once
// too often; then, with every row right, the first row out of the step's
// order. The work is bounded by the built relation's rows and the
// operands'.
AnswerCheck checkStepAnswer(const Answer& answer, const JoinStep& step, const JoinedRun& operands);

// Watches a run and checks an answer against it once result is written,
// while the run's texts still live; with `step` > 0, against the built
// relation of that join step as soon as it is built, no check when the step
// is the chain's last or the chain has no such step. Memory running out
// while it watches leaves the check undone; the run goes on.
class AnswerWatcher final : public RunObserver {
 public:
  explicit AnswerWatcher(const Answer& answer, int step = 0) : answer_(answer), step_(step) {}

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
  int step_ = 0;
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
