// The page's account of a run: a watcher that writes what it is told as a
// JSON text, for the page to show without reading the output file or the
// message text.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "join/join.h"
#include "messages/messages.h"
#include "observe/observer.h"
#include "relation/relation.h"

namespace joinrel {

// The report's text is at most this long, whatever the input.
inline constexpr std::size_t kReportByteLimit = std::size_t{16} << 20;

// A cell longer than this is told cut to its first bytes.
inline constexpr std::size_t kCellByteLimit = 1000;

// Writes, as one JSON object:
//   "relations": the input relations written, the first `relationLimit` of
//     them (with their first `rowLimit` rows) as far as the byte limit
//     allows, and "moreRelations", the count of the others;
//   "steps": each join step with its operands' names ("" for the chain built
//     so far), "attribute" (null for a product), its row counts and "built",
//     as far as the byte limit allows, and "stepsLeftOut", the count of the
//     later steps that were not told;
//   "result": `result` as written, or null; "resultLeftOut": whether result
//     was written but not told;
//   "message": {"kind" (the catalogue's id), "line" (null when it names
//     none), "text" (the catalogue's text without ":" or "!")} or null;
//   "explain": where each row came from, for the rows shown:
//     "relations": for each relation shown, {"name", "lines", "moreLines"}:
//       the input line of each of its rows shown, and by row index, those of
//       the rows not shown that a shown row of a step or of result comes
//       from;
//     "steps": for each step, {"left" (null for the chain built so far),
//       "right", "attribute" (null for a product), "attributeColumns"
//       ([left, right], null for a product), "shared" (the other names both
//       operands carry), "pairs" ([leftRow, rightRow] for each built row
//       shown), "morePairs" (by row index, those of the built rows not shown
//       that a shown row of a later step or of result comes from), "unmatchedLeft",
//       "unmatchedRight" (the operands' rows shown that made no built row)};
//     "tidy": {"columns" (for each result column, the built relation's
//       column it came from), "sources" (for each result row shown, the
//       built rows it stands for)} or null;
//     "particulars": the fatal message's fields or null; for an unknown
//       relation, "name" and "similarNames", the loaded names it may mean;
//     "truncated": whether any of these facts were left out.
//   "incomplete": whether a relation, step or result was left out, for the
//     byte limit or for want of memory.
// A relation is {"name", "attributes": [[name, type], ...], "rowCount",
// "rows": [[cell, ...], ...]}; a cell longer than kCellByteLimit is
// {"start": its first bytes, "length": its length in bytes}. Every string
// holds bytes: a byte outside printable ASCII, '"' and '\' are written as
// \u00XX, so that a reader gets one character per byte, whatever the bytes
// are. Every field is always there.
class JsonReport : public RunObserver {
 public:
  JsonReport(int rowLimit, int relationLimit, std::size_t byteLimit = kReportByteLimit)
      : rowLimit_(rowLimit), relationLimit_(relationLimit), byteLimit_(byteLimit) {}

  bool explains() const override { return true; }
  void relationWritten(const Relation& relation, LineNumber firstRowLine) override;
  void joinStepDone(const JoinStep& step) override;
  void resultTidied(const TidyLineage& tidy) override;
  void resultWritten(const Relation& result) override;
  void runStopped(MessageKind kind, LineNumber line, const Particulars& particulars) override;

  // The whole report, at most the byte limit long (and a few hundred bytes
  // for the message and the counts).
  std::string text() const;

  // The report with no relation, step or result told, marked incomplete,
  // with the message: small, for when memory does not hold the whole text.
  std::string briefText() const;

 private:
  // A relation shown: what its lines take.
  struct ShownRelation {
    std::string name;
    int rowCount = 0;
    LineNumber firstRowLine = 0;
  };
  // A step's lineage, kept whole until the report is written, as a later
  // step or result may reach any of its rows.
  struct StepFacts {
    std::string head;      // the JSON members before "pairs"
    std::string leftName;  // "" for the chain built so far
    std::string rightName;
    StepLineage lineage;
  };

  void appendRelation(std::string& json, const Relation& relation) const;
  template <typename Build>
  bool tell(std::string& into, Build build) noexcept;
  std::string explainText() const;
  std::string compose(std::string_view relations, std::size_t moreRelations, std::string_view steps,
                      std::size_t stepsLeftOut, std::string_view result, bool resultLeftOut,
                      std::string_view explain, bool incomplete) const;

  int rowLimit_;
  int relationLimit_;
  std::size_t byteLimit_;
  std::size_t relationsWritten_ = 0;
  std::size_t relationsTold_ = 0;
  bool relationLeftOut_ = false;
  std::size_t stepsDone_ = 0;
  std::size_t stepsTold_ = 0;
  bool resultWritten_ = false;
  std::string relations_;
  std::string steps_;
  std::string result_;
  std::string message_ = "null";
  std::vector<ShownRelation> shownRelations_;
  std::vector<StepFacts> stepFacts_;
  std::optional<TidyLineage> tidy_;
  std::string particulars_ = "null";
};

// Appends `bytes` to `json` as a JSON string, each byte one character.
void appendJsonString(std::string& json, std::string_view bytes);

// Appends a cell: as a JSON string, or, longer than kCellByteLimit, as
// {"start", "length"} with its first bytes up to a UTF-8 character's start.
void appendCell(std::string& json, std::string_view bytes);

}  // namespace joinrel
