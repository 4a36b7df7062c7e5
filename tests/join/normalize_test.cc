#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "join/join.h"
#include "test_support.h"

namespace joinrel {
namespace {

using test::attr;
using test::describe;
using test::makeRelation;

struct NormalizeCase {
  const char* label;
  Relation input;
  Relation expected;
};

TEST(NormalizeTest, SortsColumnsRemovesDuplicatesSortsRows) {
  const std::vector<NormalizeCase> cases = {
      {"columns by name, duplicate dropped, rows by key",
       makeRelation("result", {attr("Name", "text"), attr("DeptId", "int"), attr("DeptName")},
                    {{"Cili", "1", "Sales"},
                     {"Anna", "1", "Sales"},
                     {"Cili", "1", "Sales"},
                     {"Bela", "2", "IT"}}),
       makeRelation("result", {attr("DeptId", "int"), attr("DeptName"), attr("Name", "text")},
                    {{"1", "Sales", "Anna"}, {"1", "Sales", "Cili"}, {"2", "IT", "Bela"}})},
      {"no rows: only the columns move",
       makeRelation("result", {attr("b", "x"), attr("a", "y")}, {}),
       makeRelation("result", {attr("a", "y"), attr("b", "x")}, {})},
      {"all rows equal",
       makeRelation("result", {attr("a"), attr("b")}, {{"1", "x"}, {"1", "x"}, {"1", "x"}}),
       makeRelation("result", {attr("a"), attr("b")}, {{"1", "x"}})},
      {"four interleaved occurrences",
       makeRelation(
           "result", {attr("a"), attr("b")},
           {{"q", "1"}, {"b", "2"}, {"q", "1"}, {"a", "3"}, {"q", "1"}, {"c", "4"}, {"q", "1"}}),
       makeRelation("result", {attr("a"), attr("b")},
                    {{"a", "3"}, {"b", "2"}, {"c", "4"}, {"q", "1"}})},
      {"equal names keep their order, types and cells",
       makeRelation("result", {attr("B", "first"), attr("C"), attr("B", "second"), attr("A")},
                    {{"b1", "c", "b2", "a"}}),
       makeRelation("result", {attr("A"), attr("B", "first"), attr("B", "second"), attr("C")},
                    {{"a", "b1", "b2", "c"}})},
      {"names sort by bytes",
       makeRelation("result",
                    {attr("\xc3\xa9"), attr("alpha"), attr("DeptId"), attr("Zeta"), attr("Dept")},
                    {{"1", "2", "3", "4", "5"}}),
       makeRelation("result",
                    {attr("Dept"), attr("DeptId"), attr("Zeta"), attr("alpha"), attr("\xc3\xa9")},
                    {{"5", "3", "4", "2", "1"}})},
      {"cells sort as text, high bytes last",
       makeRelation("result", {attr("a")}, {{"9"}, {"\xe1"}, {"10"}, {"z"}, {"-5"}, {"3"}, {""}}),
       makeRelation("result", {attr("a")}, {{""}, {"-5"}, {"10"}, {"3"}, {"9"}, {"z"}, {"\xe1"}})},
      {"whole-key order: New York before New",
       makeRelation("result", {attr("city"), attr("n")},
                    {{"New", "1"}, {"New York", "1"}, {"New!", "1"}}),
       makeRelation("result", {attr("city"), attr("n")},
                    {{"New York", "1"}, {"New!", "1"}, {"New", "1"}})},
      {"a prefix first in the last column",
       makeRelation("result", {attr("a"), attr("city")},
                    {{"1", "New York"}, {"1", "New"}, {"1", "New"}}),
       makeRelation("result", {attr("a"), attr("city")}, {{"1", "New"}, {"1", "New York"}})},
      {"empty cells",
       makeRelation("result", {attr("a"), attr("b")}, {{"", "x"}, {"x", ""}, {"", ""}, {"", "x"}}),
       makeRelation("result", {attr("a"), attr("b")}, {{"", ""}, {"", "x"}, {"x", ""}})},
      {"no attributes: only the first row stays", makeRelation("result", {}, {{}, {}, {}}),
       makeRelation("result", {}, {{}})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    Relation got = c.input;
    normalizeResult(got);
    EXPECT_EQ(got.name, c.expected.name);
    EXPECT_EQ(describe(got), describe(c.expected));
    EXPECT_EQ(got.rows, c.expected.rows);
  }
}

TEST(NormalizeTest, ManyEqualNamesKeepTheirOrder) {
  std::vector<Attribute> attributes;
  std::vector<std::string> types;  // each attribute's cell holds its type text
  for (int i = 0; i < 40; ++i) {
    types.push_back(std::to_string(i));
    attributes.push_back(attr(i % 2 ? "A" : "B", types.back()));
  }
  Relation relation = makeRelation("result", std::move(attributes),
                                   {std::vector<std::string_view>(types.begin(), types.end())});
  normalizeResult(relation);
  std::string order;
  for (const auto& a : relation.attributes) order += a.type + " ";
  EXPECT_EQ(order,
            "1 3 5 7 9 11 13 15 17 19 21 23 25 27 29 31 33 35 37 39 "
            "0 2 4 6 8 10 12 14 16 18 20 22 24 26 28 30 32 34 36 38 ");
  for (int k = 0; k < 40; ++k) {  // every cell moved with its attribute
    EXPECT_EQ(test::cellsOf(relation, 0)[k], relation.attributes[k].type);
  }
}

}  // namespace
}  // namespace joinrel
