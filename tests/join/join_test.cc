#include <gtest/gtest.h>

#include <deque>
#include <new>
#include <string>
#include <vector>

#include "join/join.h"
#include "output/output.h"
#include "test_support.h"

namespace joinrel {
namespace {

using test::attr;
using test::describe;
using test::expectFatal;
using test::makeRelation;

// Hears the steps of a chain and keeps nothing of them.
class IgnoredSteps : public JoinSink {
 public:
  void stepBuilt(const JoinStep&) override {}
};

struct SearchCase {
  const char* label;
  std::vector<const char*> left, right;
  int leftIndex, rightIndex;  // -1, -1: none shared
};

TEST(JoinKeyTest, FindsTheFirstCommonAttribute) {
  const std::vector<SearchCase> cases = {
      {"left order decides", {"A", "B"}, {"B", "A"}, 0, 1},
      {"first right of that name", {"X", "Id"}, {"Id", "Y", "Id"}, 1, 0},
      {"case matters", {"Id"}, {"ID"}, -1, -1},
      {"a prefix is not equal", {"Dept"}, {"DeptId"}, -1, -1},
      {"name read up to its blank", {"Id junk"}, {"Q", "Id"}, 0, 1},
      {"no left attributes", {}, {"A"}, -1, -1},
      {"no right attributes", {"A"}, {}, -1, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    Relation left, right;
    for (const char* n : c.left) left.attributes.push_back(attr(n, "int"));
    for (const char* n : c.right) right.attributes.push_back(attr(n, "text"));
    const JoinKey key = findCommonAttribute(left, right);
    EXPECT_EQ(key ? key->left : -1, c.leftIndex);
    EXPECT_EQ(key ? key->right : -1, c.rightIndex);
  }
}

struct PairCase {
  const char* label;
  Relation left, right, expected;
};

const Relation kEmp = makeRelation("Emp", {attr("Name", "text"), attr("DeptId", "int")},
                                   {{"Anna", "1"}, {"Bela", "2"}, {"Cili", "1"}});
const Relation kDept = makeRelation("Dept", {attr("DeptId", "text"), attr("DeptName", "text")},
                                    {{"1", "Sales"}, {"2", "IT"}, {"3", "HR"}});
const Relation kEmpDept =
    makeRelation("", {attr("Name", "text"), attr("DeptId", "int"), attr("DeptName", "text")},
                 {{"Anna", "1", "Sales"}, {"Bela", "2", "IT"}, {"Cili", "1", "Sales"}});

TEST(JoinPairTest, JoinsOnTheKeyOrMultiplies) {
  const std::vector<PairCase> cases = {
      {"natural join keeps the left type", kEmp, kDept, kEmpDept},
      {"product", kEmpDept,
       makeRelation("Proj", {attr("Code"), attr("Title")}, {{"P1", "Alpha"}, {"P2", "Beta"}}),
       makeRelation("",
                    {attr("Name", "text"), attr("DeptId", "int"), attr("DeptName", "text"),
                     attr("Code"), attr("Title")},
                    {{"Anna", "1", "Sales", "P1", "Alpha"},
                     {"Anna", "1", "Sales", "P2", "Beta"},
                     {"Bela", "2", "IT", "P1", "Alpha"},
                     {"Bela", "2", "IT", "P2", "Beta"},
                     {"Cili", "1", "Sales", "P1", "Alpha"},
                     {"Cili", "1", "Sales", "P2", "Beta"}})},
      {"left without rows", makeRelation("L", {attr("A"), attr("B")}, {}), kDept,
       makeRelation("", {attr("A"), attr("B"), attr("DeptId", "text"), attr("DeptName", "text")},
                    {})},
      {"right without rows, natural", kEmp, makeRelation("D", {attr("X"), attr("DeptId")}, {}),
       makeRelation("", {attr("Name", "text"), attr("DeptId", "int"), attr("X")}, {})},
      {"right without rows, product", kEmp, makeRelation("P", {attr("X")}, {}),
       makeRelation("", {attr("Name", "text"), attr("DeptId", "int"), attr("X")}, {})},
      {"right holds only the join attribute",
       makeRelation("L", {attr("A"), attr("B")}, {{"1", "x"}, {"2", "y"}, {"1", "z"}}),
       makeRelation("R", {attr("A", "int")}, {{"1"}, {"3"}, {"1"}}),
       makeRelation("", {attr("A"), attr("B")}, {{"1", "x"}, {"1", "x"}, {"1", "z"}, {"1", "z"}})},
      {"right without attributes", makeRelation("L", {attr("A")}, {{"1"}, {"2"}}),
       makeRelation("R", {}, {{}, {}}),
       makeRelation("", {attr("A")}, {{"1"}, {"1"}, {"2"}, {"2"}})},
      {"left without attributes", makeRelation("L", {}, {{}, {}}),
       makeRelation("R", {attr("A")}, {{"1"}, {"2"}}),
       makeRelation("", {attr("A")}, {{"1"}, {"2"}, {"1"}, {"2"}})},
      {"cells compare as exact text", makeRelation("L", {attr("K")}, {{"1"}, {"abc"}, {""}}),
       makeRelation("R", {attr("K"), attr("V")},
                    {{"01", "a"}, {"ABC", "b"}, {"1", "c"}, {"1 ", "d"}, {"", "e"}}),
       makeRelation("", {attr("K"), attr("V")}, {{"1", "c"}, {"", "e"}})},
      {"only the first common attribute is compared",
       makeRelation("L", {attr("A"), attr("B")}, {{"1", "x"}, {"2", "y"}}),
       makeRelation("R", {attr("B"), attr("A")}, {{"x", "1"}, {"z", "2"}, {"y", "3"}}),
       makeRelation("", {attr("A"), attr("B"), attr("B")}, {{"1", "x", "x"}, {"2", "y", "z"}})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const Relation got = joinPair(c.left, c.right, findCommonAttribute(c.left, c.right));
    EXPECT_EQ(got.name, blankName());
    EXPECT_EQ(describe(got), describe(c.expected));
    EXPECT_EQ(got.rows, c.expected.rows);
  }
}

struct SizeCase {
  int leftAttributes, rightAttributes;
  bool common;  // right attribute 0 carries the name of left attribute 0
  int leftRows, rightRows;
  bool distinctKeys;  // key cells are row numbers, else all "k"
  bool refused;
};

TEST(JoinPairTest, RefusesAnOutputBeyondTheRecord) {
  const std::vector<SizeCase> cases = {
      {25, 25, false, 1, 1, false, false},      {26, 25, false, 1, 1, false, true},
      {26, 25, true, 1, 1, false, false},       {26, 26, true, 1, 1, false, true},
      {1, 1, false, 100, 100, false, false},    {1, 1, false, 100, 101, false, true},
      {1, 1, false, 10000, 10000, false, true}, {1, 0, false, 10001, 1, false, true},
      {1, 1, true, 100, 100, false, false},     {1, 1, true, 101, 100, false, true},
      {1, 1, true, 73, 137, false, true},  // 10001 rows, one past the record
      {2, 2, true, 10000, 10000, false, true},  {2, 2, true, 10000, 10000, true, false},
  };
  std::deque<std::string> numbers;
  for (int i = 0; i < 10001; ++i) numbers.push_back(std::to_string(i));
  const auto build = [&](std::string_view name, char prefix, int attributes, int rows,
                         bool distinct) {
    Relation relation;
    relation.name = stringToName(name);
    for (int a = 0; a < attributes; ++a) {
      relation.attributes.push_back(attr(prefix + std::to_string(a)));
    }
    std::vector<std::string_view> cells(attributes, "v");
    RowBuilder builder;
    for (int r = 0; r < rows; ++r) {
      if (attributes > 0) cells[0] = distinct ? std::string_view(numbers[r]) : "k";
      test::appendRow(builder, cells);
    }
    builder.moveRowsInto(relation);
    return relation;
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.leftAttributes << "+" << c.rightAttributes << " attributes, " << c.leftRows
                 << "x" << c.rightRows << " rows, common " << c.common);
    const Relation left = build("Left", 'L', c.leftAttributes, c.leftRows, c.distinctKeys);
    Relation right = build("Right", 'R', c.rightAttributes, c.rightRows, c.distinctKeys);
    if (c.common) right.attributes[0].name = left.attributes[0].name;
    const JoinKey key = findCommonAttribute(left, right);
    ASSERT_EQ(key.has_value(), c.common);
    if (c.refused) {
      expectFatal([&] { joinPair(left, right, key); }, "Tul nagy az eredmeny: Right!");
      continue;
    }
    const Relation got = joinPair(left, right, key);
    EXPECT_EQ(got.attributeCount(), c.leftAttributes + c.rightAttributes - (c.common ? 1 : 0));
    EXPECT_EQ(got.rowCount(), c.common && c.distinctKeys ? c.leftRows : c.leftRows * c.rightRows);
  }
}

struct ChainCase {
  const char* label;
  std::vector<Relation> relations;
  std::vector<const char*> joinList;
  std::string expected;
};

// Text sizes add up in 64 bits whatever size_t is: on a platform whose size_t
// is 32 bits wide (here a limit of 2^32 - 1 bytes stands for it), a step of
// 10000 rows of a 430,000-byte cell is refused as memory running out instead
// of wrapping to a small size and writing past it; built each distinct row
// once, the same step fits. Natively the whole step would take 4.3 GB.
TEST(JoinPairTest, SizesPastWhatSizeTHoldsAreRefusedAsMemoryRunningOut) {
  constexpr TextSize k32BitLimit = (TextSize{1} << 32) - 1;
  EXPECT_EQ(memorySize(k32BitLimit, k32BitLimit), k32BitLimit);
  EXPECT_THROW(memorySize(k32BitLimit + 1, k32BitLimit), std::bad_alloc);
  const std::string cell(430000, 'x');
  const test::Rows ones(10000, {"1"});
  const struct {
    const char* label;
    Relation left;
    Relation right;
    std::size_t distinctRowSize;
  } cases[] = {
      {"product", makeRelation("A", {attr("a")}, {{cell}}), makeRelation("B", {attr("b")}, ones),
       cell.size() + 2},
      {"join", makeRelation("A", {attr("k"), attr("a")}, {{"1", cell}}),
       makeRelation("B", {attr("k")}, ones), cell.size() + 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const JoinKey key = findCommonAttribute(c.left, c.right);
    EXPECT_THROW(joinPair(c.left, c.right, key, {.sizeLimit = k32BitLimit}), std::bad_alloc);
    const Relation distinct =
        joinPair(c.left, c.right, key, {.rows = RowSet::distinct, .sizeLimit = k32BitLimit});
    ASSERT_EQ(distinct.rowCount(), 1);
    EXPECT_EQ(distinct.rows[0].size(), c.distinctRowSize);
  }
}

// result as the driver writes it: normalised, then written.
TEST(JoinAllTest, BuildsResult) {
  const Relation proj =
      makeRelation("Proj", {attr("Code"), attr("Title")}, {{"P1", "Alpha"}, {"P2", "Beta"}});
  const Relation emp = makeRelation("Emp", {attr("Name"), attr("DeptId")},
                                    {{"Anna", "1"}, {"Bela", "2"}, {"Cili", "1"}});
  const Relation dept = makeRelation("Dept", {attr("DeptId"), attr("DeptName")},
                                     {{"1", "Sales"}, {"2", "IT"}, {"3", "HR"}});
  const Relation staff = makeRelation("Staff", {attr("Name"), attr("Code")}, {{"Anna", "P1"}});
  const Relation r =
      makeRelation("R", {attr("A"), attr("B")}, {{"1", "x"}, {"1", "y"}, {"2", "z"}});
  const std::vector<ChainCase> cases = {
      {"join then product",
       {proj, emp, dept, staff},
       {"Emp", "Dept", "Proj"},
       "result(Code,DeptId,DeptName,Name,Title)\n\n"
       "P1,1,Sales,Anna,Alpha\nP1,1,Sales,Cili,Alpha\nP1,2,IT,Bela,Alpha\n"
       "P2,1,Sales,Anna,Beta\nP2,1,Sales,Cili,Beta\nP2,2,IT,Bela,Beta\n"},
      {"typed columns and a duplicate row",
       {makeRelation("Emp", {attr("name", "char(20)"), attr("dept", "int")},
                     {{"Cili", "1"}, {"Anna", "1"}, {"Bela", "2"}, {"Cili", "1"}}),
        makeRelation("Note", {attr("text")}, {{"hello world"}}),
        makeRelation("Dept", {attr("dept", "int"), attr("title")},
                     {{"1", "Sales"}, {"2", "Audit"}, {"3", "Legal"}})},
       {"Emp", "Dept"},
       "result(dept int, name char(20), title)\n1,Anna,Sales\n1,Cili,Sales\n2,Bela,Audit\n"},
      {"self-join", {r}, {"R", "R"}, "result(A,B,B)\n\n1,x,x\n1,x,y\n1,y,x\n1,y,y\n2,z,z\n"},
      {"a name joined twice",
       {makeRelation("R", {attr("A"), attr("B")}, {{"1", "x"}, {"1", "y"}}),
        makeRelation("S", {attr("B"), attr("C")}, {{"x", "p"}, {"y", "q"}})},
       {"R", "S", "R"},
       "result(A,B,B,C)\n\n1,x,x,p\n1,x,y,p\n1,y,x,q\n1,y,y,q\n"},
      {"the first relation of a name is taken",
       {makeRelation("R", {attr("A")}, {{"1"}}), makeRelation("R", {attr("A")}, {{"2"}}),
        makeRelation("S", {attr("A")}, {{"1"}, {"2"}})},
       {"S", "R"},
       "result(A)\n\n1\n"},
      {"one name: a normalised copy",
       {emp,
        makeRelation("R", {attr("b", "int"), attr("a")}, {{"2", "x"}, {"1", "y"}, {"2", "x"}})},
       {"R"},
       "result(a,b int)\nx,2\ny,1\n"},
      {"no name", {emp}, {}, "result()\n\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    std::vector<Attribute> joinList;
    for (const char* name : c.joinList) joinList.push_back(attr(name));
    IgnoredSteps steps;
    Relation result = joinAll(c.relations, joinList, steps);
    normalizeResult(result);
    test::ScratchOutput out;
    writeRelation(result, out.file());
    EXPECT_EQ(out.str(), c.expected);
  }
}

TEST(JoinAllTest, RefusesUnknownNamesAndOversizedSteps) {
  const Relation a = makeRelation("A", {attr("x")}, {{"1"}, {"2"}});
  const Relation big = makeRelation("Big", {attr("y")}, test::Rows(5001, {"v"}));
  const Relation twice = makeRelation("T", {attr("y")}, {{"v"}, {"v"}});
  const std::vector<Relation> relations = {a, big, twice};
  struct {
    std::vector<const char*> names;
    std::string message;
  } const cases[] = {
      {{"Nope"}, "Ismeretlen relacio: Nope!"},
      {{"A", "X", "Y"}, "Ismeretlen relacio: X!"},
      {{"A", "Big", "a"}, "Ismeretlen relacio: a!"},  // before the oversized step
      {{"A", "A", "Big"}, "Tul nagy az eredmeny: Big!"},
      // 10002 joined rows, though one distinct row.
      {{"T", "Big"}, "Tul nagy az eredmeny: Big!"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    std::vector<Attribute> joinList;
    for (const char* name : c.names) joinList.push_back(attr(name));
    IgnoredSteps steps;
    expectFatal([&] { joinAll(relations, joinList, steps); }, c.message);
  }
}

}  // namespace
}  // namespace joinrel
