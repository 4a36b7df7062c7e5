// Randomized differential tests: the pairwise join and the normalisation
// against literal versions over plain tables (nested loops, exchange sorts and
// the shifting duplicate scan, with their exact pass counts).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <numeric>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "join/join.h"
#include "test_support.h"

namespace joinrel {
namespace {

struct TableAttribute {
  Name name;
  std::string type;
  bool operator==(const TableAttribute&) const = default;
};

struct Table {
  Name name;
  std::vector<TableAttribute> attributes;
  std::vector<std::vector<std::string>> rows;
  bool operator==(const Table&) const = default;
};

Table toTable(const Relation& relation) {
  Table table{relation.name, {}, {}};
  for (const auto& a : relation.attributes) table.attributes.push_back({a.name, a.type});
  for (int r = 0; r < relation.rowCount(); ++r) {
    const std::vector<std::string_view> cells = test::cellsOf(relation, r);
    table.rows.emplace_back(cells.begin(), cells.end());
  }
  return table;
}

std::string describe(const Table& table) {
  std::string text = "[" + std::string(table.name.data(), table.name.size()) + "]";
  for (const auto& a : table.attributes) {
    text += " [" + std::string(a.name.data(), a.name.size()) + "]:" + a.type;
  }
  for (const auto& row : table.rows) {
    text += "\n";
    for (const auto& cell : row) text += "[" + cell + "]";
  }
  return text;
}

// True when `a` sorts after `b`: bytes compare as unsigned, a prefix first.
bool greater(std::string_view a, std::string_view b) {
  for (std::size_t k = 0; k < a.size() && k < b.size(); ++k) {
    if (a[k] != b[k]) return static_cast<unsigned char>(a[k]) > static_cast<unsigned char>(b[k]);
  }
  return a.size() > b.size();
}

// The nested-loop search and join, spelled out.
bool literalSearch(const Table& left, const Table& right, int& lA, int& rA) {
  for (int i = 0; i < static_cast<int>(left.attributes.size()); ++i) {
    for (int j = 0; j < static_cast<int>(right.attributes.size()); ++j) {
      if (nameToString(left.attributes[i].name) == nameToString(right.attributes[j].name)) {
        lA = i;
        rA = j;
        return true;
      }
    }
  }
  return false;
}

Table literalJoin(const Table& left, const Table& right, bool found, int lA, int rA) {
  Table out{blankName(), left.attributes, {}};
  for (int j = 0; j < static_cast<int>(right.attributes.size()); ++j) {
    if (!found || j != rA) out.attributes.push_back(right.attributes[j]);
  }
  for (const auto& l : left.rows) {
    for (const auto& r : right.rows) {
      if (found && l[lA] != r[rA]) continue;
      std::vector<std::string> row = l;
      for (int j = 0; j < static_cast<int>(r.size()); ++j) {
        if (!found || j != rA) row.push_back(r[j]);
      }
      out.rows.push_back(row);
    }
  }
  return out;
}

// The exchange sorts and the shifting duplicate scan, spelled out.
void literalNormalize(Table& t) {
  const int n = static_cast<int>(t.attributes.size());
  int r = static_cast<int>(t.rows.size());
  for (int pass = 0; pass < n; ++pass) {
    for (int j = 0; j <= n - 2; ++j) {
      if (greater(nameToString(t.attributes[j].name), nameToString(t.attributes[j + 1].name))) {
        std::swap(t.attributes[j], t.attributes[j + 1]);
        for (int row = 0; row < r; ++row) std::swap(t.rows[row][j], t.rows[row][j + 1]);
      }
    }
  }
  std::vector<std::string> keys(r);
  for (int row = 0; row < r; ++row) {
    for (int c = 0; c < n; ++c) keys[row] += (c > 0 ? "," : "") + t.rows[row][c];
  }
  int i = 0, j = 1;
  bool removed = false;
  while (i < r) {
    while (j < r) {
      if (keys[j] == keys[i] && j != i) {
        for (int m = j + 1; m <= r - 1; ++m) {
          t.rows[m - 1] = t.rows[m];
          keys[m - 1] = keys[m];
        }
        --r;
        removed = true;
        break;
      }
      ++j;
    }
    if (removed) {
      removed = false;
    } else {
      ++i;
    }
    j = i;
  }
  t.rows.resize(r);
  for (int pass = 0; pass < r; ++pass) {
    for (int k = 0; k <= r - 2; ++k) {
      if (greater(keys[k], keys[k + 1])) {
        std::swap(t.rows[k], t.rows[k + 1]);
        std::swap(keys[k], keys[k + 1]);
      }
    }
  }
}

constexpr std::string_view kCells[] = {"1",        "01",   "10",   "",    "New",
                                       "New York", "New!", "New+", " ",   "x",
                                       "\xc3\xa9", "\xff", "X",    "a b", "New York!"};
constexpr std::string_view kNames[] = {"A", "B", "AB", "a", "A x", "\xc3\xa9", "Z"};
constexpr std::string_view kOtherNames[] = {"P", "Q", "p"};
constexpr std::string_view kTypes[] = {"", "int", " x", "char(3)"};

Relation randomRelation(std::mt19937& rng, std::span<const std::string_view> names,
                        std::string_view name, int maxRows = 30) {
  const auto pick = [&](int size) { return std::uniform_int_distribution<int>(0, size - 1)(rng); };
  Relation relation;
  relation.name = stringToName(name);
  const int attributes = pick(6);
  for (int a = 0; a < attributes; ++a) {
    relation.attributes.push_back({stringToName(names[pick(static_cast<int>(names.size()))]),
                                   std::string(kTypes[pick(std::size(kTypes))])});
  }
  const int rows = pick(maxRows + 1);
  const int variety = 1 + pick(std::size(kCells));  // few kinds of cell: many repeats
  std::vector<std::string_view> cells(attributes);
  RowBuilder builder;
  for (int r = 0; r < rows; ++r) {
    for (auto& cell : cells) cell = kCells[pick(variety)];
    test::appendRow(builder, cells);
  }
  builder.moveRowsInto(relation);
  return relation;
}

// Calls `check` with 300 seeded random left operands, each paired with a
// right operand that shares attribute names with it and with one that shares
// none, under a trace that names the seed and the pair.
void forEachRandomPair(const std::function<void(const Relation&, const Relation&)>& check) {
  for (unsigned seed = 1; seed <= 300; ++seed) {
    std::mt19937 rng(seed);
    const Relation left = randomRelation(rng, kNames, "L");
    const Relation shared = randomRelation(rng, kNames, "R");
    const Relation disjoint = randomRelation(rng, kOtherNames, "S");
    for (const Relation* right : {&shared, &disjoint}) {
      SCOPED_TRACE(testing::Message() << "seed " << seed << ", right " << right->name[0]);
      check(left, *right);
      if (testing::Test::HasFatalFailure()) return;
    }
  }
}

TEST(JoinRandomTest, JoinPairMatchesTheNestedLoopJoin) {
  int naturalJoins = 0;
  forEachRandomPair([&](const Relation& left, const Relation& right) {
    const JoinKey key = findCommonAttribute(left, right);
    int lA = -1, rA = -1;
    ASSERT_EQ(key.has_value(), literalSearch(toTable(left), toTable(right), lA, rA));
    ASSERT_EQ(key ? key->left : -1, lA);
    ASSERT_EQ(key ? key->right : -1, rA);
    naturalJoins += key.has_value();
    const Table got = toTable(joinPair(left, right, key));
    const Table want = literalJoin(toTable(left), toTable(right), key.has_value(), lA, rA);
    ASSERT_TRUE(got == want) << "got:\n" << describe(got) << "\nwant:\n" << describe(want);
  });
  EXPECT_GT(naturalJoins, 100);  // the seeds exercise both kinds of step
}

// The last step of a chain lays its rows out in result's column order and
// builds every joined row (when the steps are watched) or each distinct one
// once; the normalisation then only sorts and drops repeats. Either way they
// must give what the literal join and the exchange sorts give.
TEST(JoinRandomTest, LastStepInResultOrderThenNormalizeMatchesTheLiteralVersions) {
  int duplicates = 0;
  forEachRandomPair([&](const Relation& left, const Relation& right) {
    const JoinKey key = findCommonAttribute(left, right);
    Table want = literalJoin(toTable(left), toTable(right), key.has_value(), key ? key->left : -1,
                             key ? key->right : -1);
    want.name = stringToName("result");
    const std::size_t joinedRows = want.rows.size();
    literalNormalize(want);
    duplicates += static_cast<int>(joinedRows - want.rows.size());
    for (const RowSet rows : {RowSet::all, RowSet::distinct}) {
      SCOPED_TRACE(rows == RowSet::all ? "every row" : "distinct rows");
      Relation got = joinPair(left, right, key, {.order = ColumnOrder::byName, .rows = rows});
      got.name = stringToName("result");
      normalizeResult(got);
      const Table gotTable = toTable(got);
      ASSERT_TRUE(gotTable == want) << "got:\n"
                                    << describe(gotTable) << "\nwant:\n"
                                    << describe(want);
    }
  });
  EXPECT_GT(duplicates, 10000);  // most joined rows are repeats
}

// Keeps the rows the recorder hears, to tell whether it heard any.
class CountingRecorder final : public RowRecorder {
 public:
  void sameTexts(std::span<const int> /*left*/, std::span<const int> /*right*/) noexcept override {}
  void joined(int /*left*/, int /*right*/) noexcept override { ++heard; }
  void leftUnmatched(int /*left*/) noexcept override { ++heard; }
  void rightUnmatched(int /*right*/) noexcept override { ++heard; }
  int heard = 0;
};

// Tells the steps' rows to a recorder, when it has one, and keeps the steps'
// outcomes as tables, when it reads them.
class StepsTold final : public JoinSink {
 public:
  explicit StepsTold(RowRecorder* recorder, bool readsRows = false)
      : recorder_(recorder), readsRows_(readsRows) {}
  RowRecorder* recorder() override { return recorder_; }
  bool readsStepRows() const override { return readsRows_; }
  void stepBuilt(const JoinStep& step) override {
    if (readsRows_) built.push_back(toTable(step.built));
  }
  std::vector<Table> built;

