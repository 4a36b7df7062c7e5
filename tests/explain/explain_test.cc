// The explain facts against a brute-force reference: random chains of two to
// four relations, with repeated rows, products and self-joins, run whole;
// each step's pairs, unmatched rows and shared names with the joined rows
// that differ on them, result's sources and its order as texts, and
// every result row traced back through every step to the input rows it is
// made of.
#include "explain/explain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "test_support.h"

namespace joinrel {
namespace {

using Cells = std::vector<std::string>;

struct Table {
  std::string name;
  std::vector<std::string> attributes;
  std::vector<Cells> rows;
};

// Forwards every event to a RunExplainer and keeps, for each step, its
// operands' widths and the rows it built, and result's rows.
class KeepingExplainer final : public RunObserver {
 public:
  RowRecorder* rowRecorder() override { return explainer.rowRecorder(); }
  void relationWritten(const Relation& relation, LineNumber line) override {
    explainer.relationWritten(relation, line);
  }
  void joinListResolved(std::span<const std::int64_t> relations) override {
    explainer.joinListResolved(relations);
  }
  void joinStepDone(const JoinStep& step) override {
    explainer.joinStepDone(step);
    built.emplace_back(step.built.rows.begin(), step.built.rows.end());
  }
  void resultBuilt(const Relation& result) override { explainer.resultBuilt(result); }
  void resultWritten(const Relation& result) override {
    explainer.resultWritten(result);
    for (int r = 0; r < result.rowCount(); ++r) {
      const std::vector<std::string_view> cells = test::cellsOf(result, r);
      resultRows.emplace_back(cells.begin(), cells.end());
    }
  }
  void runStopped(MessageKind kind, LineNumber line, const Particulars& particulars) override {
    explainer.runStopped(kind, line, particulars);
    stopped = true;
  }

