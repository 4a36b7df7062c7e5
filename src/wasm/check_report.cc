#include "wasm/check_report.h"

#include <array>

#include "wasm/report.h"

namespace joinrel {

namespace {

void appendInts(std::string& json, std::initializer_list<std::int64_t> values) {
  json += '[';
  bool first = true;
  for (const std::int64_t value : values) {
    if (!first) json += ',';
    first = false;
    json += std::to_string(value);
  }
  json += ']';
}

void appendNames(std::string& json, const std::vector<std::string>& names) {
  json += '[';
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) json += ',';
    appendJsonString(json, names[i]);
  }
  json += ']';
}

void appendByte(std::string& json, int byte) {
  json += byte < 0 ? std::string("null") : std::to_string(byte);
}

void appendDecidingByte(std::string& json, const DecidingByte& decided) {
  json += "{\"at\":" + std::to_string(decided.at) + ",\"bytes\":[";
  appendByte(json, decided.first);
  json += ',';
  appendByte(json, decided.second);
  json += "]}";
}

void appendCells(std::string& json, Row row, int width) {
  json += '[';
  for (int c = 0; c < width; ++c) {
    if (c > 0) json += ',';
    appendCell(json, cellAt(row, c, width));
  }
  json += ']';
}

void appendColumns(std::string& json, const ColumnFacts& columns, bool ofStep) {
  json += "{\"answer\":";
  appendNames(json, columns.answer);
  json += ",\"result\":";
  appendNames(json, columns.result);
  json += std::string(",\"sameNames\":") + (columns.sameNames ? "true" : "false");
  json += std::string(",\"inOrder\":") + (columns.inOrder ? "true" : "false");
  const bool misplaced = columns.sameNames && !columns.inOrder;
  const bool outOfOrder = misplaced && !ofStep;
  json += ",\"outOfOrder\":";
  if (outOfOrder) {
    appendInts(json, {columns.outOfOrder, columns.outOfOrder + 1});
  } else {
    json += "null";
  }
  json += ",\"decidingByte\":";
  if (outOfOrder) {
    appendDecidingByte(json, columns.decided);
  } else {
    json += "null";
  }
  json += ",\"misplaced\":";
  json += misplaced && ofStep ? std::to_string(columns.outOfOrder) : std::string("null");
  json += '}';
}

const char* reasonId(ExtraReason reason) {
  switch (reason) {
    case ExtraReason::repeats:
      return "repeats";
    case ExtraReason::noPartner:
      return "noPartner";
    case ExtraReason::noRow:
      return "noRow";
    case ExtraReason::unexplained:
      return "unexplained";
    case ExtraReason::notExamined:
      return "notExamined";
  }
  return "unexplained";
}

// An index, or null for -1: a row of no input relation.
void appendIndex(std::string& json, std::int64_t index) {
  json += index < 0 ? std::string("null") : std::to_string(index);
}

void appendSource(std::string& json, const SourceRow& source) {
  json += "{\"relation\":";
  appendIndex(json, source.relation);
  json += ",\"name\":";
  appendJsonString(json, source.name);
  json += ",\"row\":" + std::to_string(source.row) + ",\"line\":";
  appendIndex(json, source.relation < 0 ? -1 : source.line);
  json += '}';
}

void appendExtra(std::string& json, const ExtraRow& extra, const Answer& answer) {
  const Relation& relation = answer.relation;
  json += "{\"row\":" + std::to_string(extra.row) +
          ",\"line\":" + std::to_string(answer.lines[static_cast<std::size_t>(extra.row)]) +
          ",\"cells\":";
  appendCells(json, relation.rows[static_cast<std::size_t>(extra.row)], relation.attributeCount());
  json += R"(,"reason":")";
  json += reasonId(extra.reason);
  json += R"(","repeats":)";
  json += extra.reason == ExtraReason::repeats ? std::to_string(extra.repeats) : "null";
  const bool placed = extra.reason == ExtraReason::noPartner || extra.reason == ExtraReason::noRow;
  if (!placed) {
    json +=
        R"(,"place":null,"relation":null,"name":null,"with":null,"attribute":null,"value":null})";
    return;
  }
  json += ",\"place\":" + std::to_string(extra.place) + ",\"relation\":";
  appendIndex(json, extra.relation);
  json += ",\"name\":";
  appendJsonString(json, extra.name);
  json += ",\"with\":[";
  for (std::size_t i = 0; i < extra.with.size(); ++i) {
    if (i > 0) json += ',';
    json += '[';
    appendJsonString(json, extra.with[i].first);
    json += ',';
    appendCell(json, extra.with[i].second);
    json += ']';
  }
  json += "],\"attribute\":";
  appendJsonString(json, extra.attribute);
  json += ",\"value\":";
  appendCell(json, extra.value);
  json += '}';
}

