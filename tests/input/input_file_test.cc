#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input/input.h"

namespace joinrel {
namespace {

struct Read {
  std::string line;
  LineNumber lineNumber;
  bool atEnd;
};

// Reads `text` line by line until the input is at its end.
std::vector<Read> readAll(InputFile& file) {
  std::vector<Read> reads;
  while (!file.atEnd() && reads.size() < 100) {
    const std::string line(file.readLine());
    EXPECT_EQ(file.lineBuffer(), line);
    reads.push_back({line, file.lineNumber(), file.atEnd()});
  }
  return reads;
}

TEST(InputFileTest, ReadsLinesAndMeetsTheEnd) {
  struct Case {
    std::string text;
    std::vector<std::string> lines;  // every read up to the end
  };
  const Case cases[] = {
      // A last line with a line end: one more read yields "" and meets the end.
      {"a\nb\n", {"a", "b", ""}},
      {"a\r\nb\r\n", {"a", "b", ""}},
      // Without a final line end the last line itself meets the end.
      {"a\nb", {"a", "b"}},
      {"a\r\nb", {"a", "b"}},
      {"", {""}},
      {"\n", {"", ""}},
      {"\r\n\r\n", {"", "", ""}},
      {"a\n\nb\n\n", {"a", "", "b", "", ""}},
      // A carriage return not directly before a line feed is part of the line.
      {"a\rb\n", {"a\rb", ""}},
      {"x\r", {"x\r"}},
      {"\r\r\n", {"\r", ""}},
      {" , (\t)\n", {" , (\t)", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text));
    InputFile file(c.text);
    EXPECT_FALSE(file.atEnd());
    const std::vector<Read> reads = readAll(file);
    ASSERT_EQ(reads.size(), c.lines.size());
    for (std::size_t i = 0; i < reads.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(reads[i].line, c.lines[i]);
      EXPECT_EQ(reads[i].atEnd, i + 1 == reads.size());
      if (i + 1 < reads.size()) {
        EXPECT_EQ(reads[i].lineNumber, static_cast<LineNumber>(i) + 1);
      }
    }
  }
}

TEST(InputFileTest, RewindStartsAFreshPass) {
  InputFile file("first\r\nsecond");
  EXPECT_EQ(file.readLine(), "first");
  EXPECT_EQ(file.readLine(), "second");
  ASSERT_TRUE(file.atEnd());

  file.rewind();
  EXPECT_FALSE(file.atEnd());
  EXPECT_EQ(file.readLine(), "first");
  EXPECT_EQ(file.lineNumber(), 1);
  EXPECT_EQ(file.readLine(), "second");
  EXPECT_EQ(file.lineNumber(), 2);
  EXPECT_TRUE(file.atEnd());
}

TEST(InputFileTest, LineAfterLast) {
  struct Case {
    std::string text;
    int lineAfterLast;
  };
  const Case cases[] = {
      {"", 1},       {"a", 2},          {"a\n", 2},   {"\n", 2},      {"a\nb", 3},
      {"a\nb\n", 3}, {"a\r\nb\r\n", 3}, {"a\n\n", 3}, {"a\n\n\n", 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text));
    InputFile file(c.text);
    EXPECT_EQ(file.lineAfterLast(), c.lineAfterLast);
    file.readLine();
    EXPECT_EQ(file.lineAfterLast(), c.lineAfterLast);
  }
}

}  // namespace
}  // namespace joinrel
