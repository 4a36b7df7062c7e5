// The page's account of a run: a watcher that writes what it is told as a
// JSON text, for the page to show without reading the output file or the
// message text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "explain/explain.h"
#include "join/join.h"
#include "messages/messages.h"
#include "observe/observer.h"
#include "relation/relation.h"

namespace joinrel {

// The tables of the report take at most this many bytes, whatever the input.
inline constexpr std::size_t kReportByteLimit = std::size_t{16} << 20;

// A cell longer than this is told cut to its first bytes.
inline constexpr std::size_t kCellByteLimit = 1000;

// Writes, as one JSON object:
//   "relations": the input relations written, the first `relationLimit` of
//     them, and "moreRelations", the count of the others;
//   "steps": each join step, {"left" ("" for the chain built so far),
//     "right", "attribute" (null for a product), "leftRows", "rightRows",
//     "built"}, and "stepsLeftOut", the count of the later steps that were
//     not told. "built" is the step's joined relation as the join defines
//     it, for the last step too (which the engine builds only as far as
//     result needs): every joined row, repeats included, in joined order,
//     with the left operand's columns and then the right's without its join
//     attribute; it is written from the step's pairs and its operands;
//   "result": `result` as written, or null; "resultLeftOut": whether result
//     was written but not told;
//   "message": {"kind" (the catalogue's id), "line" (null when it names
//     none), "text" (the catalogue's text without ":" or "!")} or null;
//   "explain": where each row came from:
//     "relations": for each of the first `relationLimit` relations,
//       {"name", "lines"}: the input line of every row;
//     "steps": for each step, {"left" (null for the chain built so far),
//       "right", "leftRelation" (the left operand's index among the
//       relations in file order; null for the chain built so far),
//       "rightRelation", "attribute" (null for a product),
//       "attributeColumns" ([left, right]; [null, null] for a product),
//       "shared" (the other names both operands carry), "pairs" ([leftRow,
//       rightRow] for every joined row, in joined order), "unmatchedLeft",
//       "unmatchedRight" (every operand row that made no joined row,
//       ascending), "columnPlaces" (for each column of "built", the place
//       in the join list, 0 for its first name, of the relation the column
//       comes from), "sharedColumns" (for each name of "shared", the columns
//       of "built" holding its two copies: [the first column of that name,
//       the left operand's; the first of that name in the right operand's
//       part]), "differing" (every [joinedRow, name] whose two copies of a
//       shared name differ, by row, then in the order of "shared"),
//       "keptByAllShared" (the joined rows whose copies of every shared name
//       agree: those a join on every shared name would keep), "selfJoin"
//       (whether both operands are one input relation)}; the steps after one
//       whose facts memory could not hold are left out;
//     "tidy": {"relation" (null when result is tidied from the last step's
//       joined rows; with one name in the join list, that relation's index
//       in file order), "columns" (for each result column, the column of
//       the last step's "built", or of that relation, it came from),
//       "sources" (for every result row, the joined rows, or that relation's
//       rows, it stands for, ascending), "byteOrder" (two adjacent result
//       rows [a, a + 1] that a reading cell by cell, first column first,
//       would order the other way round, the first such; null when the two
//       orders agree)}, or null without a join list;
//     "notes": what the run took in as it is, though whoever wrote the
//       input may not expect it (explain/notes.h), ordered by line: at most
//       kNotesOfEachKind (20) of each kind, each {"kind", "line", ...}:
//       "extraCells" and "missingCells" ("relation", "name", "cells",
//       "attributes": a row line with more cells than attributes, whose
//       extra cells nothing keeps, or with fewer, whose missing cells are
//       empty), "textAfterList" ("relation", null for the first line,
//       "text": the bytes after the list's end, never read), "typeCut"
//       ("relation", "attribute", "type": a type text holding "(" that a
//       comma ended, ending the attribute too), "blankInName" ("relation",
//       "place": "relation", "attribute" or "joinList", "written": the name
//       as written, "read": as the run reads it, up to its first blank),
//       "blankInKeyCell" ("relation", "attribute", "step", "cell": a cell
//       that a step compares starting or ending with a blank or a tab),
//       "notJoined" ("relation", "name": a relation the join list does not
//       name), "sameName" ("relation", "name", "used": a relation of a name
//       the join list carries that an earlier relation carries too, and
//       that earlier one, which the join reads), "byteOrderMark" (line 1:
//       the file starts with U+FEFF), "invisible" ("codePoint", "bidi":
//       a default-ignorable character, or a bidi control, once a line);
//       "relation" is an index among the relations in file order, texts are
//       cut to their first 1,000 bytes;
//     "moreNotes": for each kind with more notes than kept, how many more;
//     "particulars": the fatal message's fields or null; for an unknown
//       relation, "name" and "similarNames", the loaded names it may mean;
//     "truncated": false when every row of every table told is there and no
//       cell is cut; else {"rows": the rows of the relations, steps and
//       result that were not told (for the byte limit or for want of
//       memory), "cells": the cells told cut}.
//   "incomplete": whether a relation, step or result was left out, for the
//     byte limit or for want of memory.
// A table is {"name", "attributes": [[name, type], ...], "rowCount", "rows":
// [[cell, ...], ...]}: its first rows, every one while the tables stay
// within the byte limit; a cell longer than kCellByteLimit is {"start": its
// first bytes, "length": its length in bytes}. The explain facts come on top
// of the byte limit: they are bounded by the 10000 rows of a step and result
// (and their 50 attributes), by the input's lines, and, for the notes, by
// kNotesOfEachKind. Every string holds bytes: a byte outside
// printable ASCII, '"' and '\' are written as \u00XX, so that a reader gets
// one character per byte, whatever the bytes are. Every field is always
// there.
class JsonReport final : public RunObserver {
 public:
  explicit JsonReport(int relationLimit, std::size_t byteLimit = kReportByteLimit)
      : relationLimit_(relationLimit), byteLimit_(byteLimit) {}

