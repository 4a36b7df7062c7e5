// The facts that explain a run, for a watcher who shows it: which rows of its
// operands each join step paired into each joined row and which found no
// partner, as the join decided them, and which joined rows each row of
// result stands for. The command line gathers none of them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "explain/notes.h"
#include "join/join.h"
#include "observe/observer.h"
#include "relation/relation.h"

namespace joinrel {

// A joined row's origin: the index of its left operand's row and of its
// right operand's row.
struct RowPair {
  int left = 0;
  int right = 0;
  bool operator==(const RowPair&) const = default;
};

// What a join step decided about each row, as it told a recorder.
struct StepLineage {
  std::vector<RowPair> pairs;       // one per joined row, in joined order
  std::vector<int> unmatchedLeft;   // left rows that joined none, ascending
  std::vector<int> unmatchedRight;  // right rows that joined none, ascending
  // For a step that built each distinct joined row once: for each row of
  // each operand, its first row with the same text (itself when none before
  // it has it). Empty for a step that built every joined row.
  std::vector<int> leftFirst;
  std::vector<int> rightFirst;
};

// A recorder that keeps what each step tells it. Memory running out while it
// keeps a step's facts loses that step's facts, and the run goes on.
class LineageRecorder final : public RowRecorder {
 public:
  void sameTexts(std::span<const int> leftFirst, std::span<const int> rightFirst) noexcept override;
  void joined(int left, int right) noexcept override;
  void leftUnmatched(int left) noexcept override;
  void rightUnmatched(int right) noexcept override;

  // Returns what was told since the last call, and starts afresh; none when
  // memory ran out while keeping it.
  std::optional<StepLineage> takeStep() noexcept;

 private:
  template <typename Keep>
  void keep(Keep keep) noexcept;

