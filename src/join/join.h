// The join engine: the join key, the pairwise natural join (or product), the
// left-deep chain that builds `result`, and the normalisation that gives
// `result` its final form.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "messages/messages.h"
#include "relation/relation.h"

namespace joinrel {

// The columns of the attribute a join step joins on: its column in the left
// operand and its column in the right one.
struct KeyColumns {
  int left = 0;
  int right = 0;
};

// What a join step joins on: the columns of the first attribute the operands
// share, or none, which makes the step a product.
using JoinKey = std::optional<KeyColumns>;

// Returns the key of joining `left` and `right`: the first attribute of
// `left`, in column order, whose name `right` also carries, paired with the
// first attribute of that name in `right`; none when they share no name.
// Types play no part.
JoinKey findCommonAttribute(const Relation& left, const Relation& right);

// The column order of a join step's output.
enum class ColumnOrder {
  joined,  // all of left's columns, then right's without its join attribute
  byName,  // those columns as normalizeResult orders them: stably by name
};

// The rows a join step builds.
enum class RowSet {
  all,  // every joined row
  // Each distinct joined row once: only the first row of each distinct text
  // of either operand is joined. Every left cell is in a joined row, and
  // every right cell but the join cell, which equals the left's, so two
  // joined rows are equal exactly when their left rows are equal and their
  // right rows are; for a product likewise.
  distinct,
};

// Hears what a join step decides about each row, as it decides it, for a
// watcher who asks; the join tells nobody when nobody asks. Rows are given by
// their index in their operand. A method must not throw: a watcher must not
// change what the run does.
class RowRecorder {
 public:
  RowRecorder() = default;
  RowRecorder(const RowRecorder&) = delete;
  RowRecorder& operator=(const RowRecorder&) = delete;
  virtual ~RowRecorder() = default;

  // Before the rows of a step that builds each distinct joined row once
  // (RowSet::distinct): for each row of the left operand, the first row of
  // it with the same text (itself when none before it has it), and the same
  // for the right operand. The joined rows built are those of two rows that
  // are their own first. Valid for the call.
  virtual void sameTexts(std::span<const int> leftFirst,
                         std::span<const int> rightFirst) noexcept = 0;
  // Left row `left` and right row `right` make a joined row: every joined
  // row, in joined order, whether the step builds it or a row of the same
  // text.
  virtual void joined(int left, int right) noexcept = 0;
  // A left row that joins no right row; in ascending order.
  virtual void leftUnmatched(int left) noexcept = 0;
  // A right row that joins no left row; in ascending order.
  virtual void rightUnmatched(int right) noexcept = 0;
};

// How joinPair builds a step.
struct StepOptions {
  ColumnOrder order = ColumnOrder::joined;
  RowSet rows = RowSet::all;
  int step = 1;                     // the step's number from 1, for the message that refuses it
  RowRecorder* recorder = nullptr;  // told each row's fate when there is one
  // The largest text the step may build; more is refused as memory running
  // out. Tests set less than what the platform holds.
  TextSize sizeLimit = kMaxTextSize;
};

// Returns the attributes of the natural join of `left` and `right` on `key`
// (their product when it holds none): left's, then right's without its join
// attribute, each copied whole.
std::vector<Attribute> joinedAttributes(const Relation& left, const Relation& right,
                                        const JoinKey& key);

// Returns the natural join of `left` and `right` on `key`, or their product
// when `key` holds none; its name is blank and its rows live in its ownText.
// Columns: joinedAttributes(), in `options.order`. Rows: for each left row
// in order, one per matching right row in order, of those that
// `options.rows` asks for; cells compare as exact text. Tells
// `options.recorder`, when there is one, of every joined row, built or not,
// and of every row that joins none. Refuses, before building any row, an
// output over 50 attributes or, counting every joined row whatever
// `options.rows` asks for, over 10000 rows ("Tul nagy az eredmeny: <right's
// name>!", naming `options.step`, the limit and the count found; the
// attributes are checked first); a text over `options.sizeLimit` as memory
// running out (std::bad_alloc).
Relation joinPair(const Relation& left, const Relation& right, const JoinKey& key,
                  const StepOptions& options = {});

// One step of the join chain, valid for the length of the call that hands it
// over.
struct JoinStep {
  int number = 1;        // from 1
  const Relation& left;  // the chain built so far from step 2 on, its name blank
  const Relation& right;
  JoinKey key;  // none for a product
  // The step's outcome, its name still blank: every joined row with the
  // columns of joinedAttributes(), but for the last step, which holds each
  // distinct joined row once, with its columns in result's order. Before the
  // last step, `built` and the next step's `left` hold their attributes
  // alone, without rows, unless the sink reads the steps' rows.
  const Relation& built;
};

// Receives each step of a join chain as soon as it is built. A method may
// throw FatalError, which ends the chain.
class JoinSink {
 public:
  JoinSink() = default;
  JoinSink(const JoinSink&) = delete;
  JoinSink& operator=(const JoinSink&) = delete;
  virtual ~JoinSink() = default;

  // The recorder each step tells of its rows' fates; none when nobody asks.
  virtual RowRecorder* recorder() { return nullptr; }
  // Whether the sink reads the rows of the steps before the last, which are
  // otherwise never written as text.
  virtual bool readsStepRows() const { return false; }
  // The relations the join list stands for, by index among the relations,
  // in list order; once, before the first step.
  virtual void relationsChosen(std::span<const int> /*relations*/) {}
  // A step, just built, before the next one starts.
  virtual void stepBuilt(const JoinStep& step) = 0;
  // The names of every relation the input holds, in file order, to offer
  // for a name that none carries; none when nobody asks for them.
  virtual std::span<const std::string> loadedNames() const { return {}; }
};

// Joins the relations that `joinList` names, left-deep in list order, each
// name standing for the first relation of `relations` that carries it; hands
// each step to `sink`, telling sink.recorder() of its rows, and returns the
// outcome named "result", not yet normalised. The last step lays its columns
// out as result has them and builds each distinct row once. One name gives a
// copy of that relation, none an empty relation. Refuses, before the first
// step, a name that no relation carries ("Ismeretlen relacio: <name>!", with
// the names of sink.loadedNames() similar to it).
Relation joinAll(std::span<const Relation> relations, std::span<const Attribute> joinList,
                 JoinSink& sink);

// Returns the order that stably sorts `attributes` by name, as bytes: entry i
// is the index of the attribute that goes to place i. Attributes of the same
// name keep their order.
std::vector<std::size_t> columnsByName(const std::vector<Attribute>& attributes);

// Puts `relation` in its final form: columns stably sorted by attribute name,
// then only the first of each set of equal rows kept, then the rows sorted by
// their key (the cells joined by ","). Strings compare as unsigned bytes, a
// prefix first. The name and the attribute count stay as they are; when the
// columns move, the rows kept are rebuilt into `relation.ownText`.
void normalizeResult(Relation& relation);

}  // namespace joinrel
