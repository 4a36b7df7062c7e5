#include "check/check.h"

#include <algorithm>
#include <iterator>
#include <new>
#include <numeric>
#include <stdexcept>
#include <unordered_map>

#include "input/input.h"

namespace joinrel {

namespace {

// The key of the step that joins the relation at `place`, or null for the
// first relation and for a product.
const KeyColumns* keyAt(const JoinedRun& run, std::size_t place) {
  if (place == 0 || !run.keys[place - 1]) return nullptr;
  return &*run.keys[place - 1];
}

// The rows of `relation`, whatever views them now, copied into a text the
// relation owns.
void ownRows(Relation& relation) {
  RowBuilder builder;
  for (const Row row : relation.rows) {
    builder.text() += row;
    builder.endRow();
  }
  builder.moveRowsInto(relation);
}

// Returns the names of `attributes`, in column order.
std::vector<std::string> namesOf(const std::vector<Attribute>& attributes) {
  std::vector<std::string> names(attributes.size());
  std::transform(
      attributes.begin(), attributes.end(), names.begin(),
      [](const Attribute& attribute) { return std::string(nameToString(attribute.name)); });
  return names;
}

// For each column of `to`, the column of `from` with the same name, the k-th
// of a name taking the k-th; `from` must hold the same names as often.
std::vector<int> columnsByName(const std::vector<std::string>& from,
                               const std::vector<std::string>& to) {
  std::unordered_map<std::string_view, std::vector<int>> columns;
  for (int c = static_cast<int>(from.size()) - 1; c >= 0; --c) {
    columns[from[static_cast<std::size_t>(c)]].push_back(c);
  }
  std::vector<int> map;
  map.reserve(to.size());
  for (const std::string& name : to) {
    std::vector<int>& left = columns[name];
    map.push_back(left.back());
    left.pop_back();
  }
  return map;
}

// Where each cell of a row of the join list's relation at each place comes
// from in a row of result: for place p and column a, the column of result
// whose cell that row must hold; the right operand's join column takes the
// left's. Empty when the run's facts do not fit result's columns.
std::vector<std::vector<int>> resultColumnsOfPlaces(const JoinedRun& run,
                                                    const std::vector<std::string>& resultNames) {
  std::vector<std::vector<int>> joinedOf(run.relations.size());
  std::vector<std::string_view> joinedNames;  // the joined relation's columns, in order
  if (run.keys.size() + 1 != run.relations.size() && !run.relations.empty()) return {};
  for (std::size_t p = 0; p < run.relations.size(); ++p) {
    const Relation& relation = *run.relations[p];
    const KeyColumns* key = keyAt(run, p);
    for (int a = 0; a < relation.attributeCount(); ++a) {
      if (key != nullptr && a == key->right) {
        joinedOf[p].push_back(key->left);
      } else {
        joinedOf[p].push_back(static_cast<int>(joinedNames.size()));
        joinedNames.push_back(nameToString(relation.attributes[static_cast<std::size_t>(a)].name));
      }
    }
  }
  if (joinedNames.size() != resultNames.size()) return {};
  // Result's columns are the joined ones stably sorted by name.
  std::vector<int> order(joinedNames.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return joinedNames[static_cast<std::size_t>(a)] < joinedNames[static_cast<std::size_t>(b)];
  });
  std::vector<int> resultOfJoined(order.size());
  for (std::size_t c = 0; c < order.size(); ++c) {
    if (joinedNames[static_cast<std::size_t>(order[c])] != resultNames[c]) return {};
    resultOfJoined[static_cast<std::size_t>(order[c])] = static_cast<int>(c);
  }
  for (std::vector<int>& columns : joinedOf) {
    std::transform(columns.begin(), columns.end(), columns.begin(),
                   [&](int column) { return resultOfJoined[static_cast<std::size_t>(column)]; });
  }
  return joinedOf;
}

// The row text the relation at a place would need to make a row of result
// whose cells are `cells`: its columns' cells as `columns` maps them.
std::string partOf(std::span<const std::string_view> cells, const std::vector<int>& columns) {
  std::string text;
  for (std::size_t a = 0; a < columns.size(); ++a) {
    if (a > 0) text += ',';
    text += cells[static_cast<std::size_t>(columns[a])];
  }
  return text;
}

// The rows of one relation of the join list by text, each text's first row.
std::unordered_map<std::string_view, int> firstRowsByText(const Relation& relation) {
  std::unordered_map<std::string_view, int> first;
  first.reserve(relation.rows.size());
  for (int r = 0; r < relation.rowCount(); ++r) {
    first.try_emplace(relation.rows[static_cast<std::size_t>(r)], r);
  }
  return first;
}

// Fills the reason of `extra`, a row of `cells` (in result's order) that the
// relation at `place` has no row for: the cells its rows do have together,
// in column order (the compared one first at a join step), up to the first
// its rows lack.
void explainAtPlace(ExtraRow& extra, std::span<const std::string_view> cells, const JoinedRun& run,
                    std::size_t place, const std::vector<int>& columns) {
  const Relation& relation = *run.relations[place];
  const int width = relation.attributeCount();
  extra.place = static_cast<int>(place);
  extra.relation = run.fileIndices[place];
  extra.name = nameToString(relation.name);
  extra.reason = ExtraReason::noRow;
  std::vector<int> order(static_cast<std::size_t>(width));
  std::iota(order.begin(), order.end(), 0);
  const KeyColumns* key = keyAt(run, place);
  if (key != nullptr)
    std::rotate(order.begin(), order.begin() + key->right, order.begin() + key->right + 1);
  std::vector<Row> candidates;  // the rows with every cell of `with`
  bool first = true;
  for (const int a : order) {
    const auto column = static_cast<std::size_t>(columns[static_cast<std::size_t>(a)]);
    const std::string_view value = cells[column];
    const std::string_view name =
        nameToString(relation.attributes[static_cast<std::size_t>(a)].name);
    const auto differs = [&](Row row) { return cellAt(row, a, width) != value; };
    if (first) {
      std::remove_copy_if(relation.rows.begin(), relation.rows.end(),
                          std::back_inserter(candidates), differs);
      first = false;
    } else {
      std::erase_if(candidates, differs);
    }
    if (candidates.empty()) {
      if (key != nullptr && a == key->right) extra.reason = ExtraReason::noPartner;
      extra.attribute = name;
      extra.value = value;
      return;
    }
    extra.with.emplace_back(name, value);
  }
}

// How the answer's attribute names stand to `expected`'s, but for the order
// the names break.
ColumnFacts compareColumns(const Answer& answer, const Relation& expected) {
  ColumnFacts columns;
  columns.answer = namesOf(answer.relation.attributes);
  columns.result = namesOf(expected.attributes);
  columns.inOrder = columns.answer == columns.result;
  std::vector<std::string> sortedAnswer = columns.answer;
  std::vector<std::string> sortedResult = columns.result;
  std::sort(sortedAnswer.begin(), sortedAnswer.end());
  std::sort(sortedResult.begin(), sortedResult.end());
  columns.sameNames = sortedAnswer == sortedResult;
  return columns;
}

// Every answer row as a text with its cells in the expected column order;
// the columns must hold the same names.
std::vector<std::string> answerRows(const Answer& answer, const ColumnFacts& columns) {
  const std::size_t width = columns.result.size();
  const std::vector<int> answerColumn = columnsByName(columns.answer, columns.result);
  std::vector<std::string> rows;
  rows.reserve(answer.relation.rows.size());
  std::vector<std::string_view> cells(width);
  for (const Row row : answer.relation.rows) {
    splitRow(row, cells);
    std::string text;
    for (std::size_t c = 0; c < width; ++c) {
      if (c > 0) text += ',';
      text += cells[static_cast<std::size_t>(answerColumn[c])];
    }
    rows.push_back(std::move(text));
  }
  return rows;
}

// Of each joined row of a step's operands, its left row and right row, in
// the order the join makes them: left rows in order, each with its right
// partners in order.
std::vector<std::array<int, 2>> joinedPairs(const Relation& left, const Relation& right,
                                            const JoinKey& key) {
  std::unordered_map<std::string_view, std::vector<int>> partners;
  std::vector<int> every;  // a product's partners of each left row
  const int rightWidth = right.attributeCount();
  for (int r = 0; r < right.rowCount(); ++r) {
    if (key) {
      partners[cellAt(right.rows[static_cast<std::size_t>(r)], key->right, rightWidth)].push_back(
          r);
    } else {
      every.push_back(r);
    }
  }
  std::vector<std::array<int, 2>> pairs;
  const std::vector<int> none;
  for (int l = 0; l < left.rowCount(); ++l) {
    const std::vector<int>* matching = &every;
    if (key) {
      const auto found = partners.find(
          cellAt(left.rows[static_cast<std::size_t>(l)], key->left, left.attributeCount()));
      matching = found == partners.end() ? &none : &found->second;
    }
    std::transform(matching->begin(), matching->end(), std::back_inserter(pairs), [l](int r) {
      return std::array<int, 2>{l, r};
    });
  }
  return pairs;
}

// Where each cell of a step's operands' rows is in a row of its built
// relation: the left's columns first, then the right's but its join column,
// which takes the left's.
std::vector<std::vector<int>> builtColumnsOfOperands(const JoinedRun& operands) {
  const int leftWidth = operands.relations[0]->attributeCount();
  std::vector<std::vector<int>> columns(2);
  columns[0].resize(static_cast<std::size_t>(leftWidth));
  std::iota(columns[0].begin(), columns[0].end(), 0);
  const KeyColumns* key = keyAt(operands, 1);
  int next = leftWidth;
  for (int a = 0; a < operands.relations[1]->attributeCount(); ++a) {
    columns[1].push_back(key != nullptr && a == key->right ? key->left : next++);
  }
  return columns;
}

// The operand row at `place` (0 left, 1 right) of a step's check.
SourceRow operandRow(const JoinedRun& operands, std::size_t place, int row) {
  const std::int64_t relation = operands.fileIndices[place];
  return {relation, std::string(nameToString(operands.relations[place]->name)), row,
          relation < 0 ? 0 : operands.firstRowLines[place] + row};
}

}  // namespace

