#include "relation/relation.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

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

// The row scans read eight bytes at a time; against a byte-by-byte split, on
// random rows placed at every offset from an eight-byte boundary: cells of
// 0 to 20 bytes, so commas fall at every offset in a word and cells cross
// words, rows shorter than a word, and bytes that differ from a comma in one
// bit or only in the high bit (0xAC), or that borrow like 0x01 and 0x80-0xFF.
TEST(RowScanTest, WordAtATimeScansMatchAByteByByteSplit) {
  constexpr std::string_view kBytes = "a,\x2d\x2b\x0c\x6c\xac\x01\x80\xff\x7f";
  std::mt19937 rng(7);
  const auto pick = [&](int size) { return std::uniform_int_distribution<int>(0, size - 1)(rng); };
  for (int trial = 0; trial < 4000; ++trial) {
    const int width = 1 + pick(trial % 3 == 0 ? 3 : MAX_ATTRIBUTES);
    std::vector<std::string> want(static_cast<std::size_t>(width));
    std::string text(static_cast<std::size_t>(trial % 8), '#');  // the row's offset
    const std::size_t offset = text.size();
    for (int k = 0; k < width; ++k) {
      const int length = pick(trial % 3 == 0 ? 4 : 21);
      for (int b = 0; b < length; ++b) {
        const char byte = kBytes[static_cast<std::size_t>(pick(static_cast<int>(kBytes.size())))];
        want[static_cast<std::size_t>(k)] += byte == ',' ? 'x' : byte;
      }
      text += (k > 0 ? "," : "") + want[static_cast<std::size_t>(k)];
    }
    const Row row = std::string_view(text).substr(offset);
    SCOPED_TRACE(testing::Message() << "trial " << trial << ", row [" << row << "]");
    ASSERT_EQ(countCommas(row), static_cast<std::size_t>(width - 1));
    std::vector<std::string_view> cells(static_cast<std::size_t>(width));
    splitRow(row, cells);
    ASSERT_EQ(std::vector<std::string>(cells.begin(), cells.end()), want);
    const int column = pick(width);
    ASSERT_EQ(cellAt(row, column, width), want[static_cast<std::size_t>(column)]);
    // Every length a short copy takes apart, into a buffer that shows a
    // byte written past the end.
    std::string copy(row.size() + 1, '\0');
    ASSERT_EQ(copyBytes(copy.data(), row), copy.data() + row.size());
    ASSERT_EQ(copy, std::string(row) + '\0');
  }
}

}  // namespace
}  // namespace joinrel