  RowRecorder* rowRecorder() override { return explainer_.rowRecorder(); }
  ReadNotes* readNotes() override { return explainer_.readNotes(); }
  void relationWritten(const Relation& relation, LineNumber firstRowLine) override;
  void joinListResolved(std::span<const std::int64_t> relations) override;
  void joinStepDone(const JoinStep& step) override;
  void resultBuilt(const Relation& result) override;
  void resultWritten(const Relation& result) override;
  void runStopped(MessageKind kind, LineNumber line, const Particulars& particulars) override;

  // The whole report: its tables at most the byte limit long (and a few
  // hundred bytes for the message and the counts), and the explain facts.
  std::string text() const;

  // The report with no relation, step or result told, marked incomplete,
  // with the message: small, for when memory does not hold the whole text.
  std::string briefText() const;

 private:
  // A relation whose lines the facts give.
  struct LinedRelation {
    std::string name;
    int rowCount = 0;
    LineNumber firstRowLine = 0;
  };

  template <typename AppendRow>
  bool tellTable(std::string& into, std::string_view prefix, std::string_view suffix,
                 std::string_view name, const std::vector<Attribute>& attributes, int rowCount,
                 AppendRow appendRow) noexcept;
  std::string explainText() const;
  std::string truncatedText() const;
  std::string compose(std::string_view relations, std::size_t moreRelations, std::string_view steps,
                      std::size_t stepsLeftOut, std::string_view result, bool resultLeftOut,
                      std::string_view explain, bool incomplete) const;

  int relationLimit_;
  std::size_t byteLimit_;
  RunExplainer explainer_;
  std::size_t relationsWritten_ = 0;
  std::size_t relationsTold_ = 0;
  bool relationLeftOut_ = false;
  std::size_t stepsDone_ = 0;
  std::size_t stepsTold_ = 0;
  bool resultWritten_ = false;
  std::uint64_t rowsHeard_ = 0;    // the rows of every table told or left out
  std::uint64_t rowsLeftOut_ = 0;  // of those, the rows not told
  std::uint64_t cellsCut_ = 0;
  std::string relations_;
  std::string steps_;
  std::string result_;
  std::string message_ = "null";
  std::vector<LinedRelation> linedRelations_;
  std::string particulars_ = "null";
};

// Appends `bytes` to `json` as a JSON string, each byte one character.
void appendJsonString(std::string& json, std::string_view bytes);

// Appends a fatal message as {"kind" (the catalogue's id), "line" (null when
// it names none), "text" (the catalogue's text without ":" or "!")}.
void appendMessage(std::string& json, MessageKind kind, LineNumber line);

// Appends, as members of a step's object, the facts of the names its
// operands share but it does not compare: ,"sharedColumns",
// "differing", "keptByAllShared", "selfJoin".
void appendSharedNameFacts(std::string& json, const StepFacts& facts);

// Appends, as a member of the tidy object, ,"byteOrder".
void appendByteOrder(std::string& json, const TidyFacts& tidy);

// Appends "notes" and "moreNotes", members of the explain object.
void appendNotes(std::string& json, const NoteTaker& notes);

// Appends a cell: as a JSON string, or, longer than kCellByteLimit, as
// {"start", "length"} with its first bytes up to a UTF-8 character's start.
// Returns whether it cut the cell.
bool appendCell(std::string& json, std::string_view bytes);

}  // namespace joinrel