Answer readAnswer(std::string_view text) {
  Answer answer;
  Relation& relation = answer.relation;
  InputFile file(text);
  try {
    parseHeader(file, relation.name, relation.attributes);
    while (!file.atEnd()) {
      const LineNumber firstLine = file.lineNumber() + 1;
      const std::size_t before = relation.rows.size();
      readRows(file, relation);  // up to an empty line
      for (std::size_t i = before; i < relation.rows.size(); ++i) {
        answer.lines.push_back(firstLine + static_cast<LineNumber>(i - before));
      }
    }
  } catch (const FatalError& error) {
    answer.relation = Relation();
    answer.lines.clear();
    answer.error = error.kind();
    answer.errorLine = error.line();
    return answer;
  }
  ownRows(relation);
  return answer;
}

DecidingByte decidingByte(std::string_view a, std::string_view b) {
  const auto size = std::min(a.size(), b.size());
  std::size_t at = 0;
  while (at < size && a[at] == b[at]) ++at;
  const auto byteAt = [at](std::string_view text) {
    return at < text.size() ? static_cast<int>(static_cast<unsigned char>(text[at])) : -1;
  };
  return {at, byteAt(a), byteAt(b)};
}

AnswerCheck checkAnswer(const Answer& answer, const Relation& result, const JoinedRun& run) {
  AnswerCheck check;
  ColumnFacts& columns = check.columns;
  columns = compareColumns(answer, result);
  if (!columns.sameNames) return check;
  if (!columns.inOrder) {
    for (std::size_t i = 0; i + 1 < columns.answer.size(); ++i) {
      if (columns.answer[i + 1] < columns.answer[i]) {
        columns.outOfOrder = static_cast<int>(i);
        columns.decided = decidingByte(columns.answer[i], columns.answer[i + 1]);
        break;
      }
    }
  }

  const std::vector<std::string> rows = answerRows(answer, columns);
  std::vector<std::string_view> cells(columns.result.size());

  std::unordered_map<std::string_view, int> resultRows;
  resultRows.reserve(result.rows.size());
  for (int r = 0; r < result.rowCount(); ++r)
    resultRows.emplace(result.rows[static_cast<std::size_t>(r)], r);
  std::unordered_map<std::string_view, int> seen;  // each answer text's first row
  std::vector<bool> answered(result.rows.size(), false);
  const std::vector<std::vector<int>> places = resultColumnsOfPlaces(run, columns.result);
  std::vector<std::unordered_map<std::string_view, int>> byText;
  byText.reserve(places.size());
  for (std::size_t p = 0; p < places.size(); ++p)
    byText.push_back(firstRowsByText(*run.relations[p]));

  for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
    const std::string_view text = rows[static_cast<std::size_t>(i)];
    const auto [earlier, first] = seen.try_emplace(text, i);
    if (!first) {
      ExtraRow& repeat = check.extra.emplace_back();
      repeat.row = i;
      repeat.reason = ExtraReason::repeats;
      repeat.repeats = earlier->second;
      continue;
    }
    if (const auto found = resultRows.find(text); found != resultRows.end()) {
      check.right.push_back({i, found->second});
      answered[static_cast<std::size_t>(found->second)] = true;
      continue;
    }
    ExtraRow& extra = check.extra.emplace_back();
    extra.row = i;
    if (check.extra.size() > kExaminedRows) {
      extra.reason = ExtraReason::notExamined;
      continue;
    }
    splitRow(text, cells);
    for (std::size_t p = 0; p < places.size(); ++p) {
      if (!byText[p].contains(partOf(cells, places[p]))) {
        explainAtPlace(extra, cells, run, p, places[p]);
        break;
      }
    }
  }

  for (int r = 0; r < result.rowCount(); ++r) {
    if (answered[static_cast<std::size_t>(r)]) continue;
    const Row row = result.rows[static_cast<std::size_t>(r)];
    MissingRow& missing = check.missing.emplace_back();
    missing.row = r;
    missing.text = row;
    splitRow(row, cells);
    for (std::size_t p = 0; p < places.size(); ++p) {
      const auto found = byText[p].find(partOf(cells, places[p]));
      if (found == byText[p].end()) break;  // not when the facts fit result
      missing.sources.push_back({run.fileIndices[p],
                                 std::string(nameToString(run.relations[p]->name)), found->second,
                                 run.firstRowLines[p] + found->second});
    }
  }

  if (columns.inOrder && check.missing.empty() && check.extra.empty()) {
    for (std::size_t i = 0; i + 1 < rows.size(); ++i) {
      if (rows[i + 1] < rows[i]) {
        check.rowOrder = RowOrderFacts{static_cast<int>(i), decidingByte(rows[i], rows[i + 1])};
        break;
      }
    }
  }
  return check;
}

