// The page's account of an answer checked against a run (check/check.h), as
// a JSON text: facts only, for the page to word.
#pragma once

#include <string>

#include "check/check.h"

namespace joinrel {

// Writes, as one JSON object, of an answer checked against result (`step`
// 0) or against the built relation of join step `step`:
//   "step": `step`;
//   "answer": {"message" (the reader's refusal of the answer, as the run
//     report's "message": {"kind", "line", "text"}; null when it read it),
//     "name" (the answer's relation name), "lines" (the answer's line of
//     each of its rows)};
//   "run": {"message": the run's own fatal message or null}, or null when
//     the answer was refused and nothing ran;
//   "checked": whether the answer was compared with result (or the step's
//     built relation); false when the answer or the run was refused, memory
//     ran out, or the chain has no such step or it is the last one (whose
//     built relation is result);
//   "columns": null unless checked; else {"answer", "result" (the attribute
//     names of each, in column order), "sameNames" (the same names, as
//     often each), "inOrder" (and in result's order: by name, byte by
//     byte), "outOfOrder" (when sameNames but not inOrder, the first two
//     adjacent answer columns [i, i + 1] out of that order; else null),
//     "decidingByte" (for those two names, as below; else null),
//     "misplaced" (in a step's check, where "result" names the built
//     relation's columns, in the step's order: the left operand's, then the
//     right's without its join attribute; when sameNames but not inOrder,
//     the first answer column whose name is not the step's there, and
//     outOfOrder and decidingByte are null; else null)};
//   "right": every answer row that is a row of result, [answerRow,
//     resultRow], in answer order; rows are compared only with sameNames,
//     each answer row's cells taken in result's column order;
//   "missing": every row of result the answer lacks, in result order,
//     {"row", "cells" (in result's column order), "sources": for each
//     relation of the join list, in list order, the input row it is joined
//     from, {"relation" (index in file order), "name", "row", "line"}};
//   "extra": every answer row that is not a row of result, or repeats an
//     earlier one, in answer order, {"row", "line", "cells" (as the answer
//     writes them), "reason": "repeats" (it repeats answer row "repeats", a
//     duplicate the tidying merges), "noPartner" (step "place" finds no
//     row of its right operand with the compared value), "noRow" (no row
//     of the relation at "place" has the cells of "with" and "attribute"
//     together), "unexplained" (the join list names no relation) or
//     "notExamined" (past the first 1000 extra rows), "repeats" (an answer
//     row or null), and for noPartner and noRow: "place" (the relation's
//     place in the join list: 0 is the first relation, p > 0 the right
//     operand of step p), "relation" (index in file order), "name", "with"
//     ([[attribute, value], ...]: cells its rows do have together, the
//     compared attribute first at a join step), "attribute" and "value"
//     (what no such row has); else those are null};
//   In a step's check, rows are compared as a multiset: "right" pairs each
//     answer row with a built row of its text not yet paired; "missing"
//     rows are the built relation's, with two "sources", its left operand's
//     row ("relation", "line" null and "name" "" from step 2 on: the
//     outcome of the step before) and its right operand's; "extra" rows
//     place 0 at the left operand and `step` at the right one, and
//     "repeats" marks a row the answer holds more often than the step
//     makes it;
//   "rowOrder": when the columns are in order and every row is right (none
//     missing, none extra), the first two adjacent answer rows [a, a + 1]
//     out of result's order, which orders rows as whole texts (cells with
//     "," between them) byte by byte: {"rows", "lines", "decidingByte"};
//     else null; null in a step's check;
//   "stepOrder": in a step's check with the columns in order and every row
//     right, the first answer row not where the step puts it: {"row",
//     "line", "expected": the built row the step puts there, {"row",
//     "pair": [left row, right row], "cells"}, "given": the built row the
//     answer's is, {"row", "pair"}}; the step takes the left rows in order,
//     each with its right partners in order; else null.
// A deciding byte is {"at": the offset where the two texts first differ,
// "bytes": [the first's byte there, the second's; null for a text that ends
// there]}. Strings and cells are written as the run report writes them
// (report.h): byte by byte, a cell over 1000 bytes cut. Every field is
// always there.
std::string checkReportText(const Answer& answer, const AnswerWatcher* watcher, int step = 0);

// The brief report for when memory does not hold the whole one: unchecked,
// with the answer's and the run's messages.
std::string briefCheckReportText(const Answer& answer, const AnswerWatcher* watcher, int step = 0);

}  // namespace joinrel
