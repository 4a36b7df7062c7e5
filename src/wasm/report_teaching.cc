// The report's facts that tell a run from what a reader may take it for:
// the shared names a step does not compare, result's order as texts, and the
// notes on what the run took in as it is.
#include <string>

#include "wasm/report.h"

namespace joinrel {

namespace {

void appendField(std::string& json, std::string_view name) {
  json += ",\"";
  json += name;
  json += "\":";
}

void appendStringField(std::string& json, std::string_view name, std::string_view bytes) {
  appendField(json, name);
  appendJsonString(json, bytes);
}

void appendNumberField(std::string& json, std::string_view name, std::int64_t number) {
  appendField(json, name);
  json += std::to_string(number);
}

void appendRelationField(std::string& json, std::int64_t relation) {
  appendField(json, "relation");
  json += relation == -1 ? std::string("null") : std::to_string(relation);
}

constexpr std::array<std::string_view, 3> kNamePlaces = {"relation", "attribute", "joinList"};

// Appends one note as a JSON object.
void appendNote(std::string& json, const Note& note) {
  json += R"({"kind":")";
  json += kNoteKindIds[static_cast<std::size_t>(note.kind)];
  json += R"(","line":)" + std::to_string(note.line);
  switch (note.kind) {
    case NoteKind::extraCells:
    case NoteKind::missingCells:
      appendRelationField(json, note.relation);
      appendStringField(json, "name", note.name);
      appendNumberField(json, "cells", note.cells);
      appendNumberField(json, "attributes", note.attributes);
      break;
    case NoteKind::textAfterList:
      appendRelationField(json, note.relation);
      appendStringField(json, "text", note.text);
      break;
    case NoteKind::typeCut:
      appendRelationField(json, note.relation);
      appendStringField(json, "attribute", note.name);
      appendStringField(json, "type", note.text);
      break;
    case NoteKind::blankInName:
      appendRelationField(json, note.relation);
      appendField(json, "place");
      json += '"';
      json += kNamePlaces[static_cast<std::size_t>(note.place)];
      json += '"';
      appendStringField(json, "written", note.text);
      appendStringField(json, "read", note.name);
      break;
    case NoteKind::blankInKeyCell:
      appendRelationField(json, note.relation);
      appendStringField(json, "attribute", note.name);
      appendNumberField(json, "step", note.step);
      appendStringField(json, "cell", note.text);
      break;
    case NoteKind::notJoined:
      appendRelationField(json, note.relation);
      appendStringField(json, "name", note.name);
      break;
    case NoteKind::sameName:
      appendRelationField(json, note.relation);
      appendStringField(json, "name", note.name);
      appendNumberField(json, "used", note.used);
      break;
    case NoteKind::byteOrderMark:
      break;
    case NoteKind::invisible:
      appendNumberField(json, "codePoint", static_cast<std::int64_t>(note.codePoint));
      appendField(json, "bidi");
      json += note.bidi ? "true" : "false";
      break;
  }
  json += '}';
}

}  // namespace

void appendSharedNameFacts(std::string& json, const StepFacts& facts) {
  const SharedNameFacts& shared = facts.sharedFacts;
  json += ",\"sharedColumns\":[";
  for (std::size_t k = 0; k < shared.columns.size(); ++k) {
    if (k > 0) json += ',';
    json += '[' + std::to_string(shared.columns[k][0]) + ',' +
            std::to_string(shared.columns[k][1]) + ']';
  }
  json += "],\"differing\":[";
  for (std::size_t i = 0; i < shared.differing.size(); ++i) {
    if (i > 0) json += ',';
    json += '[' + std::to_string(shared.differing[i][0]) + ',';
    appendJsonString(json, facts.shared[static_cast<std::size_t>(shared.differing[i][1])]);
    json += ']';
  }
  json += "],\"keptByAllShared\":" + std::to_string(shared.keptByAllShared);
  const bool selfJoin = facts.leftRelation != -1 && facts.leftRelation == facts.rightRelation;
  json += std::string(",\"selfJoin\":") + (selfJoin ? "true" : "false");
}

void appendByteOrder(std::string& json, const TidyFacts& tidy) {
  json += ",\"byteOrder\":";
  if (tidy.byteOrder) {
    json += '[' + std::to_string((*tidy.byteOrder)[0]) + ',' +
            std::to_string((*tidy.byteOrder)[1]) + ']';
  } else {
    json += "null";
  }
}

void appendNotes(std::string& json, const NoteTaker& notes) {
  json += "\"notes\":[";
  const std::vector<Note> kept = notes.notes();
  for (std::size_t i = 0; i < kept.size(); ++i) {
    if (i > 0) json += ',';
    appendNote(json, kept[i]);
  }
  json += "],\"moreNotes\":{";
  bool first = true;
  for (std::size_t kind = 0; kind < kNoteKinds; ++kind) {
    const std::size_t leftOut = notes.leftOut(static_cast<NoteKind>(kind));
    if (leftOut == 0) continue;
    if (!first) json += ',';
    first = false;
    json += '"';
    json += kNoteKindIds[kind];
    json += "\":" + std::to_string(leftOut);
  }
  json += '}';
}

}  // namespace joinrel
