#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "output/output.h"
#include "test_support.h"

namespace joinrel {
namespace {

using test::attr;
using test::expectFatal;
using test::makeRelation;

// Keeps what is written and the length of the text at every flush.
class FlushRecordingBuf : public std::stringbuf {
 public:
  std::vector<std::size_t> flushedAt;
  bool failFlush = false;

 protected:
  int sync() override {
    flushedAt.push_back(str().size());
    return failFlush ? -1 : 0;
  }
};

// Accepts no byte at all.
class RefusingBuf : public std::streambuf {
 protected:
  int_type overflow(int_type) override { return traits_type::eof(); }
};

struct WriterCase {
  const char* label;
  Relation relation;
  std::string expected;
};

const std::string kThirty = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcd";

TEST(WriterTest, WritesTheOutputTextFormat) {
  const std::vector<WriterCase> cases = {
      {"typed attributes",
       makeRelation("Emp", {attr("Name", "string"), attr("Age", "int")},
                    {{"Anna", "30"}, {"Bela", "41"}}),
       "Emp(Name string, Age int)\nAnna,30\nBela,41\n"},
      {"untyped attributes get an empty line",
       makeRelation("Dept", {attr("DeptId"), attr("DeptName")}, {{"1", "Sales"}, {"2", "IT"}}),
       "Dept(DeptId,DeptName)\n\n1,Sales\n2,IT\n"},
      {"type with brackets, empty last cell",
       makeRelation("Proj", {attr("Code", "varchar(8)"), attr("Title")},
                    {{"P1", "Alpha"}, {"P2", ""}}),
       "Proj(Code varchar(8), Title)\nP1,Alpha\nP2,\n"},
      {"separators turn to \", \" at the first typed attribute",
       makeRelation("R", {attr("p"), attr("q", "int"), attr("s"), attr("t")},
                    {{"1", "2", "3", "4"}}),
       "R(p,q int, s, t)\n1,2,3,4\n"},
      {"type starting with a blank is untyped",
       makeRelation("R", {attr("a", " int"), attr("b")}, {{"1", "2"}}), "R(a int,b)\n\n1,2\n"},
      {"blank-started type before a typed one",
       makeRelation("R", {attr("a", " x"), attr("b", "int"), attr("c")}, {}), "R(a x,b int, c)\n"},
      {"no attributes: rows write nothing", makeRelation("R", {}, {{}, {}, {}}), "R()\n\n"},
      {"no rows, untyped", makeRelation("R", {attr("a"), attr("b")}, {}), "R(a,b)\n\n"},
      {"no rows, typed", makeRelation("R", {attr("a", "int")}, {}), "R(a int)\n"},
      {"30-character names without blank", makeRelation(kThirty, {attr(kThirty, "t")}, {}),
       kThirty + "(" + kThirty + " t)\n"},
      {"name field starting with a blank", makeRelation("", {attr("a")}, {{"1"}}), "(a)\n\n1\n"},
      {"name field written up to its first blank", makeRelation("Emp xyz", {attr("a b")}, {}),
       "Emp(a)\n\n"},
      {"empty cells and cells written as stored",
       makeRelation("R", {attr("a"), attr("b"), attr("c")},
                    {{"1", "", "x"}, {" 1 ", "a!+", "\xc3\xa9"}, {"", "", ""}}),
       "R(a,b,c)\n\n1,,x\n 1 ,a!+,\xc3\xa9\n,,\n"},
      {"a row of one empty cell is an empty line",
       makeRelation("R", {attr("a")}, {{""}, {"z"}, {""}}), "R(a)\n\n\nz\n\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    FlushRecordingBuf buf;
    std::ostream out(&buf);
    // Written twice: the writer keeps no state between calls.
    writeRelation(c.relation, out);
    writeRelation(c.relation, out);
    const std::string text = buf.str();
    EXPECT_EQ(text, c.expected + c.expected);
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] != '\n') continue;
      EXPECT_NE(std::find(buf.flushedAt.begin(), buf.flushedAt.end(), i + 1), buf.flushedAt.end())
          << "no flush after the line end at " << i;
    }
  }
}

void expectWriteError(const std::function<void()>& write) {
  expectFatal(write, "Hiba az output fajl irasakor!");
}

TEST(WriterTest, RefusesAFailingStream) {
  const Relation dept = makeRelation("Dept", {attr("DeptId"), attr("DeptName")}, {{"1", "Sales"}});
  const Relation noRows = makeRelation("R", {}, {});

  std::ostringstream bad;
  bad.setstate(std::ios::badbit);
  expectWriteError([&] { writeLineEnd(bad); });
  expectWriteError([&] { writeRelation(dept, bad); });
  expectWriteError([&] { writeRelation(noRows, bad); });

  RefusingBuf refusing;
  std::ostream full(&refusing);
  expectWriteError([&] { writeRelation(dept, full); });

  FlushRecordingBuf failingFlush;
  failingFlush.failFlush = true;
  std::ostream unflushable(&failingFlush);
  expectWriteError([&] { writeLineEnd(unflushable); });
}

TEST(WriterTest, LineEndWritesANewlineAndFlushes) {
  FlushRecordingBuf buf;
  std::ostream out(&buf);
  out << "x";
  writeLineEnd(out);
  EXPECT_EQ(buf.str(), "x\n");
  EXPECT_EQ(buf.flushedAt, std::vector<std::size_t>{2});
}

}  // namespace
}  // namespace joinrel
