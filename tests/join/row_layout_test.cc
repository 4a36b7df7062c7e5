#include "join/row_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "join/join.h"
#include "test_support.h"

namespace joinrel {
namespace {

using test::attr;
using test::makeRelation;

constexpr SourceColumn L(int column) { return {0, column}; }
constexpr SourceColumn R(int column) { return {1, column}; }

struct LayoutCase {
  const char* label;
  Relation left, right;
  std::vector<SourceColumn> columns;
  JoinKey key;                    // none: a product
  std::vector<std::string> rows;  // the first one made of both operands' row 0
};

TEST(RowLayoutTest, BuildsRowsFromTheRunsOfBothOperands) {
  const std::vector<LayoutCase> cases = {
      {"a left run that ends at the last column takes the rest of the row",
       makeRelation("L", {attr("a"), attr("b"), attr("c")}, {{"1", "22", ""}, {"4", "", "6"}}),
       makeRelation("R", {attr("k"), attr("y"), attr("z")}, {{"9", "y", "zz"}}),
       {L(1), L(2), R(1), L(0), R(2), R(0)},
       std::nullopt,
       {"22,,y,1,zz,9", ",6,y,4,zz,9"}},
      {"a right run that ends at the last column, past the join column",
       makeRelation("L", {attr("k"), attr("a")}, {{"1", "a"}, {"2", "b"}, {"3", "c"}}),
       makeRelation("R", {attr("k"), attr("y"), attr("z")},
                    {{"1", "y1", "z1"}, {"2", "y2", ""}, {"1", "", "z3"}}),
       {L(0), L(1), R(1), R(2)},
       KeyColumns{0, 0},
       {"1,a,y1,z1", "1,a,,z3", "2,b,y2,"}},
      {"a right operand of only the join attribute lends no cell",
       makeRelation("L", {attr("a"), attr("k")}, {{"x", "1"}, {"y", "2"}, {"z", "1"}}),
       makeRelation("R", {attr("k")}, {{"1"}, {"1"}, {"3"}}),
       {L(0), L(1)},
       KeyColumns{1, 0},
       {"x,1", "x,1", "z,1", "z,1"}},
      {"a left operand without attributes gives each right row once per left row",
       makeRelation("L", {}, {{}, {}}),
       makeRelation("R", {attr("x"), attr("y")}, {{"1", "2"}, {"3", "4"}}),
       {R(0), R(1)},
       std::nullopt,
       {"1,2", "3,4", "1,2", "3,4"}},
      {"two operands without attributes give rows without text",
       makeRelation("L", {}, {{}, {}}),
       makeRelation("R", {}, {{}}),
       {},
       std::nullopt,
       {"", ""}},
      {"a product in nested-loop order, columns interleaved",
       makeRelation("L", {attr("a"), attr("b")}, {{"a1", "b1"}, {"a2", "b2"}}),
       makeRelation("R", {attr("c"), attr("d")}, {{"c1", "d1"}, {"c2", "d2"}}),
       {R(0), L(1), R(1), L(0)},
       std::nullopt,
       {"c1,b1,d1,a1", "c2,b1,d2,a1", "c1,b2,d1,a2", "c2,b2,d2,a2"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    RefRows left = refRowsOf(c.left);
    // A left operand without attributes lends no column: the right is
    // operand 0 then.
    std::vector<SourceColumn> columns = c.columns;
    for (SourceColumn& column : columns) column.operand -= c.left.attributes.empty() ? 1 : 0;
    Relation built;
    built.attributes.resize(c.columns.size());
    writeRows(joinRows(left, c.right, c.key, columns, {}), kMaxTextSize).moveRowsInto(built);
    EXPECT_EQ(std::vector<std::string>(built.rows.begin(), built.rows.end()), c.rows);
  }
}

}  // namespace
}  // namespace joinrel
