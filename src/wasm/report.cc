#include "wasm/report.h"

#include <algorithm>
#include <array>
#include <new>
#include <span>
#include <string>
#include <utility>

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

// Appends `numbers` as a JSON array.
template <typename Numbers>
void appendNumbers(std::string& json, const Numbers& numbers) {
  json += '[';
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    if (i > 0) json += ',';
    json += std::to_string(numbers[i]);
  }
  json += ']';
}

// The fields of a fatal message that the kind has, as a JSON object.
std::string particularsJson(MessageKind kind, const Particulars& particulars) {
  std::string json = "{";
  switch (kind) {
    case MessageKind::UnknownRelation:
      json += "\"name\":";
      appendJsonString(json, particulars.name);
      json += ",\"similarNames\":[";
      for (std::size_t i = 0; i < particulars.similarNames.size(); ++i) {
        if (i > 0) json += ',';
        appendJsonString(json, particulars.similarNames[i]);
      }
      json += ']';
      break;
    case MessageKind::TooManyRows:
      json += "\"name\":";
      appendJsonString(json, particulars.name);
      break;
    case MessageKind::ResultTooLarge: {
      const bool attributes = particulars.limit == StepLimit::Attributes;
      json += "\"name\":";
      appendJsonString(json, particulars.name);
      json += ",\"step\":" + std::to_string(particulars.step) + ",\"limit\":";
      json += attributes ? R"("attributes")" : R"("rows")";
      json += ",\"found\":" + std::to_string(particulars.found) +
              ",\"max\":" + std::to_string(attributes ? MAX_ATTRIBUTES : MAX_ROWS);
      break;
    }
    case MessageKind::TooManyCells:
      json += "\"cells\":" + std::to_string(particulars.cells) +
              ",\"max\":" + std::to_string(MAX_ATTRIBUTES);
      break;
    case MessageKind::BadHeader:
      json += "\"cause\":";
      appendJsonString(json, kHeaderFaultIds[static_cast<std::size_t>(particulars.headerFault)]);
      break;
    default:
      break;
  }
  return json + "}";
}

// Appends `index` as a number, or null when it is -1.
void appendIndexOrNull(std::string& json, std::int64_t index) {
  json += index == -1 ? std::string("null") : std::to_string(index);
}

// Appends the facts of a step.
void appendStepFacts(std::string& json, const StepFacts& facts) {
  json += "{\"left\":";
  if (facts.leftRelation == -1) {
    json += "null";
  } else {
    appendJsonString(json, facts.leftName);
  }
  json += ",\"right\":";
  appendJsonString(json, facts.rightName);
  json += ",\"leftRelation\":";
  appendIndexOrNull(json, facts.leftRelation);
  json += ",\"rightRelation\":";
  appendIndexOrNull(json, facts.rightRelation);
  json += ",\"attribute\":";
  if (facts.key) {
    appendJsonString(json, facts.attribute);
    json += ",\"attributeColumns\":[" + std::to_string(facts.key->left) + ',' +
            std::to_string(facts.key->right) + ']';
  } else {
    json += "null,\"attributeColumns\":[null,null]";
  }
  json += ",\"shared\":[";
  for (std::size_t i = 0; i < facts.shared.size(); ++i) {
    if (i > 0) json += ',';
    appendJsonString(json, facts.shared[i]);
  }
  json += "],\"pairs\":[";
  for (std::size_t i = 0; i < facts.lineage.pairs.size(); ++i) {
    if (i > 0) json += ',';
    const RowPair pair = facts.lineage.pairs[i];
    json += '[' + std::to_string(pair.left) + ',' + std::to_string(pair.right) + ']';
  }
  json += "],\"unmatchedLeft\":";
  appendNumbers(json, facts.lineage.unmatchedLeft);
  json += ",\"unmatchedRight\":";
  appendNumbers(json, facts.lineage.unmatchedRight);
  json += ",\"columnPlaces\":";
  appendNumbers(json, facts.columnPlaces);
  appendSharedNameFacts(json, facts);
  json += '}';
}