JoinedRun stepOperands(const JoinStep& step, std::int64_t leftIndex, LineNumber leftLine,
                       std::int64_t rightIndex, LineNumber rightLine) {
  JoinedRun operands;
  operands.relations = {&step.left, &step.right};
  operands.fileIndices = {leftIndex, rightIndex};
  operands.firstRowLines = {leftLine, rightLine};
  operands.keys = {step.key};
  return operands;
}

AnswerCheck checkStepAnswer(const Answer& answer, const JoinStep& step, const JoinedRun& operands) {
  AnswerCheck check;
  check.step = step.number;
  ColumnFacts& columns = check.columns;
  columns = compareColumns(answer, step.built);
  if (!columns.sameNames) return check;
  if (!columns.inOrder) {
    while (columns.answer[static_cast<std::size_t>(columns.outOfOrder)] ==
           columns.result[static_cast<std::size_t>(columns.outOfOrder)]) {
      ++columns.outOfOrder;
    }
  }
  const std::vector<std::string> rows = answerRows(answer, columns);
  const Relation& built = step.built;
  check.pairs = joinedPairs(step.left, step.right, step.key);
  if (check.pairs.size() != built.rows.size()) check.pairs.clear();  // not a step's own rows

  // The built rows of each text, in order, and how many of them the answer
  // has placed.
  std::unordered_map<std::string_view, std::pair<std::vector<int>, std::size_t>> builtRows;
  for (int r = 0; r < built.rowCount(); ++r)
    builtRows[built.rows[static_cast<std::size_t>(r)]].first.push_back(r);
  std::unordered_map<std::string_view, int> seen;  // each answer text's first row
  std::vector<bool> answered(built.rows.size(), false);
  const std::vector<std::vector<int>> places = builtColumnsOfOperands(operands);
  const std::array<std::unordered_map<std::string_view, int>, 2> byText = {
      firstRowsByText(*operands.relations[0]), firstRowsByText(*operands.relations[1])};
  std::vector<std::string_view> cells(columns.result.size());

  for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
    const std::string_view text = rows[static_cast<std::size_t>(i)];
    const auto earlier = seen.try_emplace(text, i).first;
    if (const auto found = builtRows.find(text); found != builtRows.end()) {
      auto& [madeRows, placed] = found->second;
      if (placed < madeRows.size()) {
        const int r = madeRows[placed++];
        check.right.push_back({i, r});
        answered[static_cast<std::size_t>(r)] = true;
      } else {
        ExtraRow& repeat = check.extra.emplace_back();
        repeat.row = i;
        repeat.reason = ExtraReason::repeats;
        repeat.repeats = earlier->second;
      }
      continue;
    }
    ExtraRow& extra = check.extra.emplace_back();
    extra.row = i;
    if (check.extra.size() > kExaminedRows) {
      extra.reason = ExtraReason::notExamined;
      continue;
    }
    splitRow(text, cells);
    for (std::size_t p = 0; p < places.size(); ++p) {
      if (!byText[p].contains(partOf(cells, places[p]))) {
        explainAtPlace(extra, cells, operands, p, places[p]);
        extra.place = p == 0 ? 0 : step.number;
        break;
      }
    }
  }

  for (int r = 0; r < built.rowCount(); ++r) {
    if (answered[static_cast<std::size_t>(r)]) continue;
    MissingRow& missing = check.missing.emplace_back();
    missing.row = r;
    missing.text = built.rows[static_cast<std::size_t>(r)];
    if (check.pairs.empty()) continue;
    const std::array<int, 2>& pair = check.pairs[static_cast<std::size_t>(r)];
    missing.sources = {operandRow(operands, 0, pair[0]), operandRow(operands, 1, pair[1])};
  }

  if (columns.inOrder && check.missing.empty() && check.extra.empty() && !check.pairs.empty()) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (rows[i] == built.rows[i]) continue;
      std::size_t given = i + 1;
      while (given < rows.size() && built.rows[given] != rows[i]) ++given;
      check.stepOrder = StepOrderFacts{static_cast<int>(i), static_cast<int>(i),
                                       static_cast<int>(given), std::string(built.rows[i])};
      break;
    }
  }
  return check;
}