  RunExplainer explainer;
  std::vector<std::vector<std::string>> built;  // per step, its rows as built
  std::vector<Cells> resultRows;
  bool stopped = false;
};

std::string joined(const Cells& cells) {
  std::string text;
  for (std::size_t k = 0; k < cells.size(); ++k) text += (k > 0 ? "," : "") + cells[k];
  return text;
}

// The reference's account of one step.
struct ReferenceStep {
  Table built;
  int leftKey = -1;
  int rightKey = -1;
  std::vector<RowPair> pairs;
  std::vector<int> unmatchedLeft, unmatchedRight;
  std::vector<std::string> shared;
};

// The step joining `left` and `right`: the first left attribute whose name
// right carries, with right's first of that name; each left row with every
// right row whose key cell is the same text, in order (every right row for a
// product).
ReferenceStep referenceStep(const Table& left, const Table& right) {
  ReferenceStep step;
  for (std::size_t i = 0; i < left.attributes.size() && step.leftKey == -1; ++i) {
    for (std::size_t j = 0; j < right.attributes.size(); ++j) {
      if (left.attributes[i] == right.attributes[j]) {
        step.leftKey = static_cast<int>(i);
        step.rightKey = static_cast<int>(j);
        break;
      }
    }
  }
  step.built.attributes = left.attributes;
  for (std::size_t j = 0; j < right.attributes.size(); ++j) {
    if (static_cast<int>(j) != step.rightKey) step.built.attributes.push_back(right.attributes[j]);
  }
  std::map<std::string, std::vector<int>> rightByKey;
  for (std::size_t r = 0; r < right.rows.size(); ++r) {
    rightByKey[step.rightKey == -1 ? "" : right.rows[r][step.rightKey]].push_back(
        static_cast<int>(r));
  }
  std::vector<bool> rightUsed(right.rows.size());
  for (std::size_t l = 0; l < left.rows.size(); ++l) {
    const auto found = rightByKey.find(step.leftKey == -1 ? "" : left.rows[l][step.leftKey]);
    if (found == rightByKey.end()) {
      step.unmatchedLeft.push_back(static_cast<int>(l));
      continue;
    }
    for (const int r : found->second) {
      step.pairs.push_back({static_cast<int>(l), r});
      rightUsed[r] = true;
      Cells row = left.rows[l];
      for (std::size_t j = 0; j < right.attributes.size(); ++j) {
        if (static_cast<int>(j) != step.rightKey) row.push_back(right.rows[r][j]);
      }
      step.built.rows.push_back(row);
    }
  }
  for (std::size_t r = 0; r < rightUsed.size(); ++r) {
    if (!rightUsed[r]) step.unmatchedRight.push_back(static_cast<int>(r));
  }
  for (std::size_t i = 0; i < left.attributes.size(); ++i) {
    const std::string& name = left.attributes[i];
    if (step.leftKey != -1 && name == left.attributes[step.leftKey]) continue;
    if (std::find(right.attributes.begin(), right.attributes.end(), name) !=
            right.attributes.end() &&
        std::find(step.shared.begin(), step.shared.end(), name) == step.shared.end()) {
      step.shared.push_back(name);
    }
  }
  return step;
}

// The columns of `attributes` stably sorted by name, as bytes.
std::vector<std::size_t> byName(const std::vector<std::string>& attributes) {
  std::vector<std::size_t> order(attributes.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return attributes[a] < attributes[b]; });
  return order;
}

// 0, 1, ..., `count` - 1.
std::vector<std::size_t> permutedIdentity(std::size_t count) {
  std::vector<std::size_t> order(count);
  for (std::size_t i = 0; i < count; ++i) order[i] = i;
  return order;
}

Cells permuted(const Cells& row, const std::vector<std::size_t>& order) {
  Cells cells;
  for (const std::size_t i : order) cells.push_back(row[i]);
  return cells;
}

std::string inputOf(const std::vector<std::string>& joinList, const std::vector<Table>& tables) {
  std::string text = "Q(";
  for (std::size_t i = 0; i < joinList.size(); ++i) text += (i > 0 ? ", " : "") + joinList[i];
  text += ")\n\n";
  for (const Table& table : tables) {
    text += table.name + "(";
    for (std::size_t k = 0; k < table.attributes.size(); ++k) {
      text += (k > 0 ? ", " : "") + table.attributes[k];
    }
    text += ")\n";
    for (const Cells& row : table.rows) text += joined(row) + "\n";
    text += "\n";
  }
  return text;
}

// The two copies of each shared name in the joined relation: its first
// column, which is the left operand's, and its first column past the left
// operand's `leftWidth`; a joined row differs on the name where they hold
// different cells.
void checkSharedNameFacts(const StepFacts& got, const ReferenceStep& want, std::size_t leftWidth) {
  const std::vector<std::string>& attributes = want.built.attributes;
  std::vector<std::array<int, 2>> columns;
  for (const std::string& name : want.shared) {
    const auto inLeft = std::find(attributes.begin(), attributes.end(), name);
    const auto inRight = std::find(attributes.begin() + static_cast<std::ptrdiff_t>(leftWidth),
                                   attributes.end(), name);
    columns.push_back({static_cast<int>(inLeft - attributes.begin()),
                       static_cast<int>(inRight - attributes.begin())});
  }
  std::vector<std::array<int, 2>> differing;
  int kept = 0;
  for (std::size_t i = 0; i < want.built.rows.size(); ++i) {
    const Cells& row = want.built.rows[i];
    bool agrees = true;
    for (std::size_t k = 0; k < columns.size(); ++k) {
      if (row[columns[k][0]] == row[columns[k][1]]) continue;
      differing.push_back({static_cast<int>(i), static_cast<int>(k)});
      agrees = false;
    }
    kept += agrees ? 1 : 0;
  }
  EXPECT_EQ(got.sharedFacts.columns, columns);
  EXPECT_EQ(got.sharedFacts.differing, differing);
  EXPECT_EQ(got.sharedFacts.keptByAllShared, kept);
}

// The first two adjacent rows of `rows` that cells compared one by one would
// put the other way round.
std::optional<std::array<int, 2>> cellOrderBreak(const std::vector<Cells>& rows) {
  for (std::size_t r = 0; r + 1 < rows.size(); ++r) {
    if (rows[r + 1] < rows[r])
      return std::array<int, 2>{static_cast<int>(r), static_cast<int>(r + 1)};
  }
  return std::nullopt;
}

// Runs the whole program on the input `tables` make with `joinList` and
// checks its facts against the reference; returns the result's rows that
// stand for more than one joined row, or -1 when the run stopped.
// What a run showed of the facts that often stay empty.
struct Exercised {
  int differing = 0;   // joined rows that differ on a shared name
  int byteOrders = 0;  // results whose order as texts is not that cell by cell
};

int checkRun(const std::vector<std::string>& joinList, const std::vector<Table>& tables,
             Exercised* exercised = nullptr) {
  const test::ScratchDirectory directory;
  const std::filesystem::path inputPath = directory.path() / "input";
  const std::filesystem::path outputPath = directory.path() / "output";
  std::ofstream(inputPath, std::ios::binary) << inputOf(joinList, tables);
  std::ostringstream console;
  KeepingExplainer kept;
  const std::array<Argument, 3> args = {"joinrel", inputPath.c_str(), outputPath.c_str()};
  runJoinrel(
      args, console, console, [] {}, kept);
  if (kept.stopped) return -1;

  // The relations the join list stands for: the first of each name.
  std::vector<std::int64_t> chain;
  for (const std::string& name : joinList) {
    const auto first = std::find_if(tables.begin(), tables.end(),
                                    [&](const Table& table) { return table.name == name; });
    chain.push_back(first - tables.begin());
  }
  EXPECT_EQ(kept.explainer.joinList(), chain);
  const std::vector<StepFacts>& steps = kept.explainer.steps();
  EXPECT_EQ(steps.size() + 1, std::max<std::size_t>(chain.size(), 1));
  std::vector<ReferenceStep> reference;
  Table sofar = tables[chain[0]];
  // The join list place each column of the chain built so far comes from.
  std::vector<int> places(sofar.attributes.size(), 0);
  for (std::size_t s = 0; s + 1 < chain.size() && s < steps.size(); ++s) {
    SCOPED_TRACE(testing::Message() << "step " << s + 1);
    const Table& right = tables[chain[s + 1]];
    reference.push_back(referenceStep(sofar, right));
    const ReferenceStep& want = reference.back();
    const StepFacts& got = steps[s];
    EXPECT_EQ(got.leftRelation, s == 0 ? chain[0] : -1);
    EXPECT_EQ(got.rightRelation, chain[s + 1]);
    EXPECT_EQ(got.key ? got.key->left : -1, want.leftKey);
    EXPECT_EQ(got.key ? got.key->right : -1, want.rightKey);
    EXPECT_EQ(got.lineage.pairs, want.pairs);
    EXPECT_EQ(got.lineage.unmatchedLeft, want.unmatchedLeft);
    EXPECT_EQ(got.lineage.unmatchedRight, want.unmatchedRight);
    EXPECT_EQ(got.shared, want.shared);
    checkSharedNameFacts(got, want, sofar.attributes.size());
    for (std::size_t j = 0; j < right.attributes.size(); ++j) {
      if (static_cast<int>(j) != want.rightKey) places.push_back(static_cast<int>(s + 1));
    }
    EXPECT_EQ(got.columnPlaces, places);
    if (exercised != nullptr) {
      exercised->differing += static_cast<int>(got.sharedFacts.differing.size());
    }
    // Each joined row's text is that of the row the step built for it: in
    // the last step, which builds each distinct row once, in result's
    // column order.
    const bool last = s + 2 == chain.size();
    const std::vector<std::size_t> order =
        last ? byName(want.built.attributes) : permutedIdentity(want.built.attributes.size());
    const std::vector<int> builtRows = builtRowsOf(got.lineage);
    for (std::size_t i = 0; i < builtRows.size() && i < want.built.rows.size(); ++i) {
      const std::string& text = kept.built[s].at(static_cast<std::size_t>(builtRows[i]));
      if (text == joined(permuted(want.built.rows[i], order))) continue;
      ADD_FAILURE() << "joined row " << i << ": " << text;
      break;
    }
    sofar = want.built;
  }

  // Result: the distinct rows of the last step (or of the one relation) in
  // name order, each standing for the joined rows equal to it.
  const std::optional<TidyFacts>& tidy = kept.explainer.tidy();
  if (chain.empty()) {
    EXPECT_FALSE(tidy);
    return 0;
  }
  if (!tidy) {
    ADD_FAILURE() << "no tidy facts";
    return 0;
  }
  const std::vector<std::size_t> order = byName(sofar.attributes);
  std::map<std::string, std::vector<int>> sourcesByText;
  for (std::size_t i = 0; i < sofar.rows.size(); ++i) {
    sourcesByText[joined(permuted(sofar.rows[i], order))].push_back(static_cast<int>(i));
  }
  EXPECT_EQ(tidy->relation, chain.size() == 1 ? chain[0] : -1);
  EXPECT_EQ(tidy->byteOrder, cellOrderBreak(kept.resultRows));
  if (exercised != nullptr) exercised->byteOrders += tidy->byteOrder ? 1 : 0;
  EXPECT_EQ(tidy->lineage.columns, order);
  EXPECT_EQ(tidy->lineage.rowEnds.size(), sourcesByText.size());
  EXPECT_EQ(kept.resultRows.size(), sourcesByText.size());
  int merged = 0;
  std::size_t row = 0;
  for (const auto& [text, sources] : sourcesByText) {
    if (row >= tidy->lineage.rowEnds.size() || row >= kept.resultRows.size()) break;
    EXPECT_EQ(joined(kept.resultRows[row]), text);
    const std::span<const int> got = sourcesOf(tidy->lineage, row);
    EXPECT_EQ(std::vector<int>(got.begin(), got.end()), sources) << "result row " << row;
    merged += sources.size() > 1 ? 1 : 0;
    // Back through every step: a joined row is its left row, from the step
    // before or the first relation, then its right row without the key.
    for (const int source : got) {
      int at = source;
      Cells tail;
      for (std::size_t s = steps.size(); s-- > 0;) {
        const RowPair pair = steps[s].lineage.pairs.at(static_cast<std::size_t>(at));
        Cells right = tables[chain[s + 1]].rows.at(static_cast<std::size_t>(pair.right));
        if (reference[s].rightKey != -1) right.erase(right.begin() + reference[s].rightKey);
        tail.insert(tail.begin(), right.begin(), right.end());
        at = pair.left;
      }
      Cells whole = tables[chain[0]].rows.at(static_cast<std::size_t>(at));
      whole.insert(whole.end(), tail.begin(), tail.end());
      EXPECT_EQ(joined(permuted(whole, order)), text) << "result row " << row << " traced back";
    }
    ++row;
  }
  return merged;
}

constexpr std::array<const char*, 5> kCells = {"1", "2", "", "x", "1 "};
constexpr std::array<const char*, 5> kAttributes = {"a", "b", "c", "k", "B"};
constexpr std::array<const char*, 3> kNames = {"R", "S", "T"};

// A table of 1 to 4 attributes from a few names and up to 40 rows from a
// few cells, so that rows repeat and steps join, multiply or fail.
Table randomTable(std::mt19937& rng, const std::string& name) {
  const auto pick = [&](std::size_t size) {
    return static_cast<std::size_t>(
        std::uniform_int_distribution<int>(0, static_cast<int>(size) - 1)(rng));
  };
  Table table{name, {}, {}};
  const std::size_t width = 1 + pick(4);  // a row of no cells, or of one empty cell, ends the block
  for (std::size_t k = 0; k < width; ++k)
    table.attributes.emplace_back(kAttributes[pick(kAttributes.size())]);
  const std::size_t rows = pick(41);
  const std::size_t variety = 1 + pick(kCells.size());
  for (std::size_t r = 0; r < rows; ++r) {
    Cells row;
    for (std::size_t k = 0; k < width; ++k) row.emplace_back(kCells[pick(variety)]);
    if (width == 1 && row[0].empty()) row[0] = "x";
    table.rows.push_back(row);
  }
  return table;
}

TEST(ExplainTest, FactsOfRandomChainsMatchTheBruteForce) {
  int runs = 0;
  int merged = 0;
  Exercised exercised;
  for (unsigned seed = 1; seed <= 100; ++seed) {
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    // R, S, T, one more R that the join list never reaches, and U unnamed.
    std::vector<Table> tables;
    for (const char* name : kNames) tables.push_back(randomTable(rng, name));
    tables.push_back(randomTable(rng, "R"));
    tables.push_back(randomTable(rng, "U"));
    std::shuffle(tables.begin(), tables.end(), rng);
    std::vector<std::string> joinList;
    const std::size_t length = 1 + rng() % 4;
    for (std::size_t i = 0; i < length; ++i) joinList.emplace_back(kNames[rng() % kNames.size()]);
    const int got = checkRun(joinList, tables, &exercised);
    if (got >= 0) {
      ++runs;
      merged += got;
    }
    ASSERT_FALSE(HasFailure());
  }
  EXPECT_GT(runs, 60);    // most chains stay within the limits
  EXPECT_GT(merged, 30);  // repeats merge into one result row
  EXPECT_GT(exercised.differing, 30);
  EXPECT_GT(exercised.byteOrders, 3);
}

// 10,000 rows a relation: a shuffled one-to-one join whose rows pair far from
// their own index, then a product with two equal rows, every row of which
// merges in result.
TEST(ExplainTest, FactsOfTenThousandRowsMatchTheBruteForce) {
  std::mt19937 rng(7);
  std::vector<int> keys(MAX_ROWS / 2);
  for (std::size_t i = 0; i < keys.size(); ++i) keys[i] = static_cast<int>(i);
  Table a{"A", {"k", "a"}, {}};
  Table b{"B", {"b", "k"}, {}};
  for (const int key : keys) a.rows.push_back({std::to_string(key), std::to_string(key % 7)});
  std::shuffle(keys.begin(), keys.end(), rng);
  for (const int key : keys) b.rows.push_back({std::to_string(key % 3), std::to_string(key)});
  const std::vector<Cells> once = a.rows;
  a.rows.insert(a.rows.end(), once.begin(), once.end());  // every row twice
  const Table c{"C", {"c"}, {{"z"}, {"z"}}};
  std::vector<Table> tables = {c, a, b};
  EXPECT_GT(checkRun({"A", "B"}, tables), 0);
  tables[1].rows.resize(MAX_ROWS / 4);
  EXPECT_GT(checkRun({"A", "B", "C"}, tables), 0);
}

}  // namespace
}  // namespace joinrel
