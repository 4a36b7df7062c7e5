// The join engine: the join key, the pairwise natural join (or product), the
// left-deep chain that builds `result`, and the normalisation that gives
// `result` its final form.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
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

// Returns the natural join of `left` and `right` on `key`, or their product
// when `key` holds none; its name is blank and its rows live in its ownText.
// Columns: those of both operands, right's join attribute left out, in
// `order`. Rows: for each left row in order, one per matching right row in
// order, of those that `rows` asks for; cells compare as exact text. Refuses,
// before building any row, an output over 50 attributes or, counting every
// joined row whatever `rows` asks for, over 10000 rows ("Tul nagy az
// eredmeny: <right's name>!", naming `step`, the step's number from 1, the
// limit and the count found; the attributes are checked first).
Relation joinPair(const Relation& left, const Relation& right, const JoinKey& key,
                  ColumnOrder order = ColumnOrder::joined, int step = 1, RowSet rows = RowSet::all);

// A built row's origin: the index of its left operand's row and of its right
// operand's row.
struct RowPair {
  int left = 0;
  int right = 0;
  bool operator==(const RowPair&) const = default;
};

// Where a step's rows came from, for a watcher who asks.
struct StepLineage {
  // The names, other than the join attribute's, that both operands carry, in
  // left's column order, each once: they are not compared, so each appears
  // twice in the built relation.
  std::vector<std::string_view> sharedNames;
  std::vector<RowPair> pairs;       // one per built row, in the built relation's order
  std::vector<int> unmatchedLeft;   // left rows that made no built row, ascending
  std::vector<int> unmatchedRight;  // right rows that made no built row, ascending
};

// Returns the lineage of joinPair(left, right, key, ...): the pairs in the
// order it builds its rows, whichever the column order.
StepLineage lineageOf(const Relation& left, const Relation& right, const JoinKey& key);

// One step of the join chain, valid for the length of the call that hands it
// over.
struct JoinStep {
  std::string_view leftName;  // "" when the left operand is the chain built so far
  std::string_view rightName;
  std::string_view joinAttribute;  // "" for a product
  bool product = false;
  int leftRows = 0;
  int rightRows = 0;
  // The step's outcome, its name still blank, with the columns of the left
  // operand, then the right's without its join attribute. When the sink does
  // not want lineage, the last step's columns are in result's order instead
  // and its rows are each distinct joined row once.
  const Relation& built;
  JoinKey key;                           // the join attribute's column in each operand
  const StepLineage* lineage = nullptr;  // only when the sink asks for it
};

// Receives each step of a join chain as soon as it is built. A method may
// throw FatalError, which ends the chain.
class JoinSink {
 public:
  JoinSink() = default;
  JoinSink(const JoinSink&) = delete;
  JoinSink& operator=(const JoinSink&) = delete;
  virtual ~JoinSink() = default;

  // True when each step should carry its lineage, which costs a pass over
  // the operands.
  virtual bool wantsLineage() const = 0;
  // A step, just built, before the next one starts.
  virtual void stepBuilt(const JoinStep& step) = 0;
  // The names of every relation the input holds, in file order, to offer
  // for a name that none carries; none when nobody asks for them.
  virtual std::span<const std::string> loadedNames() const { return {}; }
};

// Joins the relations that `joinList` names, left-deep in list order, each
// name standing for the first relation of `relations` that carries it; hands
// each step to `sink` and returns the outcome named "result", not yet
// normalised. Unless the sink wants lineage, which sees every step whole and
// as joined, the last step lays its columns out as result has them and builds
// each distinct row once. One name gives a copy of that relation, none an
// empty relation. Refuses, before the first step, a name that no relation
// carries ("Ismeretlen relacio: <name>!", with the names of
// sink.loadedNames() similar to it).
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

// How normalizeResult tidies a relation: for each final column, the column it
// came from; every row, in final order, equal rows together and ascending;
// and for each final row the end of its rows (several where equal rows
// merged) in `rows`. Flat, as a relation may have 10000 rows.
struct TidyLineage {
  std::vector<std::size_t> columns;
  std::vector<int> rows;
  std::vector<std::size_t> rowEnds;
};

// Returns the rows that final row `row` of `tidy` stands for.
inline std::span<const int> sourcesOf(const TidyLineage& tidy, std::size_t row) {
  const std::size_t begin = row == 0 ? 0 : tidy.rowEnds[row - 1];
  return std::span(tidy.rows).subspan(begin, tidy.rowEnds[row] - begin);
}

// Returns how normalizeResult would tidy `relation`, which it leaves as it is.
TidyLineage tidyLineage(const Relation& relation);

}  // namespace joinrel
