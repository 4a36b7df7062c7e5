#include "wasm/report.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "driver/driver.h"
#include "test_support.h"

namespace joinrel {
namespace {

// The page reads each string back as one character per byte, so every byte
// that JSON would not carry as it is must be escaped.
TEST(ReportTest, StringsCarryEveryByte) {
  const struct {
    std::string_view bytes;
    std::string_view json;
  } cases[] = {
      {"Emp", R"("Emp")"},
      {"", R"("")"},
      {"a\"b\\c", R"("a\u0022b\u005cc")"},
      {std::string_view("\0\x1f\x7f", 3), R"("\u0000\u001f\u007f")"},
      {"\xc3\xa1\xff", R"("\u00c3\u00a1\u00ff")"},
      {" ~", R"(" ~")"},
  };
  for (const auto& c : cases) {
    std::string json;
    appendJsonString(json, c.bytes);
    EXPECT_EQ(json, c.json);
  }
}

// Only the first rows of a relation, and the first relations, are told;
// the rest are counted.
TEST(ReportTest, TellsTheFirstRowsAndRelationsAndCountsTheRest) {
  JsonReport report(1, 1);
  report.relationWritten(
      test::makeRelation("A", {test::attr("x", "int"), test::attr("y")}, {{"1", ""}, {"2", "b"}}),
      4);
  report.relationWritten(test::makeRelation("B", {test::attr("z")}, {{"3"}}), 8);
  EXPECT_EQ(report.text(),
            R"({"relations":[{"name":"A","attributes":[["x","int"],["y",""]],"rowCount":2,)"
            R"("rows":[["1",""]]}],"moreRelations":1,"steps":[],"stepsLeftOut":0,"result":null,)"
            R"("resultLeftOut":false,"message":null,)"
            R"("explain":{"relations":[{"name":"A","lines":[4],"moreLines":{}}],"steps":[],)"
            R"("tidy":null,"particulars":null,"truncated":true},"incomplete":false})");
}

// The page finds the explanation by the message's text as the README writes
// it, without the line number or name part.
TEST(ReportTest, TellsTheMessageKindLineAndText) {
  const struct {
    MessageKind kind;
    LineNumber line;
    std::string_view json;
  } cases[] = {
      {MessageKind::BadHeader, 6, R"({"kind":"bad-header","line":6,"text":"Hibas fejlec"})"},
      {MessageKind::UnknownRelation, 0,
       R"({"kind":"unknown-relation","line":null,"text":"Ismeretlen relacio"})"},
      {MessageKind::EmptyFirstLine, 0,
       R"({"kind":"empty-first-line","line":null,"text":"Ures az elso sor"})"},
  };
  for (const auto& c : cases) {
    JsonReport report(1, 1);
    report.runStopped(c.kind, c.line, Particulars{});
    const std::string text = report.text();
    EXPECT_NE(text.find(std::string(R"("message":)") + std::string(c.json) + ","),
              std::string::npos)
        << text;
  }
}

// The report of a whole run on `input`.
std::string reportOfRun(const std::string& input, int rowLimit, int relationLimit) {
  const test::ScratchDirectory directory;
  const std::filesystem::path inputPath = directory.path() / "input";
  const std::filesystem::path outputPath = directory.path() / "output";
  std::ofstream(inputPath, std::ios::binary) << input;
  std::ostringstream console;
  JsonReport report(rowLimit, relationLimit);
  const std::array<Argument, 3> args = {"joinrel", inputPath.c_str(), outputPath.c_str()};
  runJoinrel(
      args, console, console, [] {}, report);
  return report.text();
}

// With one row shown, result's row comes from built row 2, which is not
// shown: its pair is told, and the input lines of both its rows, while the
// built row between is left out.
TEST(ReportTest, ExplainsTheShownRowsBackToTheFile) {
  const std::string text =
      reportOfRun("Q(A, B)\n\nA(k, v)\n2,x\n1,y\n\nB(k, w)\n1,p\n2,q\n2,q\n\nC(z)\n1\n", 1, 2);
  EXPECT_NE(text.find(R"("explain":{"relations":[{"name":"A","lines":[4],"moreLines":{"1":5}},)"
                      R"({"name":"B","lines":[8],"moreLines":{"1":9}}],"steps":[{"left":"A",)"
                      R"("right":"B","attribute":"k","attributeColumns":[0,0],"shared":[],)"
                      R"("pairs":[[0,1]],"morePairs":{"2":[1,0]},"unmatchedLeft":[],)"
                      R"("unmatchedRight":[]}],)"
                      R"("tidy":{"columns":[0,1,2],"sources":[[2]]},"particulars":null,)"
                      R"("truncated":true})"),
            std::string::npos)
      << text;
}

// A product's step has no attribute; a later step's left operand is the
// chain; names shared but not compared are told; rows without a partner are
// told for each operand; a fatal message's fields are told.
TEST(ReportTest, ExplainsProductsChainsAndParticulars) {
  const std::string text =
      reportOfRun("Q(A, B, C)\n\nA(id, v)\n1,a\n2,b\n\nB(v, id)\nb,2\nc,3\n\nC(z)\nz\n", 9, 9);
  EXPECT_NE(
      text.find(
          R"("steps":[{"left":"A","right":"B","attribute":"id",)"
          R"("attributeColumns":[0,1],"shared":["v"],"pairs":[[1,0]],"morePairs":{},)"
          R"("unmatchedLeft":[0],"unmatchedRight":[1]},)"
          R"({"left":null,"right":"C","attribute":null,"attributeColumns":null,)"
          R"("shared":[],"pairs":[[0,0]],"morePairs":{},"unmatchedLeft":[],"unmatchedRight":[]}],)"),
      std::string::npos)
      << text;
  EXPECT_NE(text.find(R"("tidy":{"columns":[0,1,2,3],"sources":[[0]]},"particulars":null,)"
                      R"("truncated":false})"),
            std::string::npos)
      << text;
  const std::string failed = reportOfRun("Q(A, Bc)\n\nA(x)\n1\n", 9, 9);
  EXPECT_NE(failed.find(R"("tidy":null,"particulars":{"name":"Bc","similarNames":["A"]},)"
                        R"("truncated":false})"),
            std::string::npos)
      << failed;
}

// When the whole text does not fit in memory, the page still gets every
// field it reads, the message among them, and hears that the rest is missing.
TEST(ReportTest, BriefTextKeepsEveryFieldAndTheMessage) {
  JsonReport report(1, 1);
  report.relationWritten(test::makeRelation("A", {test::attr("x")}, {{"1"}}), 4);
  report.runStopped(MessageKind::BadHeader, 3, Particulars{});
  EXPECT_EQ(
      report.briefText(),
      R"({"relations":[],"moreRelations":1,"steps":[],"stepsLeftOut":0,"result":null,)"
      R"("resultLeftOut":false,"message":{"kind":"bad-header","line":3,"text":"Hibas fejlec"},)"
      R"("explain":{"relations":[],"steps":[],"tidy":null,"particulars":{"cause":""},)"
      R"("truncated":true},"incomplete":true})");
}

// A long cell is cut to its first 1,000 bytes, never inside a UTF-8
// character, and its whole length is told.
TEST(ReportTest, CutsLongCellsAtACharacterStart) {
  const std::string ascii(kCellByteLimit, 'x');
  const std::string accented = std::string(kCellByteLimit - 1, 'x') + "\xc3\xa1";
  const struct {
    std::string bytes;
    std::string json;
  } cases[] = {
      {ascii, '"' + ascii + '"'},
      {ascii + "y", R"({"start":")" + ascii + R"(","length":1001})"},
      {accented, R"({"start":")" + std::string(kCellByteLimit - 1, 'x') + R"(","length":1001})"},
  };
  for (const auto& c : cases) {
    std::string json;
    appendCell(json, c.bytes);
    EXPECT_EQ(json, c.json);
  }
}

// However large the run, the report stays under its byte limit: a relation
// that does not fit is left out with every one after it, and result is
// still told when it fits.
TEST(ReportTest, LeavesOutWhatExceedsTheByteLimit) {
  JsonReport report(25, 500, 1024);
  report.relationWritten(test::makeRelation("A", {test::attr("x")}, {{std::string(600, 'a')}}), 4);
  report.relationWritten(test::makeRelation("B", {test::attr("y")}, {{"1"}}), 8);
  report.resultWritten(test::makeRelation("result", {test::attr("x")}, {{"2"}}));
  const std::string text = report.text();
  EXPECT_LE(text.size(), 1024U);
  EXPECT_NE(text.find(R"("relations":[],"moreRelations":2,)"), std::string::npos) << text;
  EXPECT_NE(text.find(R"("result":{"name":"result")"), std::string::npos) << text;
  EXPECT_NE(text.find(R"("incomplete":true)"), std::string::npos) << text;
}

}  // namespace
}  // namespace joinrel
