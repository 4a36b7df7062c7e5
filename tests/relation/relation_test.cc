#include "relation/relation.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "test_support.h"

namespace joinrel {
namespace {

using test::fieldText;

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

}  // namespace
}  // namespace joinrel
