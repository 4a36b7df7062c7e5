#include "explain/explain.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <new>
#include <numeric>
#include <string_view>
#include <utility>

namespace joinrel {

template <typename Keep>
void LineageRecorder::keep(Keep keep) noexcept {
  if (lost_) return;
  try {
    keep();
  } catch (const std::bad_alloc&) {
    lost_ = true;
    step_ = StepLineage();
  }
}

void LineageRecorder::sameTexts(std::span<const int> leftFirst,
                                std::span<const int> rightFirst) noexcept {
  keep([&] {
    step_.leftFirst.assign(leftFirst.begin(), leftFirst.end());
    step_.rightFirst.assign(rightFirst.begin(), rightFirst.end());
  });
}

void LineageRecorder::joined(int left, int right) noexcept {
  keep([&] { step_.pairs.push_back({left, right}); });
}

void LineageRecorder::leftUnmatched(int left) noexcept {
  keep([&] { step_.unmatchedLeft.push_back(left); });
}

void LineageRecorder::rightUnmatched(int right) noexcept {
  keep([&] { step_.unmatchedRight.push_back(right); });
}

std::optional<StepLineage> LineageRecorder::takeStep() noexcept {
  std::optional<StepLineage> step;
  if (!lost_) step.emplace(std::move(step_));
  step_ = StepLineage();
  lost_ = false;
  return step;
}

std::vector<std::string> sharedNames(const Relation& left, const Relation& right,
                                     const JoinKey& key) {
  const std::string_view keyName =
      key ? nameToString(left.attributes[key->left].name) : std::string_view();
  std::vector<std::string> shared;
  for (const Attribute& attribute : left.attributes) {
    const std::string_view name = nameToString(attribute.name);
    const bool inRight =
        std::any_of(right.attributes.begin(), right.attributes.end(),
                    [&](const Attribute& a) { return nameToString(a.name) == name; });
    if (inRight && (!key || name != keyName) &&
        std::find(shared.begin(), shared.end(), name) == shared.end()) {
      shared.emplace_back(name);
    }
  }
  return shared;
}

// The step built, for each first left row in order, a row with each first
// right row it joins, in order, so that a first right row has the same place
// among the rows built of any first left row: its place among the first rows
// of its join cell's rows (of all rows, for a product). A joined row's text
// is that of the row built of the first rows of its rows' texts, which came
// before it in the joined order.
std::vector<int> builtRowsOf(const StepLineage& step) {
  std::vector<int> built(step.pairs.size());
  if (step.leftFirst.empty()) {
    std::iota(built.begin(), built.end(), 0);
    return built;
  }
  std::vector<int> firstBuilt(step.leftFirst.size(), -1);  // of each first left row
  std::vector<int> place(step.rightFirst.size(), -1);      // of each first right row
  int next = 0;
  for (std::size_t i = 0; i < step.pairs.size(); ++i) {
    const auto [left, right] = step.pairs[i];
    const int firstLeft = step.leftFirst[static_cast<std::size_t>(left)];
    const int firstRight = step.rightFirst[static_cast<std::size_t>(right)];
    if (firstLeft == left && firstRight == right) {
      int& start = firstBuilt[static_cast<std::size_t>(left)];
      if (start == -1) start = next;
      place[static_cast<std::size_t>(right)] = next - start;
      built[i] = next++;
    } else {
      built[i] = firstBuilt[static_cast<std::size_t>(firstLeft)] +
                 place[static_cast<std::size_t>(firstRight)];
    }
  }
  return built;
}

// Rows whose columns are already in result's order are result's rows,
// sorted and each once: normalizeResult keeps their texts where they are,
// so a row is found by where its text lies, in a sorted list of those
// places; a row not found so, or one whose columns move, by its text.
std::vector<int> finalRowsOf(std::span<const Row> rows, const std::vector<Attribute>& attributes,
                             const Relation& result) {
  const std::vector<std::size_t> columns = columnsByName(attributes);
  const bool inPlace = std::is_sorted(columns.begin(), columns.end());
  std::vector<int> finalRows(rows.size(), -1);
  if (inPlace) {
    std::vector<std::pair<const char*, int>> places(rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r) places[r] = {rows[r].data(), static_cast<int>(r)};
    // A relation's rows usually lie in order in one text already.
    if (!std::is_sorted(places.begin(), places.end())) std::sort(places.begin(), places.end());
    for (std::size_t f = 0; f < result.rows.size(); ++f) {
      const Row row = result.rows[f];
      const auto at = std::lower_bound(places.begin(), places.end(),
                                       std::pair<const char*, int>(row.data(), -1));
      for (auto same = at; same != places.end() && same->first == row.data(); ++same) {
        const auto r = static_cast<std::size_t>(same->second);
        if (rows[r].size() == row.size()) finalRows[r] = static_cast<int>(f);
      }
    }
  }
  std::array<std::string_view, MAX_ATTRIBUTES> cells;
  const std::span<std::string_view> rowCells = std::span(cells).first(columns.size());
  std::string moved;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (finalRows[r] != -1) continue;
    Row key = rows[r];
    if (!inPlace) {
      splitRow(rows[r], rowCells);
      moved.clear();
      for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i > 0) moved += ',';
        moved += rowCells[columns[i]];
      }
      key = moved;
    }
    const auto found = std::lower_bound(result.rows.begin(), result.rows.end(), key);
    finalRows[r] = static_cast<int>(found - result.rows.begin());
  }
  return finalRows;
}