 private:
  RowRecorder* recorder_;
  bool readsRows_;
};

// A chain's result is what the literal joins and the exchange sorts give,
// whether a recorder hears the steps or not (the last step builds each
// distinct row once, in result's column order, either way). Chains of two
// and of three relations, the left operand named twice in the longer one.
TEST(JoinRandomTest, ChainsWithAndWithoutARecorderGiveTheLiteralResult) {
  int heard = 0;
  forEachRandomPair([&](const Relation& left, const Relation& right) {
    const std::vector<Relation> relations = {left, right};
    const Attribute leftName{left.name, ""};
    const Attribute rightName{right.name, ""};
    for (const std::vector<Attribute>& joinList :
         {std::vector<Attribute>{leftName, rightName},
          std::vector<Attribute>{leftName, rightName, leftName}}) {
      SCOPED_TRACE(testing::Message() << joinList.size() << " relations");
      Table chain = toTable(left);
      bool tooLarge = false;
      for (std::size_t s = 1; s < joinList.size(); ++s) {
        const Table next = toTable(s == 1 ? right : left);
        int lA = -1, rA = -1;
        const bool found = literalSearch(chain, next, lA, rA);
        chain = literalJoin(chain, next, found, lA, rA);
        tooLarge = tooLarge || chain.rows.size() > MAX_ROWS;
      }
      CountingRecorder recorder;
      StepsTold unwatched(nullptr);
      StepsTold watched(&recorder);
      if (tooLarge) {
        test::expectFatal([&] { joinAll(relations, joinList, unwatched); },
                          "Tul nagy az eredmeny: L!");
        continue;
      }
      if (chain.rows.size() > 200) continue;  // the exchange sorts take quadratic time
      Table want = chain;
      want.name = stringToName("result");
      literalNormalize(want);
      for (StepsTold* sink : {&unwatched, &watched}) {
        Relation result = joinAll(relations, joinList, *sink);
        normalizeResult(result);
        const Table got = toTable(result);
        ASSERT_TRUE(got == want) << "got:\n" << describe(got) << "\nwant:\n" << describe(want);
      }
      heard += recorder.heard;
    }
  });
  EXPECT_GT(heard, 10000);  // the recorder heard the rows
}

// Chains of three to five names drawn from three relations, one name often
// twice: products in the middle, steps that build nothing, relations of one
// attribute or none, which lend a step no cell. Each step a sink reads is the
// literal join so far, row for row, and the result is the literal one,
// whether the steps are read, told to a recorder, both or neither.
TEST(JoinRandomTest, LongerChainsGiveTheLiteralStepsAndResult) {
  int checked = 0;
  for (unsigned seed = 1; seed <= 400; ++seed) {
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    const std::vector<Relation> relations = {randomRelation(rng, kNames, "A", 8),
                                             randomRelation(rng, kNames, "B", 8),
                                             randomRelation(rng, kOtherNames, "C", 8)};
    const auto pick = [&](int size) {
      return std::uniform_int_distribution<int>(0, size - 1)(rng);
    };
    std::vector<Attribute> joinList(static_cast<std::size_t>(3 + pick(3)));
    for (Attribute& entry : joinList)
      entry.name = relations[static_cast<std::size_t>(pick(3))].name;
    std::vector<Table> steps;
    Table chain = toTable(relations[static_cast<std::size_t>(joinList[0].name[0] - 'A')]);
    for (std::size_t s = 1; s < joinList.size() && chain.rows.size() <= 1000; ++s) {
      const Relation& right = relations[static_cast<std::size_t>(joinList[s].name[0] - 'A')];
      int lA = -1, rA = -1;
      const bool found = literalSearch(chain, toTable(right), lA, rA);
      chain = literalJoin(chain, toTable(right), found, lA, rA);
      chain.name = blankName();
      steps.push_back(chain);
    }
    if (chain.rows.size() > 200 || steps.size() + 1 < joinList.size()) continue;  // see above
    Table want = chain;
    want.name = stringToName("result");
    literalNormalize(want);
    CountingRecorder recorder;
    StepsTold neither(nullptr);
    StepsTold read(&recorder, true);
    StepsTold told(&recorder);
    for (StepsTold* sink : {&neither, &read, &told}) {
      Relation result = joinAll(relations, joinList, *sink);
      normalizeResult(result);
      const Table got = toTable(result);
      ASSERT_TRUE(got == want) << "got:\n" << describe(got) << "\nwant:\n" << describe(want);
    }
    ASSERT_EQ(read.built.size(), steps.size());
    for (std::size_t s = 0; s + 1 < steps.size(); ++s) {
      ASSERT_TRUE(read.built[s] == steps[s]) << "step " << s + 1 << " got:\n"
                                             << describe(read.built[s]) << "\nwant:\n"
                                             << describe(steps[s]);
    }
    ++checked;
  }
  EXPECT_GT(checked, 200);  // most chains stay small enough to check
}

TEST(JoinRandomTest, NormalizeMatchesTheExchangeSorts) {
  int removals = 0;
  for (unsigned seed = 1; seed <= 300; ++seed) {
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    Relation relation = randomRelation(rng, kNames, "result");
    Table want = toTable(relation);
    literalNormalize(want);
    removals += relation.rowCount() - static_cast<int>(want.rows.size());
    normalizeResult(relation);
    const Table got = toTable(relation);
    ASSERT_TRUE(got == want) << "got:\n" << describe(got) << "\nwant:\n" << describe(want);
  }
  EXPECT_GT(removals, 300);  // duplicates are common enough to matter
}

}  // namespace
}  // namespace joinrel
