#include "wasm/report.h"

#include <algorithm>
#include <array>
#include <new>
#include <span>
#include <string>

namespace joinrel {

namespace {

// What text() adds to the told pieces: the field names, the counts and the
// message, which is short.
constexpr std::size_t kFrameBytes = 512;

// The message's text without what its form adds: "Hibas fejlec",
// "Ismeretlen relacio", "Hianyzo parameter".
std::string_view bareText(const MessageEntry& entry) {
  std::string_view text = entry.text;
  while (!text.empty() && (text.back() == '!' || text.back() == ' ' || text.back() == ':')) {
    text.remove_suffix(1);
  }
  return text;
}

bool isUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xc0) == 0x80; }

}  // namespace

void appendJsonString(std::string& json, std::string_view bytes) {
  static constexpr std::string_view kHex = "0123456789abcdef";
  json += '"';
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7f && c != '"' && c != '\\') {
      json += c;
    } else {
      json += "\\u00";
      json += kHex[byte >> 4];
      json += kHex[byte & 0xf];
    }
  }
  json += '"';
}

void appendCell(std::string& json, std::string_view bytes) {
  if (bytes.size() <= kCellByteLimit) {
    appendJsonString(json, bytes);
    return;
  }
  // Cut before a character that would lose its continuation bytes; three at
  // most precede a UTF-8 character's last byte.
  std::size_t cut = kCellByteLimit;
  for (int back = 0; back < 3 && isUtf8Continuation(bytes[cut]); ++back) --cut;
  if (isUtf8Continuation(bytes[cut])) cut = kCellByteLimit;
  json += "{\"start\":";
  appendJsonString(json, bytes.substr(0, cut));
  json += ",\"length\":" + std::to_string(bytes.size()) + "}";
}

void JsonReport::appendRelation(std::string& json, const Relation& relation) const {
  json += "{\"name\":";
  appendJsonString(json, nameToString(relation.name));
  json += ",\"attributes\":[";
  for (std::size_t i = 0; i < relation.attributes.size(); ++i) {
    if (i > 0) json += ',';
    json += '[';
    appendJsonString(json, nameToString(relation.attributes[i].name));
    json += ',';
    appendJsonString(json, relation.attributes[i].type);
    json += ']';
  }
  json += "],\"rowCount\":" + std::to_string(relation.rowCount()) + ",\"rows\":[";
  std::array<std::string_view, MAX_ATTRIBUTES> cells;
  const std::span<std::string_view> rowCells = std::span(cells).first(relation.attributes.size());
  const int shown = std::min(relation.rowCount(), rowLimit_);
  for (int r = 0; r < shown; ++r) {
    if (r > 0) json += ',';
    splitRow(relation.rows[r], rowCells);
    json += '[';
    for (std::size_t k = 0; k < rowCells.size(); ++k) {
      if (k > 0) json += ',';
      appendCell(json, rowCells[k]);
    }
    json += ']';
  }
  json += "]}";
}

// Builds a piece with `build` and appends it to `into` when the told pieces
// leave room for it under the byte limit; memory running out leaves it
// untold, so that the report never changes the run. True when told.
template <typename Build>
bool JsonReport::tell(std::string& into, Build build) noexcept {
  try {
    std::string piece;
    build(piece);
    const std::size_t told = relations_.size() + steps_.size() + result_.size();
    if (told + piece.size() + kFrameBytes > byteLimit_) return false;
    into += piece;
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

void JsonReport::relationWritten(const Relation& relation) {
  ++relationsWritten_;
  // Once one is left out, so are the rest: the page says how many are not shown.
  if (relationsTold_ >= static_cast<std::size_t>(relationLimit_) || relationLeftOut_) return;
  relationLeftOut_ = !tell(relations_, [&](std::string& json) {
    if (!relations_.empty()) json += ',';
    appendRelation(json, relation);
  });
  if (!relationLeftOut_) ++relationsTold_;
}

void JsonReport::joinStepDone(const JoinStep& step) {
  ++stepsDone_;
  // A step is told only after every step before it, as the page numbers them.
  if (stepsTold_ + 1 < stepsDone_) return;
  const bool told = tell(steps_, [&](std::string& json) {
    json += steps_.empty() ? "{\"left\":" : ",{\"left\":";
    appendJsonString(json, step.leftName);
    json += ",\"right\":";
    appendJsonString(json, step.rightName);
    json += ",\"attribute\":";
    if (step.product) {
      json += "null";
    } else {
      appendJsonString(json, step.joinAttribute);
    }
    json += ",\"leftRows\":" + std::to_string(step.leftRows) +
            ",\"rightRows\":" + std::to_string(step.rightRows) + ",\"built\":";
    appendRelation(json, step.built);
    json += '}';
  });
  if (told) ++stepsTold_;
}

void JsonReport::resultWritten(const Relation& result) {
  resultWritten_ = true;
  tell(result_, [&](std::string& json) { appendRelation(json, result); });
}

void JsonReport::runStopped(MessageKind kind, LineNumber line) {
  // The message is what the page needs most: it is told whatever else was
  // left out, and it is short enough for the frame.
  try {
    const MessageEntry& entry = messageEntry(kind);
    std::string json = "{\"kind\":";
    appendJsonString(json, entry.id);
    json += ",\"line\":";
    json += line == 0 ? std::string("null") : std::to_string(line);
    json += ",\"text\":";
    appendJsonString(json, bareText(entry));
    json += '}';
    message_ = std::move(json);
  } catch (const std::bad_alloc&) {
    message_ = "null";
  }
}

std::string JsonReport::text() const {
  const bool resultLeftOut = resultWritten_ && result_.empty();
  const std::string_view result = result_.empty() ? std::string_view("null") : result_;
  return compose(relations_, relationsWritten_ - relationsTold_, steps_, stepsDone_ - stepsTold_,
                 result, resultLeftOut,
                 relationLeftOut_ || stepsTold_ < stepsDone_ || resultLeftOut);
}

std::string JsonReport::briefText() const {
  return compose("", relationsWritten_, "", stepsDone_, "null", resultWritten_, true);
}

std::string JsonReport::compose(std::string_view relations, std::size_t moreRelations,
                                std::string_view steps, std::size_t stepsLeftOut,
                                std::string_view result, bool resultLeftOut,
                                bool incomplete) const {
  std::string json = "{\"relations\":[";
  json += relations;
  json += "],\"moreRelations\":" + std::to_string(moreRelations) + ",\"steps\":[";
  json += steps;
  json += "],\"stepsLeftOut\":" + std::to_string(stepsLeftOut) + ",\"result\":";
  json += result;
  json += ",\"resultLeftOut\":";
  json += resultLeftOut ? "true" : "false";
  json += ",\"message\":" + message_ + ",\"incomplete\":" + (incomplete ? "true" : "false") + "}";
  return json;
}

}  // namespace joinrel