void appendMissing(std::string& json, const MissingRow& missing, int width) {
  json += "{\"row\":" + std::to_string(missing.row) + ",\"cells\":";
  appendCells(json, missing.text, width);
  json += ",\"sources\":[";
  for (std::size_t i = 0; i < missing.sources.size(); ++i) {
    const SourceRow& source = missing.sources[i];
    if (i > 0) json += ',';
    appendSource(json, source);
  }
  json += "]}";
}

// The left row and right row of a step's built row `row`.
void appendPair(std::string& json, const AnswerCheck& check, int row) {
  const std::array<int, 2>& pair = check.pairs[static_cast<std::size_t>(row)];
  json += "{\"row\":" + std::to_string(row) + ",\"pair\":";
  appendInts(json, {pair[0], pair[1]});
  json += '}';
}

// The answer's part and the run's.
std::string frame(const Answer& answer, const AnswerWatcher* watcher, int step) {
  std::string json = "{\"step\":" + std::to_string(step) + R"(,"answer":{"message":)";
  if (answer.error) {
    appendMessage(json, *answer.error, answer.errorLine);
  } else {
    json += "null";
  }
  json += ",\"name\":";
  appendJsonString(json, nameToString(answer.relation.name));
  json += ",\"lines\":[";
  for (std::size_t i = 0; i < answer.lines.size(); ++i) {
    if (i > 0) json += ',';
    json += std::to_string(answer.lines[i]);
  }
  json += "]},\"run\":";
  if (watcher == nullptr) {
    json += "null";
  } else if (watcher->runError()) {
    json += "{\"message\":";
    appendMessage(json, *watcher->runError(), watcher->runErrorLine());
    json += '}';
  } else {
    json += "{\"message\":null}";
  }
  return json;
}

constexpr const char* kUnchecked =
    R"(,"checked":false,"columns":null,"right":[],"missing":[],"extra":[],"rowOrder":null,"stepOrder":null})";

}  // namespace

std::string briefCheckReportText(const Answer& answer, const AnswerWatcher* watcher, int step) {
  return frame(answer, watcher, step) + kUnchecked;
}

std::string checkReportText(const Answer& answer, const AnswerWatcher* watcher, int step) {
  std::string json = frame(answer, watcher, step);
  if (watcher == nullptr || !watcher->check()) return json + kUnchecked;
  const AnswerCheck& check = *watcher->check();
  const int width = static_cast<int>(check.columns.result.size());
  json += R"(,"checked":true,"columns":)";
  appendColumns(json, check.columns, check.step > 0);
  json += ",\"right\":[";
  for (std::size_t i = 0; i < check.right.size(); ++i) {
    if (i > 0) json += ',';
    appendInts(json, {check.right[i][0], check.right[i][1]});
  }
  json += "],\"missing\":[";
  for (std::size_t i = 0; i < check.missing.size(); ++i) {
    if (i > 0) json += ',';
    appendMissing(json, check.missing[i], width);
  }
  json += "],\"extra\":[";
  for (std::size_t i = 0; i < check.extra.size(); ++i) {
    if (i > 0) json += ',';
    appendExtra(json, check.extra[i], answer);
  }
  json += "],\"rowOrder\":";
  if (check.rowOrder) {
    const int a = check.rowOrder->row;
    json += "{\"rows\":";
    appendInts(json, {a, a + 1});
    json += ",\"lines\":";
    appendInts(json, {answer.lines[static_cast<std::size_t>(a)],
                      answer.lines[static_cast<std::size_t>(a) + 1]});
    json += ",\"decidingByte\":";
    appendDecidingByte(json, check.rowOrder->decided);
    json += '}';
  } else {
    json += "null";
  }
  json += ",\"stepOrder\":";
  if (check.stepOrder) {
    const int a = check.stepOrder->row;
    json += "{\"row\":" + std::to_string(a) +
            ",\"line\":" + std::to_string(answer.lines[static_cast<std::size_t>(a)]) +
            ",\"expected\":";
    appendPair(json, check, check.stepOrder->expected);
    json.pop_back();
    json += ",\"cells\":";
    appendCells(json, check.stepOrder->text, width);
    json += '}';
    json += ",\"given\":";
    appendPair(json, check, check.stepOrder->given);
    json += '}';
  } else {
    json += "null";
  }
  json += '}';
  return json;
}

}  // namespace joinrel
