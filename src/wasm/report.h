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

// Writes, as one JSON object:
//   "relations": every input relation written, the first `relationLimit`
//     in full (with their first `rowLimit` rows), and "moreRelations", the
//     count of the others;
//   "steps": each join step with its operands' names ("" for the chain built
//     so far), "attribute" (null for a product), its row counts and "built";
//   "result": `result` as written, or null;
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
//     "particulars": the fatal message's fields or null;
//     "truncated": whether any of these facts were left out.
//   "incomplete": whether something was left out for want of memory.
// A relation is {"name", "attributes": [[name, type], ...], "rowCount",
// "rows": [[cell, ...], ...]}. Every string holds bytes: a byte outside
// printable ASCII, '"' and '\' are written as \u00XX, so that a reader gets
// one character per byte, whatever the bytes are.
class JsonReport : public RunObserver {
 public:
  JsonReport(int rowLimit, int relationLimit)
      : rowLimit_(rowLimit), relationLimit_(relationLimit) {}

  bool explains() const override { return true; }
  void relationWritten(const Relation& relation, LineNumber firstRowLine) override;
  void joinStepDone(const JoinStep& step) override;
  void resultTidied(const TidyLineage& tidy) override;
  void resultWritten(const Relation& result) override;
  void runStopped(MessageKind kind, LineNumber line, const Particulars& particulars) override;

  // The whole report. When memory ran out while it was written, it tells
  // what it holds so far, with "incomplete": true.
  std::string text() const;

  // The report with no relation, step or result told, with "incomplete":
  // true and the message: small, for when the whole text does not fit in
  // memory. Every field of text() is there.
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
  std::string explainText() const;
  std::string compose(std::string_view relations, std::size_t moreRelations, std::string_view steps,
                      std::string_view result, std::string_view explain, bool incomplete) const;

  int rowLimit_;
  int relationLimit_;
  std::size_t relationsWritten_ = 0;
  std::string relations_;
  std::string steps_;
  std::string result_ = "null";
  std::string message_ = "null";
  std::vector<ShownRelation> shownRelations_;
  std::vector<StepFacts> stepFacts_;
  std::optional<TidyLineage> tidy_;
  std::string particulars_ = "null";
  bool incomplete_ = false;
};

// Appends `bytes` to `json` as a JSON string, each byte one character.
void appendJsonString(std::string& json, std::string_view bytes);

}  // namespace joinrel
