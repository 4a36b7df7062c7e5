#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "output/output.h"
#include "test_support.h"

namespace joinrel {
namespace {

using test::attr;
using test::expectFatal;
using test::makeRelation;

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
    test::ScratchOutput out;
    // Written twice: the writer keeps no state between calls.
    writeRelation(c.relation, out.file());
    writeRelation(c.relation, out.file());
    // Read while the file is open: every line has reached it, none is held back.
    EXPECT_EQ(out.str(), c.expected + c.expected);
  }
}

void expectWriteError(const std::function<void()>& write) {
  expectFatal(write, "Hiba az output fajl irasakor!");
}

// /dev/full takes no byte: every write fails as on a full disk.
TEST(WriterTest, RefusesAFailingFile) {
  const Relation dept = makeRelation("Dept", {attr("DeptId"), attr("DeptName")}, {{"1", "Sales"}});
  const Relation noRows = makeRelation("R", {}, {});

  OutputFile full("/dev/full");
  expectWriteError([&] { writeLineEnd(full); });
  expectWriteError([&] { writeRelation(dept, full); });
  expectWriteError([&] { writeRelation(noRows, full); });
  expectWriteError([&] { full.close(); });
}

TEST(WriterTest, LineEndWritesANewlineAtOnce) {
  test::ScratchOutput out;
  std::string scratch;
  writeLine(out.file(), "x", scratch);
  writeLineEnd(out.file());
  EXPECT_EQ(out.str(), "x\n\n");
}

}  // namespace
}  // namespace joinrel
