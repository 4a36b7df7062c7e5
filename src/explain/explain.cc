#include "explain/explain.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <new>
#include <numeric>
#include <string_view>
#include <unordered_map>
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

// A row built of left row l and right row r is built before any joined row
// of rows with their texts: those come later in the left rows' order, or, of
// the same left row, later in the right rows' order.
std::vector<int> builtRowsOf(const StepLineage& step) {
  std::vector<int> built(step.pairs.size());
  if (step.leftFirst.empty()) {
    std::iota(built.begin(), built.end(), 0);
    return built;
  }
  std::unordered_map<std::uint64_t, int> builtOf;  // by the rows it was built of
  const auto key = [](int left, int right) {
    return (static_cast<std::uint64_t>(left) << 32) | static_cast<std::uint32_t>(right);
  };
  int next = 0;
  for (std::size_t i = 0; i < step.pairs.size(); ++i) {
    const auto [left, right] = step.pairs[i];
    const int firstLeft = step.leftFirst[static_cast<std::size_t>(left)];
    const int firstRight = step.rightFirst[static_cast<std::size_t>(right)];
    if (firstLeft == left && firstRight == right) {
      builtOf.emplace(key(left, right), next);
      built[i] = next++;
    } else {
      built[i] = builtOf.at(key(firstLeft, firstRight));
    }
  }
  return built;
}

std::vector<int> finalRowsOf(std::span<const Row> rows, const std::vector<Attribute>& attributes,
                             const Relation& result) {
  const std::vector<std::size_t> columns = columnsByName(attributes);
  const bool inPlace = std::is_sorted(columns.begin(), columns.end());
  std::array<std::string_view, MAX_ATTRIBUTES> cells;
  const std::span<std::string_view> rowCells = std::span(cells).first(columns.size());
  std::string moved;
  std::vector<int> finalRows;
  finalRows.reserve(rows.size());
  for (const Row row : rows) {
    Row key = row;
    if (!inPlace) {
      splitRow(row, rowCells);
      moved.clear();
      for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i > 0) moved += ',';
        moved += rowCells[columns[i]];
      }
      key = moved;
    }
    const auto found = std::lower_bound(result.rows.begin(), result.rows.end(), key);
    finalRows.push_back(static_cast<int>(found - result.rows.begin()));
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