TidyLineage tidyLineage(std::vector<std::size_t> columns, const std::vector<int>& finalRows,
                        std::size_t finalRowCount) {
  TidyLineage tidy{std::move(columns), std::vector<int>(finalRows.size()),
                   std::vector<std::size_t>(finalRowCount, 0)};
  // Counted, then placed: each group's sources land in ascending order.
  for (const int row : finalRows) ++tidy.rowEnds[static_cast<std::size_t>(row)];
  std::partial_sum(tidy.rowEnds.begin(), tidy.rowEnds.end(), tidy.rowEnds.begin());
  std::vector<std::size_t> next(finalRowCount);
  for (std::size_t row = 0; row < finalRowCount; ++row) {
    next[row] = row == 0 ? 0 : tidy.rowEnds[row - 1];
  }
  for (std::size_t source = 0; source < finalRows.size(); ++source) {
    tidy.rows[next[static_cast<std::size_t>(finalRows[source])]++] = static_cast<int>(source);
  }
  return tidy;
}

namespace {

// The join list place of the relation each column of `step`'s joined
// relation comes from: a left column's place is the one it had in the step
// before (`previous`; none for the first step, whose left is place 0), a
// right column's is the step's own number.
std::vector<int> columnPlacesOf(const JoinStep& step, const StepFacts* previous) {
  const int leftWidth = step.left.attributeCount();
  std::vector<int> places;
  places.reserve(static_cast<std::size_t>(leftWidth) +
                 static_cast<std::size_t>(step.right.attributeCount()));
  for (int c = 0; c < leftWidth; ++c) {
    places.push_back(previous == nullptr ? 0 : previous->columnPlaces[static_cast<std::size_t>(c)]);
  }
  for (int c = 0; c < step.right.attributeCount(); ++c) {
    if (!step.key || c != step.key->right) places.push_back(step.number);
  }
  return places;
}

}  // namespace

void RunExplainer::joinListResolved(std::span<const std::int64_t> relations) {
  try {
    joinList_.assign(relations.begin(), relations.end());
  } catch (const std::bad_alloc&) {
    joinList_.clear();
  }
}

void RunExplainer::joinStepDone(const JoinStep& step) {
  std::optional<StepLineage> lineage = recorder_.takeStep();
  ++stepsDone_;
  try {
    leftWidths_.push_back(step.left.attributeCount());
  } catch (const std::bad_alloc&) {
    lineage.reset();  // the steps after it cannot be traced to their relations
  }
  // Facts are kept only while every earlier step's are.
  if (!lineage || steps_.size() + 1 != stepsDone_) return;
  try {
    const auto at = static_cast<std::size_t>(step.number);
    StepFacts facts{step.number == 1 && at < joinList_.size() ? joinList_[0] : -1,
                    at < joinList_.size() ? joinList_[at] : -1,
                    std::string(nameToString(step.left.name)),
                    std::string(nameToString(step.right.name)),
                    step.key ? std::string(nameToString(step.left.attributes[step.key->left].name))
                             : std::string(),
                    step.key,
                    sharedNames(step.left, step.right, step.key),
                    std::move(*lineage)};
    facts.sharedFacts =
        sharedNameFacts(step.left, step.right, step.key, facts.shared, facts.lineage.pairs);
    facts.columnPlaces = columnPlacesOf(step, steps_.empty() ? nullptr : &steps_.back());
    lastColumns_ = columnsByName(joinedAttributes(step.left, step.right, step.key));
    steps_.push_back(std::move(facts));
    noteKeyCells(step);
  } catch (const std::bad_alloc&) {
    lastColumns_.clear();
  }
}

void RunExplainer::resultBuilt(const Relation& result) {
  try {
    unnormalised_ = Unnormalised{result.attributes, result.rows, result.ownText};
  } catch (const std::bad_alloc&) {
    unnormalised_.reset();
  }
}

void RunExplainer::resultWritten(const Relation& result) {
  std::optional<Unnormalised> before = std::move(unnormalised_);
  unnormalised_.reset();
  if (!before || joinList_.empty()) return;
  try {
    const std::vector<int> finalRows = finalRowsOf(before->rows, before->attributes, result);
    const auto finalRowCount = static_cast<std::size_t>(result.rowCount());
    if (joinList_.size() == 1) {
      tidy_ = TidyFacts{joinList_[0],
                        tidyLineage(columnsByName(before->attributes), finalRows, finalRowCount)};
      tidy_->byteOrder = rowsOrderedByBytes(result);
      return;
    }
    // The sources are every joined row of the last step, the row it built
    // for each telling which row of result it became.
    if (steps_.size() != stepsDone_ || steps_.empty()) return;
    const std::vector<int> built = builtRowsOf(steps_.back().lineage);
    std::vector<int> finalOfJoined(built.size());
    std::transform(built.begin(), built.end(), finalOfJoined.begin(),
                   [&](int row) { return finalRows[static_cast<std::size_t>(row)]; });
    tidy_ = TidyFacts{-1, tidyLineage(lastColumns_, finalOfJoined, finalRowCount)};
    tidy_->byteOrder = rowsOrderedByBytes(result);
  } catch (const std::bad_alloc&) {
    tidy_.reset();
  }
}

}  // namespace joinrel
