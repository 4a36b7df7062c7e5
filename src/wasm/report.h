// The page's account of a run: a watcher that writes what it is told as a
// JSON text, for the page to show without reading the output file or the
// message text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "relation/messages.h"
#include "relation/observer.h"
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
//   "incomplete": whether something was left out for want of memory.
// A relation is {"name", "attributes": [[name, type], ...], "rowCount",
// "rows": [[cell, ...], ...]}. Every string holds bytes: a byte outside
// printable ASCII, '"' and '\' are written as \u00XX, so that a reader gets
// one character per byte, whatever the bytes are.
class JsonReport : public RunObserver {
 public:
  JsonReport(int rowLimit, int relationLimit)
      : rowLimit_(rowLimit), relationLimit_(relationLimit) {}

  void relationWritten(const Relation& relation) override;
  void joinStepDone(const JoinStep& step) override;
  void resultWritten(const Relation& result) override;
  void runStopped(MessageKind kind, LineNumber line) override;

  // The whole report. When memory ran out while it was written, it tells
  // what it holds so far, with "incomplete": true.
  std::string text() const;

  // The report with no relation, step or result told, with "incomplete":
  // true and the message: small, for when the whole text does not fit in
  // memory. Every field of text() is there.
  std::string briefText() const;

 private:
  void appendRelation(std::string& json, const Relation& relation) const;
  std::string compose(std::string_view relations, std::size_t moreRelations, std::string_view steps,
                      std::string_view result, bool incomplete) const;

  int rowLimit_;
  int relationLimit_;
  std::size_t relationsWritten_ = 0;
  std::string relations_;
  std::string steps_;
  std::string result_ = "null";
  std::string message_ = "null";
  bool incomplete_ = false;
};

// Appends `bytes` to `json` as a JSON string, each byte one character.
void appendJsonString(std::string& json, std::string_view bytes);

}  // namespace joinrel
