#include "relation/relation.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace joinrel {
namespace {

std::string fieldText(const Name& field) { return std::string(field.begin(), field.end()); }

std::vector<std::string_view> cellsOf(Row row) { return {row.begin(), row.end()}; }

TEST(NameFieldTest, NameToStringStopsAtFirstBlank) {
  struct Case {
    std::string field;  // all 30 bytes
    std::string name;
  };
  const Case cases[] = {
      {"Emp" + std::string(27, ' '), "Emp"},
      {"abcdefghijklmnopqrstuvwxyzABCD", "abcdefghijklmnopqrstuvwxyzABCD"},
      {" abc" + std::string(26, 'x'), ""},
      {std::string(30, ' '), ""},
      {"a\tb" + std::string(27, ' '), "a\tb"},
      {"ab cd" + std::string(25, ' '), "ab"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    ASSERT_EQ(c.field.size(), 30u);
    Name field;
    std::copy(c.field.begin(), c.field.end(), field.begin());
    EXPECT_EQ(nameToString(field), c.name);
  }
}

TEST(NameFieldTest, StringToNameFillsWithBlanks) {
  struct Case {
    std::string text;
    std::string field;
  };
  const Case cases[] = {
      {"result", "result" + std::string(24, ' ')},
      {"", std::string(30, ' ')},
      {"a b", "a b" + std::string(27, ' ')},
      {std::string(30, 'n'), std::string(30, 'n')},
      {std::string(30, 'n') + "tail", std::string(30, 'n')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(fieldText(stringToName(c.text)), c.field);
  }
}

TEST(NameFieldTest, RoundTripGivesNamesWithoutBlanksBack) {
  const std::string texts[] = {
      "", "x", "result", "a\tb", "(x),", std::string(29, 'q'), std::string(30, 'z')};
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    const Name field = stringToName(text);
    EXPECT_EQ(nameToString(field), text);
  }
}

TEST(RelationTest, FreshRelationIsEmpty) {
  const Relation relation;
  EXPECT_EQ(fieldText(relation.name), std::string(30, ' '));
  EXPECT_EQ(relation.attributeCount(), 0);
  EXPECT_EQ(relation.rowCount, 0);
}

TEST(RelationTest, AppendRowKeepsRowsInOrder) {
  Relation relation;
  relation.attributes.resize(2);
  const std::string_view first[] = {"Anna", "1"};
  const std::string_view second[] = {"", "Bela"};
  relation.appendRow(first);
  relation.appendRow(second);
  ASSERT_EQ(relation.rowCount, 2);
  EXPECT_EQ(cellsOf(relation.row(0)), (std::vector<std::string_view>{"Anna", "1"}));
  EXPECT_EQ(cellsOf(relation.row(1)), (std::vector<std::string_view>{"", "Bela"}));
}

TEST(RelationTest, CopiesAreIndependent) {
  Relation source;
  source.name = stringToName("Emp");
  source.attributes = {{stringToName("a"), "int"}, {stringToName("b"), ""}};
  const std::string_view row[] = {"1", "x"};
  source.appendRow(row);

  Relation copy = source;
  copy.name = stringToName("Other");
  copy.attributes[0].type = "char(3)";
  copy.cells[1] = "changed";
  const std::string_view extra[] = {"2", "y"};
  copy.appendRow(extra);

  EXPECT_EQ(nameToString(source.name), "Emp");
  EXPECT_EQ(source.attributes[0].type, "int");
  EXPECT_EQ(source.rowCount, 1);
  EXPECT_EQ(cellsOf(source.row(0)), (std::vector<std::string_view>{"1", "x"}));

  // Assignment replaces everything, rows included.
  Relation target = copy;
  target = source;
  EXPECT_EQ(target.rowCount, 1);
  EXPECT_EQ(nameToString(target.name), "Emp");
  EXPECT_EQ(cellsOf(target.row(0)), (std::vector<std::string_view>{"1", "x"}));
  EXPECT_EQ(target.cells.size(), 2u);
}

}  // namespace
}  // namespace joinrel