// Appends the cells of `row`, a row `cells.size()` cells wide, but the one in
// column `skip` (-1 for none), as members of a JSON array; `first` says
// whether a cell comes first in the array. Returns the cells cut.
int appendCells(std::string& json, Row row, std::span<std::string_view> cells, int skip,
                bool first) {
  splitRow(row, cells);
  int cut = 0;
  for (std::size_t k = 0; k < cells.size(); ++k) {
    if (static_cast<int>(k) == skip) continue;
    if (!first) json += ',';
    first = false;
    cut += appendCell(json, cells[k]) ? 1 : 0;
  }
  return cut;
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

bool appendCell(std::string& json, std::string_view bytes) {
  if (bytes.size() <= kCellByteLimit) {
    appendJsonString(json, bytes);
    return false;
  }
  // Cut before a character that would lose its continuation bytes; three at
  // most precede a UTF-8 character's last byte.
  std::size_t cut = kCellByteLimit;
  for (int back = 0; back < 3 && isUtf8Continuation(bytes[cut]); ++back) --cut;
  if (isUtf8Continuation(bytes[cut])) cut = kCellByteLimit;
  json += "{\"start\":";
  appendJsonString(json, bytes.substr(0, cut));
  json += ",\"length\":" + std::to_string(bytes.size()) + "}";
  return true;
}

// Appends to `into` `prefix`, a table of `rowCount` rows named `name` with
// `attributes`, then `suffix`; `appendRow(json, r)` appends row r's cells as
// a JSON array and returns how many it cut. The rows go in while the told
// tables leave room for them under the byte limit, the first that does not
// fit ending them. Memory running out leaves the whole table untold, so
// that the report never changes the run. True when told.
template <typename AppendRow>
bool JsonReport::tellTable(std::string& into, std::string_view prefix, std::string_view suffix,
                           std::string_view name, const std::vector<Attribute>& attributes,
                           int rowCount, AppendRow appendRow) noexcept {
  const std::size_t start = into.size();
  const auto fits = [&] {
    return relations_.size() + steps_.size() + result_.size() + kFrameBytes <= byteLimit_;
  };
  rowsHeard_ += static_cast<std::uint64_t>(rowCount);
  int rowsTold = 0;
  std::uint64_t cut = 0;
  try {
    into += prefix;
    into += "{\"name\":";
    appendJsonString(into, name);
    into += ",\"attributes\":[";
    for (std::size_t i = 0; i < attributes.size(); ++i) {
      if (i > 0) into += ',';
      into += '[';
      appendJsonString(into, nameToString(attributes[i].name));
      into += ',';
      appendJsonString(into, attributes[i].type);
      into += ']';
    }
    into += "],\"rowCount\":" + std::to_string(rowCount) + ",\"rows\":[";
    if (!fits()) throw std::bad_alloc();
    for (; rowsTold < rowCount; ++rowsTold) {
      const std::size_t rowStart = into.size();
      if (rowsTold > 0) into += ',';
      into += '[';
      const int rowCut = appendRow(into, rowsTold);
      into += ']';
      if (!fits()) {
        into.resize(rowStart);
        break;
      }
      cut += static_cast<std::uint64_t>(rowCut);
    }
    into += "]}";
    into += suffix;
  } catch (const std::bad_alloc&) {
    into.resize(start);
    rowsLeftOut_ += static_cast<std::uint64_t>(rowCount);
    return false;
  }
  rowsLeftOut_ += static_cast<std::uint64_t>(rowCount - rowsTold);
  cellsCut_ += cut;
  return true;
}

void JsonReport::relationWritten(const Relation& relation, LineNumber firstRowLine) {
  ++relationsWritten_;
  if (relationsWritten_ > static_cast<std::size_t>(relationLimit_)) return;
  try {
    linedRelations_.push_back(
        {std::string(nameToString(relation.name)), relation.rowCount(), firstRowLine});
  } catch (const std::bad_alloc&) {
    relationLeftOut_ = true;
  }
  // Once one is left out, so are the rest: the page says how many are not shown.
  if (relationLeftOut_) {
    rowsHeard_ += static_cast<std::uint64_t>(relation.rowCount());
    rowsLeftOut_ += static_cast<std::uint64_t>(relation.rowCount());
    return;
  }
  std::array<std::string_view, MAX_ATTRIBUTES> cells;
  const std::span<std::string_view> rowCells = std::span(cells).first(relation.attributes.size());
  relationLeftOut_ =
      !tellTable(relations_, relations_.empty() ? "" : ",", "", nameToString(relation.name),
                 relation.attributes, relation.rowCount(), [&](std::string& json, int r) {
                   return appendCells(json, relation.rows[r], rowCells, -1, true);
                 });
  if (!relationLeftOut_) ++relationsTold_;
}

void JsonReport::joinListResolved(std::span<const std::int64_t> relations) {
  explainer_.joinListResolved(relations);
}

void JsonReport::joinStepDone(const JoinStep& step) {
  explainer_.joinStepDone(step);
  ++stepsDone_;
  const std::vector<StepFacts>& facts = explainer_.steps();
  // The built rows are written from the step's pairs, so a step is told
  // with its facts only, and only after every step before it, as the page
  // numbers them.
  const bool hasFacts = facts.size() == stepsDone_;
  if (!hasFacts || stepsTold_ + 1 < stepsDone_) {
    const int rows =
        hasFacts ? static_cast<int>(facts.back().lineage.pairs.size()) : step.built.rowCount();
    rowsHeard_ += static_cast<std::uint64_t>(rows);
    rowsLeftOut_ += static_cast<std::uint64_t>(rows);
    return;
  }
  const std::vector<RowPair>& pairs = facts.back().lineage.pairs;
  bool told = false;
  try {
    std::string prefix = steps_.empty() ? "{\"left\":" : ",{\"left\":";
    appendJsonString(prefix, nameToString(step.left.name));
    prefix += ",\"right\":";
    appendJsonString(prefix, nameToString(step.right.name));
    prefix += ",\"attribute\":";
    if (step.key) {
      appendJsonString(prefix, nameToString(step.left.attributes[step.key->left].name));
    } else {
      prefix += "null";
    }
    prefix += ",\"leftRows\":" + std::to_string(step.left.rowCount()) +
              ",\"rightRows\":" + std::to_string(step.right.rowCount()) + ",\"built\":";
    const int skip = step.key ? step.key->right : -1;
    std::array<std::string_view, MAX_ATTRIBUTES> leftCells;
    std::array<std::string_view, MAX_ATTRIBUTES> rightCells;
    const std::span<std::string_view> leftRow =
        std::span(leftCells).first(step.left.attributes.size());
    const std::span<std::string_view> rightRow =
        std::span(rightCells).first(step.right.attributes.size());
    told = tellTable(steps_, prefix, "}", "", joinedAttributes(step.left, step.right, step.key),
                     static_cast<int>(pairs.size()), [&](std::string& json, int i) {
                       const RowPair pair = pairs[static_cast<std::size_t>(i)];
                       const int cut =
                           appendCells(json, step.left.rows[pair.left], leftRow, -1, true);
                       return cut + appendCells(json, step.right.rows[pair.right], rightRow, skip,
                                                leftRow.empty());
                     });
  } catch (const std::bad_alloc&) {
    rowsHeard_ += static_cast<std::uint64_t>(pairs.size());
    rowsLeftOut_ += static_cast<std::uint64_t>(pairs.size());
  }
  if (told) ++stepsTold_;
}

void JsonReport::resultBuilt(const Relation& result) { explainer_.resultBuilt(result); }

void JsonReport::resultWritten(const Relation& result) {
  explainer_.resultWritten(result);
  resultWritten_ = true;
  std::array<std::string_view, MAX_ATTRIBUTES> cells;
  const std::span<std::string_view> rowCells = std::span(cells).first(result.attributes.size());
  tellTable(result_, "", "", nameToString(result.name), result.attributes, result.rowCount(),
            [&](std::string& json, int r) {
              return appendCells(json, result.rows[r], rowCells, -1, true);
            });
}

void appendMessage(std::string& json, MessageKind kind, LineNumber line) {
  const MessageEntry& entry = messageEntry(kind);
  json += "{\"kind\":";
  appendJsonString(json, entry.id);
  json += ",\"line\":";
  json += line == 0 ? std::string("null") : std::to_string(line);
  json += ",\"text\":";
  appendJsonString(json, bareText(entry));
  json += '}';
}

void JsonReport::runStopped(MessageKind kind, LineNumber line, const Particulars& particulars) {
  // The message is what the page needs most: it is told whatever else was
  // left out, and it is short enough for the frame.
  try {
    std::string json;
    appendMessage(json, kind, line);
    std::string fields = particularsJson(kind, particulars);
    message_ = std::move(json);
    particulars_ = std::move(fields);
  } catch (const std::bad_alloc&) {
    message_ = "null";
  }
}

std::string JsonReport::truncatedText() const {
  if (rowsLeftOut_ == 0 && cellsCut_ == 0) return "false";
  return "{\"rows\":" + std::to_string(rowsLeftOut_) + ",\"cells\":" + std::to_string(cellsCut_) +
         "}";
}

std::string JsonReport::explainText() const {
  std::string json = "{\"relations\":[";
  for (std::size_t j = 0; j < linedRelations_.size(); ++j) {
    const LinedRelation& relation = linedRelations_[j];
    json += j > 0 ? ",{\"name\":" : "{\"name\":";
    appendJsonString(json, relation.name);
    json += ",\"lines\":[";
    for (int r = 0; r < relation.rowCount; ++r) {
      if (r > 0) json += ',';
      json += std::to_string(relation.firstRowLine + r);
    }
    json += "]}";
  }
  json += "],\"steps\":[";
  const std::vector<StepFacts>& steps = explainer_.steps();
  for (std::size_t k = 0; k < steps.size(); ++k) {
    if (k > 0) json += ',';
    appendStepFacts(json, steps[k]);
  }
  json += "],\"tidy\":";
  if (const std::optional<TidyFacts>& tidy = explainer_.tidy()) {
    json += "{\"relation\":";
    appendIndexOrNull(json, tidy->relation);
    json += ",\"columns\":";
    appendNumbers(json, tidy->lineage.columns);
    json += ",\"sources\":[";
    for (std::size_t r = 0; r < tidy->lineage.rowEnds.size(); ++r) {
      if (r > 0) json += ',';
      appendNumbers(json, sourcesOf(tidy->lineage, r));
    }
    json += ']';
    appendByteOrder(json, *tidy);
    json += '}';
  } else {
    json += "null";
  }
  json += ",";
  appendNotes(json, explainer_.notes());
  json += ",\"particulars\":" + particulars_ + ",\"truncated\":" + truncatedText() + "}";
  return json;
}

std::string JsonReport::text() const {
  const bool resultLeftOut = resultWritten_ && result_.empty();
  const std::string_view result = result_.empty() ? std::string_view("null") : result_;
  return compose(relations_, relationsWritten_ - relationsTold_, steps_, stepsDone_ - stepsTold_,
                 result, resultLeftOut, explainText(),
                 relationLeftOut_ || stepsTold_ < stepsDone_ || resultLeftOut);
}

std::string JsonReport::briefText() const {
  const std::string truncated = rowsHeard_ == 0 && cellsCut_ == 0
                                    ? std::string("false")
                                    : "{\"rows\":" + std::to_string(rowsHeard_) + ",\"cells\":0}";
  return compose(
      "", relationsWritten_, "", stepsDone_, "null", resultWritten_,
      R"({"relations":[],"steps":[],"tidy":null,"notes":[],"moreNotes":{},"particulars":)" +
          particulars_ + ",\"truncated\":" + truncated + "}",
      true);
}

std::string JsonReport::compose(std::string_view relations, std::size_t moreRelations,
                                std::string_view steps, std::size_t stepsLeftOut,
                                std::string_view result, bool resultLeftOut,
                                std::string_view explain, bool incomplete) const {
  std::string json;
  json.reserve(relations.size() + steps.size() + result.size() + explain.size() + message_.size() +
               kFrameBytes);
  json += "{\"relations\":[";
  json += relations;
  json += "],\"moreRelations\":" + std::to_string(moreRelations) + ",\"steps\":[";
  json += steps;
  json += "],\"stepsLeftOut\":" + std::to_string(stepsLeftOut) + ",\"result\":";
  json += result;
  json += ",\"resultLeftOut\":";
  json += resultLeftOut ? "true" : "false";
  json += ",\"message\":" + message_ + ",\"explain\":";
  json += explain;
  json += std::string(",\"incomplete\":") + (incomplete ? "true" : "false") + "}";
  return json;
}

}  // namespace joinrel
