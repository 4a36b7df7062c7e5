// The join engine: the join key, the pairwise natural join (or product) and
// the left-deep chain that builds and writes `result`.
#pragma once

#include <cstdint>
#include <ostream>
#include <span>

#include "relation/observer.h"
#include "relation/relation.h"

namespace joinrel {

// One operand of a join step. -1 marks an absent attribute.
struct JoinKeyEntry {
  std::int32_t relationIndex = -1;
  std::int32_t rightAttribute = -1;
  std::int32_t leftAttribute = -1;
};

// The operands of one join step and the attribute pair they are joined on:
// left.leftAttribute in the left operand, right.rightAttribute in the right.
// left.rightAttribute and right.leftAttribute are always -1.
struct JoinKey {
  JoinKeyEntry left;
  JoinKeyEntry right;
};

// Sets the four attribute fields of `key` to -1; leaves the relation indices.
void resetJoinKey(JoinKey& key);

// Finds the first attribute of `left`, in column order, whose name `right`
// also carries, paired with the first attribute of that name in `right`.
// Types play no part. On success records the pair in `key` and returns true;
// otherwise leaves `key` as it was and returns false.
bool findCommonAttribute(const Relation& left, const Relation& right, JoinKey& key);

// The column order of a join step's output.
enum class ColumnOrder {
  joined,  // all of left's columns, then right's without its join attribute
  byName,  // those columns as normalizeResult orders them: stably by name
};

// Returns the natural join of `left` and `right` on the pair in `key` when
// `found`, else their product; its name is blank and its rows live in its
// ownText. Columns: those of both operands, right's join attribute left out,
// in `order`. Rows: for each left row in order, one per matching right row in
// order; cells compare as exact text. Refuses, before building any row, an output
// over 50 attributes or 10000 rows ("Tul nagy az eredmeny: <right's name>!").
Relation joinPair(const Relation& left, const Relation& right, const JoinKey& key, bool found,
                  ColumnOrder order = ColumnOrder::joined);

// Joins the relations that `joinList` names, left-deep in list order, each
// name standing for the first relation of `relations` that carries it, the
// last step laying its columns out as result has them; names the outcome
// "result", normalises it and writes it to `outputFile`, with no line end
// after it. One name gives a copy of that relation, none an empty
// relation. Refuses, before the first step, a name that no relation carries
// ("Ismeretlen relacio: <name>!"). `key` is left reset. Hands each step, and
// `result` once written, to `observer` when there is one.
void joinAll(std::span<const Relation> relations, JoinKey& key, std::span<const Attribute> joinList,
             std::ostream& outputFile, RunObserver* observer = nullptr);

}  // namespace joinrel