  StepLineage step_;
  bool lost_ = false;
};

// Returns the names, other than the join attribute's, that both operands
// carry, in left's column order, each once: they are not compared, so each
// appears twice in the joined relation.
std::vector<std::string> sharedNames(const Relation& left, const Relation& right,
                                     const JoinKey& key);

// Returns, for each joined row of `step`, the index of the row the step built
// that holds its text: itself when the step built every joined row; else the
// row it built of the first rows with the same texts as the joined row's
// left and right rows, as two joined rows are equal exactly when their left
// rows are and their right rows are.
std::vector<int> builtRowsOf(const StepLineage& step);

// Returns, for each of `rows`, rows of a relation with `attributes`, the
// index of the row of `result` equal to it once its cells are in result's
// column order. `result` must be normalizeResult's form of a relation holding
// those rows: its columns stably sorted by name, its rows distinct and in
// ascending order.
std::vector<int> finalRowsOf(std::span<const Row> rows, const std::vector<Attribute>& attributes,
                             const Relation& result);

// How normalizeResult made result of the rows it stands for: for each final
// column, the column it came from; the source rows grouped by final row,
// each group ascending; and for each final row the end of its group in
// `rows`. Flat, as result may have 10000 rows.
struct TidyLineage {
  std::vector<std::size_t> columns;
  std::vector<int> rows;
  std::vector<std::size_t> rowEnds;
};

// Returns the source rows that final row `row` of `tidy` stands for.
inline std::span<const int> sourcesOf(const TidyLineage& tidy, std::size_t row) {
  const std::size_t begin = row == 0 ? 0 : tidy.rowEnds[row - 1];
  return std::span(tidy.rows).subspan(begin, tidy.rowEnds[row] - begin);
}

// Returns the tidy lineage of `finalRowCount` final rows with `columns`, of
// source rows 0, 1, ... of which source i became final row finalRows[i].
TidyLineage tidyLineage(std::vector<std::size_t> columns, const std::vector<int>& finalRows,
                        std::size_t finalRowCount);

// How the joined rows of a step agree on the names both operands carry but
// the step does not compare (sharedNames()).
struct SharedNameFacts {
  // For each shared name, the columns of the joined relation (in joined
  // order) that hold its two copies: the first column of that name in the
  // left operand, and the first in the right one.
  std::vector<std::array<int, 2>> columns;
  // Each joined row whose two copies of a shared name differ, with that
  // name's index in the shared names; by row, then by name.
  std::vector<std::array<int, 2>> differing;
  // The joined rows whose copies agree on every shared name: those a join
  // on every shared name would keep.
  int keptByAllShared = 0;
};

// Returns the shared name facts of the step that joined `left` and `right`
// on `key` into one row per pair of `pairs`, `shared` being sharedNames().
SharedNameFacts sharedNameFacts(const Relation& left, const Relation& right, const JoinKey& key,
                                const std::vector<std::string>& shared,
                                std::span<const RowPair> pairs);

// The facts of one join step.
struct StepFacts {
  std::int64_t leftRelation = -1;  // by index in file order; -1 for the chain built so far
  std::int64_t rightRelation = -1;
  std::string leftName;  // "" for the chain built so far
  std::string rightName;
  std::string attribute;  // the join attribute's name; "" for a product
  JoinKey key;
  std::vector<std::string> shared;  // sharedNames() of the operands
  StepLineage lineage;
  SharedNameFacts sharedFacts{};  // how the joined rows agree on the shared names
  // For each column of the joined relation, the place in the join list (0
  // for its first name) of the relation the column comes from.
  std::vector<int> columnPlaces{};
};

// The facts of how result was tidied.
struct TidyFacts {
  // The relation, by index in file order, whose rows the sources are, when
  // the join list names one relation; -1 when they are the last step's
  // joined rows.
  std::int64_t relation = -1;
  TidyLineage lineage;
  // Two adjacent rows of result that a reading cell by cell, first column
  // first, would put the other way round: rows are ordered as whole texts.
  // None when the two orders agree.
  std::optional<std::array<int, 2>> byteOrder{};
};

// Returns the first two adjacent rows of `result`, a relation in its final
// form, whose cells compared one by one, first column first, as bytes, would
// order them the other way round; none when no two would.
std::optional<std::array<int, 2>> rowsOrderedByBytes(const Relation& result);

// Gathers a run's facts as a watcher hears its events: the join's recorder,
// each step's facts and result's tidying. Memory running out leaves out the
// facts of the step where it ran out, of every later step and of the
// tidying, and the run goes on.
class RunExplainer final : public RunObserver {
 public:
  RowRecorder* rowRecorder() override { return &recorder_; }
  ReadNotes* readNotes() override { return &notes_; }
  void relationWritten(const Relation& /*relation*/, LineNumber /*firstRowLine*/) override {}
  void joinListResolved(std::span<const std::int64_t> relations) override;
  void joinStepDone(const JoinStep& step) override;
  void resultBuilt(const Relation& result) override;
  void resultWritten(const Relation& result) override;
  void runStopped(MessageKind /*kind*/, LineNumber /*line*/,
                  const Particulars& /*particulars*/) override {}

  // The relations the join list names, by index in file order.
  const std::vector<std::int64_t>& joinList() const { return joinList_; }
  // The facts of every step done, in order, as far as memory held them.
  const std::vector<StepFacts>& steps() const { return steps_; }
  // The facts of result's tidying: none without a join list, before result
  // is written, or when memory ran out.
  const std::optional<TidyFacts>& tidy() const { return tidy_; }
  // The notes on what the run took in as it is.
  const NoteTaker& notes() const { return notes_; }

 private:
  // What resultBuilt() saw, until result is written.
  struct Unnormalised {
    std::vector<Attribute> attributes;
    std::vector<Row> rows;
    std::shared_ptr<const void> text;  // keeps the rows' texts while the columns move
  };

  // Notes each blank-edged cell the step compares, in the relations it
  // comes from.
  void noteKeyCells(const JoinStep& step) noexcept;

  LineageRecorder recorder_;
  NoteTaker notes_;
  std::vector<int> leftWidths_;  // each step's left operand's attribute count
  std::vector<std::int64_t> joinList_;
  std::vector<StepFacts> steps_;
  std::size_t stepsDone_ = 0;
  std::vector<std::size_t> lastColumns_;  // result's columns from the last step's, when joined
  std::optional<Unnormalised> unnormalised_;
  std::optional<TidyFacts> tidy_;
};

}  // namespace joinrel