void AnswerWatcher::relationWritten(const Relation& relation, LineNumber firstRowLine) {
  if (memoryRanOut_) return;
  try {
    written_.push_back(relation);
    firstRowLines_.push_back(firstRowLine);
  } catch (const std::bad_alloc&) {
    memoryRanOut_ = true;
  }
}

void AnswerWatcher::joinListResolved(std::span<const std::int64_t> relations) {
  if (memoryRanOut_) return;
  try {
    joinList_.assign(relations.begin(), relations.end());
  } catch (const std::bad_alloc&) {
    memoryRanOut_ = true;
  }
}

void AnswerWatcher::joinStepDone(const JoinStep& step) {
  if (memoryRanOut_) return;
  try {
    keys_.push_back(step.key);
    if (step.number != step_ || joinList_.size() <= static_cast<std::size_t>(step_)) return;
    const auto left = static_cast<std::size_t>(joinList_[0]);
    const auto right = static_cast<std::size_t>(joinList_[static_cast<std::size_t>(step_)]);
    const bool first = step_ == 1;
    const JoinedRun operands =
        stepOperands(step, first ? joinList_[0] : -1, first ? firstRowLines_[left] : 0,
                     joinList_[static_cast<std::size_t>(step_)], firstRowLines_[right]);
    check_ = checkStepAnswer(answer_, step, operands);
  } catch (const std::bad_alloc&) {
    memoryRanOut_ = true;
  } catch (const std::length_error&) {
    memoryRanOut_ = true;
  }
}

void AnswerWatcher::resultWritten(const Relation& result) {
  if (memoryRanOut_) return;
  if (step_ > 0) {
    // The last step's built relation is result in all but name: no step's own.
    if (keys_.size() == static_cast<std::size_t>(step_)) check_.reset();
    return;
  }
  try {
    JoinedRun run;
    for (const std::int64_t index : joinList_) {
      const auto i = static_cast<std::size_t>(index);
      run.relations.push_back(&written_[i]);
      run.fileIndices.push_back(index);
      run.firstRowLines.push_back(firstRowLines_[i]);
    }
    run.keys = keys_;
    check_ = checkAnswer(answer_, result, run);
  } catch (const std::bad_alloc&) {
    memoryRanOut_ = true;
  } catch (const std::length_error&) {
    memoryRanOut_ = true;
  }
}

void AnswerWatcher::runStopped(MessageKind kind, LineNumber line,
                               const Particulars& /*particulars*/) {
  runError_ = kind;
  runErrorLine_ = line;
}

}  // namespace joinrel
