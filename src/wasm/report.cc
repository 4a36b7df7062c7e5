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

// Appends `numbers` as a JSON array.
template <typename Number>
void appendNumbers(std::string& json, const std::vector<Number>& numbers) {
  json += '[';
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    if (i > 0) json += ',';
    json += std::to_string(numbers[i]);
  }
  json += ']';
}

// Appends the rows of `rows` below `limit` as a JSON array; sets `truncated`
// when some are left out.
void appendRowsBelow(std::string& json, const std::vector<int>& rows, int limit, bool& truncated) {
  const auto end = std::lower_bound(rows.begin(), rows.end(), limit);
  truncated = truncated || end != rows.end();
  appendNumbers(json, std::vector<int>(rows.begin(), end));
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

// The members of a step's facts that need no limit: its operands (`chained`
// when its left one is the chain built so far), its join attribute and where
// it stands, the names it does not compare.
std::string explainHead(const JoinStep& step, bool chained) {
  std::string json = "\"left\":";
  if (chained) {
    json += "null";
  } else {
    appendJsonString(json, step.leftName);
  }
  json += ",\"right\":";
  appendJsonString(json, step.rightName);
  json += ",\"attribute\":";
  if (step.key) {
    appendJsonString(json, step.joinAttribute);
    json += ",\"attributeColumns\":[" + std::to_string(step.key->left) + ',' +
            std::to_string(step.key->right) + ']';
  } else {
    json += "null,\"attributeColumns\":null";
  }
  json += ",\"shared\":[";
  const std::vector<std::string_view>& shared = step.lineage->sharedNames;
  for (std::size_t i = 0; i < shared.size(); ++i) {
    if (i > 0) json += ',';
    appendJsonString(json, shared[i]);
  }
  return json + ']';
}

// Appends `pair` as [left, right].
void appendPair(std::string& json, RowPair pair) {
  json += '[' + std::to_string(pair.left) + ',' + std::to_string(pair.right) + ']';
}

// Appends the key `row` of a JSON object whose members `json` ends in or
// that it opens.
void appendKey(std::string& json, std::size_t row) {
  if (json.back() != '{') json += ',';
  json += '"' + std::to_string(row) + "\":";
}

// Marks row `row` in `rows`, growing it as needed.
void mark(std::vector<bool>& rows, int row) {
  if (static_cast<std::size_t>(row) >= rows.size()) rows.resize(static_cast<std::size_t>(row) + 1);
  rows[row] = true;
}

// Marks rows 0 to `count` - 1.
void markFirst(std::vector<bool>& rows, int count) {
  for (int r = 0; r < count; ++r) mark(rows, r);
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

void JsonReport::relationWritten(const Relation& relation, LineNumber firstRowLine) {
  ++relationsWritten_;
  // Once one is left out, so are the rest: the page says how many are not shown.
  if (relationsTold_ >= static_cast<std::size_t>(relationLimit_) || relationLeftOut_) return;
  relationLeftOut_ = !tell(relations_, [&](std::string& json) {
    if (!relations_.empty()) json += ',';
    appendRelation(json, relation);
  });
  if (relationLeftOut_) return;
  ++relationsTold_;
  try {
    shownRelations_.push_back(
        {std::string(nameToString(relation.name)), relation.rowCount(), firstRowLine});
  } catch (const std::bad_alloc&) {
    relationLeftOut_ = true;
  }
}

void JsonReport::joinStepDone(const JoinStep& step) {
  ++stepsDone_;
  if (step.lineage != nullptr && stepFacts_.size() + 1 == stepsDone_) {
    try {
      stepFacts_.push_back({explainHead(step, stepsDone_ > 1), std::string(step.leftName),
                            std::string(step.rightName), *step.lineage});
    } catch (const std::bad_alloc&) {
      // The steps after one without facts are told without theirs too.
    }
  }
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

void JsonReport::resultTidied(const TidyLineage& tidy) {
  try {
    tidy_ = tidy;
  } catch (const std::bad_alloc&) {
    tidy_.reset();
  }
}

void JsonReport::resultWritten(const Relation& result) {
  resultWritten_ = true;
  tell(result_, [&](std::string& json) { appendRelation(json, result); });
}

void JsonReport::runStopped(MessageKind kind, LineNumber line, const Particulars& particulars) {
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
    std::string fields = particularsJson(kind, particulars);
    message_ = std::move(json);
    particulars_ = std::move(fields);
  } catch (const std::bad_alloc&) {
    message_ = "null";
  }
}

// Which rows the facts cover: those shown, and those a shown row comes
// from, found from result back to the file.
std::string JsonReport::explainText() const {
  bool truncated = false;
  const std::size_t stepCount = stepFacts_.size();
  std::vector<std::vector<bool>> builtRows(stepCount);  // per step, the built rows covered
  for (std::size_t k = 0; k < stepCount; ++k) {
    markFirst(builtRows[k],
              std::min(static_cast<int>(stepFacts_[k].lineage.pairs.size()), rowLimit_));
  }
  std::vector<std::vector<bool>> inputRows(shownRelations_.size());  // per relation shown
  for (std::size_t j = 0; j < shownRelations_.size(); ++j) {
    markFirst(inputRows[j], std::min(shownRelations_[j].rowCount, rowLimit_));
  }
  // The relation a step reads: the first shown of its name, which is the
  // first of that name in the file when any of that name is shown.
  const auto markInput = [&](const std::string& name, int row) {
    for (std::size_t j = 0; j < shownRelations_.size(); ++j) {
      if (shownRelations_[j].name == name) {
        mark(inputRows[j], row);
        return;
      }
    }
    truncated = true;
  };

  std::string tidy = "null";
  if (tidy_) {
    tidy = "{\"columns\":";
    appendNumbers(tidy, tidy_->columns);
    tidy += ",\"sources\":[";
    const std::size_t shown = std::min(tidy_->rowEnds.size(), static_cast<std::size_t>(rowLimit_));
    truncated = truncated || shown < tidy_->rowEnds.size();
    for (std::size_t r = 0; r < shown; ++r) {
      if (r > 0) tidy += ',';
      const std::span<const int> sources = sourcesOf(*tidy_, r);
      appendNumbers(tidy, std::vector<int>(sources.begin(), sources.end()));
      if (stepCount > 0) {
        for (const int source : sources) mark(builtRows[stepCount - 1], source);
      }
    }
    tidy += "]}";
  }
  for (std::size_t k = stepCount; k-- > 0;) {
    const StepFacts& facts = stepFacts_[k];
    for (std::size_t i = 0; i < builtRows[k].size(); ++i) {
      if (!builtRows[k][i]) continue;
      const RowPair pair = facts.lineage.pairs[i];
      if (k > 0) {
        mark(builtRows[k - 1], pair.left);
      } else {
        markInput(facts.leftName, pair.left);
      }
      markInput(facts.rightName, pair.right);
    }
  }

  std::string relations;
  for (std::size_t j = 0; j < shownRelations_.size(); ++j) {
    const ShownRelation& relation = shownRelations_[j];
    relations += j > 0 ? ",{\"name\":" : "{\"name\":";
    appendJsonString(relations, relation.name);
    const int shown = std::min(relation.rowCount, rowLimit_);
    const std::vector<bool>& covered = inputRows[j];
    relations += ",\"lines\":[";
    for (int r = 0; r < shown; ++r) {
      if (r > 0) relations += ',';
      relations += std::to_string(relation.firstRowLine + r);
    }
    relations += "],\"moreLines\":{";
    for (auto r = static_cast<std::size_t>(shown); r < covered.size(); ++r) {
      if (!covered[r]) continue;
      appendKey(relations, r);
      relations += std::to_string(relation.firstRowLine + static_cast<LineNumber>(r));
    }
    truncated = truncated || shown < relation.rowCount;
    relations += "}}";
  }

  std::string steps;
  for (std::size_t k = 0; k < stepCount; ++k) {
    const StepFacts& facts = stepFacts_[k];
    steps += k > 0 ? ",{" : "{";
    steps += facts.head;
    const auto shown = std::min(facts.lineage.pairs.size(), static_cast<std::size_t>(rowLimit_));
    const std::vector<bool>& covered = builtRows[k];
    truncated = truncated || shown < facts.lineage.pairs.size();
    steps += ",\"pairs\":[";
    for (std::size_t i = 0; i < shown; ++i) {
      if (i > 0) steps += ',';
      appendPair(steps, facts.lineage.pairs[i]);
    }
    steps += "],\"morePairs\":{";
    for (std::size_t i = shown; i < covered.size(); ++i) {
      if (!covered[i]) continue;
      appendKey(steps, i);
      appendPair(steps, facts.lineage.pairs[i]);
    }
    steps += '}';
    steps += ",\"unmatchedLeft\":";
    appendRowsBelow(steps, facts.lineage.unmatchedLeft, rowLimit_, truncated);
    steps += ",\"unmatchedRight\":";
    appendRowsBelow(steps, facts.lineage.unmatchedRight, rowLimit_, truncated);
    steps += '}';
  }
  return "{\"relations\":[" + relations + "],\"steps\":[" + steps + "],\"tidy\":" + tidy +
         ",\"particulars\":" + particulars_ + ",\"truncated\":" + (truncated ? "true" : "false") +
         "}";
}

std::string JsonReport::text() const {
  const bool resultLeftOut = resultWritten_ && result_.empty();
  const std::string_view result = result_.empty() ? std::string_view("null") : result_;
  return compose(relations_, relationsWritten_ - relationsTold_, steps_, stepsDone_ - stepsTold_,
                 result, resultLeftOut, explainText(),
                 relationLeftOut_ || stepsTold_ < stepsDone_ || resultLeftOut);
}

std::string JsonReport::briefText() const {
  return compose("", relationsWritten_, "", stepsDone_, "null", resultWritten_,
                 R"({"relations":[],"steps":[],"tidy":null,"particulars":)" + particulars_ +
                     ",\"truncated\":true}",
                 true);
}

std::string JsonReport::compose(std::string_view relations, std::size_t moreRelations,
                                std::string_view steps, std::size_t stepsLeftOut,
                                std::string_view result, bool resultLeftOut,
                                std::string_view explain, bool incomplete) const {
  std::string json = "{\"relations\":[";
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
