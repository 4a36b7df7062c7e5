#include "wasm/report.h"

#include <algorithm>
#include <array>
#include <new>
#include <span>
#include <string>

namespace joinrel {

namespace {

// Runs `write`, which appends a finished piece to a member, and notes memory
// running out instead of letting it change the run; a piece is appended whole
// or not at all.
template <typename Write>
void guarded(bool& incomplete, Write write) noexcept {
  if (incomplete) return;
  try {
    write();
  } catch (const std::bad_alloc&) {
    incomplete = true;
  }
}

// The message's text without what its form adds: "Hibas fejlec",
// "Ismeretlen relacio", "Hianyzo parameter".
std::string_view bareText(const MessageEntry& entry) {
  std::string_view text = entry.text;
  while (!text.empty() && (text.back() == '!' || text.back() == ' ' || text.back() == ':')) {
    text.remove_suffix(1);
  }
  return text;
}

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
      appendJsonString(json, rowCells[k]);
    }
    json += ']';
  }
  json += "]}";
}

void JsonReport::relationWritten(const Relation& relation) {
  ++relationsWritten_;
  if (relationsWritten_ > static_cast<std::size_t>(relationLimit_)) return;
  guarded(incomplete_, [&] {
    std::string json = relations_.empty() ? "" : ",";
    appendRelation(json, relation);
    relations_ += json;
  });
}

void JsonReport::joinStepDone(const JoinStep& step) {
  guarded(incomplete_, [&] {
    std::string json = steps_.empty() ? "{\"left\":" : ",{\"left\":";
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
    steps_ += json;
  });
}

void JsonReport::resultWritten(const Relation& result) {
  guarded(incomplete_, [&] {
    std::string json;
    appendRelation(json, result);
    result_ = std::move(json);
  });
}

void JsonReport::runStopped(MessageKind kind, LineNumber line) {
  // Told even when the report ran out of memory before: it is what the page
  // needs most, and the memory is free again once the run has stopped.
  bool failed = false;
  guarded(failed, [&] {
    const MessageEntry& entry = messageEntry(kind);
    std::string json = "{\"kind\":";
    appendJsonString(json, entry.id);
    json += ",\"line\":";
    json += line == 0 ? std::string("null") : std::to_string(line);
    json += ",\"text\":";
    appendJsonString(json, bareText(entry));
    json += '}';
    message_ = std::move(json);
  });
  incomplete_ = incomplete_ || failed;
}

std::string JsonReport::text() const {
  const std::size_t more =
      relationsWritten_ - std::min(relationsWritten_, static_cast<std::size_t>(relationLimit_));
  return compose(relations_, more, steps_, result_, incomplete_);
}

std::string JsonReport::briefText() const {
  return compose("", relationsWritten_, "", "null", true);
}

std::string JsonReport::compose(std::string_view relations, std::size_t moreRelations,
                                std::string_view steps, std::string_view result,
                                bool incomplete) const {
  std::string json = "{\"relations\":[";
  json += relations;
  json += "],\"moreRelations\":" + std::to_string(moreRelations) + ",\"steps\":[";
  json += steps;
  json += "],\"result\":";
  json += result;
  json += ",\"message\":" + message_ + ",\"incomplete\":" + (incomplete ? "true" : "false") + "}";
  return json;
}

}  // namespace joinrel
