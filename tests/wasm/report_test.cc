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

// Every row of the first relations is told, with the line of each; the
// other relations are counted.
TEST(ReportTest, TellsTheFirstRelationsWholeAndCountsTheRest) {
  JsonReport report(1);
  report.relationWritten(
      test::makeRelation("A", {test::attr("x", "int"), test::attr("y")}, {{"1", ""}, {"2", "b"}}),
      4);
  report.relationWritten(test::makeRelation("B", {test::attr("z")}, {{"3"}}), 8);
  EXPECT_EQ(report.text(),
            R"({"relations":[{"name":"A","attributes":[["x","int"],["y",""]],"rowCount":2,)"
            R"("rows":[["1",""],["2","b"]]}],"moreRelations":1,"steps":[],"stepsLeftOut":0,)"
            R"("result":null,"resultLeftOut":false,"message":null,)"
            R"("explain":{"relations":[{"name":"A","lines":[4,5]}],"steps":[],)"
            R"("tidy":null,"notes":[],"moreNotes":{},"particulars":null,"truncated":false},)"
            R"("incomplete":false})");
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
    JsonReport report(1);
    report.runStopped(c.kind, c.line, Particulars{});
    const std::string text = report.text();
    EXPECT_NE(text.find(std::string(R"("message":)") + std::string(c.json) + ","),
              std::string::npos)
        << text;
  }
}

// The report of a whole run on `input`.
std::string reportOfRun(const std::string& input, std::size_t byteLimit = kReportByteLimit) {
  const test::ScratchDirectory directory;
  const std::filesystem::path inputPath = directory.path() / "input";
  const std::filesystem::path outputPath = directory.path() / "output";
  std::ofstream(inputPath, std::ios::binary) << input;
  std::ostringstream console;
  JsonReport report(500, byteLimit);
  const std::array<Argument, 3> args = {"joinrel", inputPath.c_str(), outputPath.c_str()};
  runJoinrel(
      args, console, console, [] {}, report);
  return report.text();
}

// Expects `text` to hold each of `pieces`.
void expectPieces(const std::string& text, std::initializer_list<std::string_view> pieces) {
  for (const std::string_view piece : pieces) {
    EXPECT_NE(text.find(piece), std::string::npos) << piece << "\nin\n" << text;
  }
}

// A join step then a product: the step's operands by their file index, the
// chain built so far as none; names shared but not compared; every pair and
// every row without a partner; the last step's built rows every one, repeats
// included, in joined column order, though result keeps one; result's rows
// back to the built rows they stand for, several where repeats merged.
TEST(ReportTest, ExplainsJoinsProductsAndTheTidying) {
  const std::string text =
      reportOfRun("Q(A, B, C)\n\nC(z)\nz\nz\n\nA(id, v)\n1,a\n2,b\n\nB(v, id)\nb,2\nc,3\nb,2\n\n");
  expectPieces(
      text,
      {R"("steps":[{"left":"A","right":"B","attribute":"id","leftRows":2,"rightRows":3,)"
       R"("built":{"name":"","attributes":[["id",""],["v",""],["v",""]],"rowCount":2,)"
       R"("rows":[["2","b","b"],["2","b","b"]]}},)",
       R"({"left":"","right":"C","attribute":null,"leftRows":2,"rightRows":2,)"
       R"("built":{"name":"","attributes":[["id",""],["v",""],["v",""],["z",""]],"rowCount":4,)"
       R"("rows":[["2","b","b","z"],["2","b","b","z"],["2","b","b","z"],["2","b","b","z"]]}}])",
       R"("result":{"name":"result","attributes":[["id",""],["v",""],["v",""],["z",""]],)"
       R"("rowCount":1,"rows":[["2","b","b","z"]]})",
       R"("explain":{"relations":[{"name":"C","lines":[4,5]},{"name":"A","lines":[8,9]},)"
       R"({"name":"B","lines":[12,13,14]}],)"
       R"("steps":[{"left":"A","right":"B","leftRelation":1,"rightRelation":2,)"
       R"("attribute":"id","attributeColumns":[0,1],"shared":["v"],"pairs":[[1,0],[1,2]],)"
       R"("unmatchedLeft":[0],"unmatchedRight":[1],"columnPlaces":[0,0,1],)"
       R"("sharedColumns":[[1,2]],"differing":[],)"
       R"("keptByAllShared":2,"selfJoin":false},)"
       R"({"left":null,"right":"C","leftRelation":null,"rightRelation":0,"attribute":null,)"
       R"("attributeColumns":[null,null],"shared":[],"pairs":[[0,0],[0,1],[1,0],[1,1]],)"
       R"("unmatchedLeft":[],"unmatchedRight":[],"columnPlaces":[0,0,1,2],)"
       R"("sharedColumns":[],"differing":[],)"
       R"("keptByAllShared":4,"selfJoin":false}],)"
       R"("tidy":{"relation":null,"columns":[0,1,2,3],"sources":[[0,1,2,3]],"byteOrder":null},)"
       R"("notes":[],"moreNotes":{},"particulars":null,"truncated":false})"});
}

// With one name in the join list, result is tidied from that relation, the
// first of that name in the file, whose rows the sources are; a fatal
// message's fields are told.
TEST(ReportTest, ExplainsAOneNameJoinListAndParticulars) {
  expectPieces(reportOfRun("Q(B)\n\nA(x)\n1\n\nB(y, a)\n2,q\n1,p\n2,q\n\nB(z)\n3\n\n"),
               {R"("tidy":{"relation":1,"columns":[1,0],"sources":[[1],[0,2]],"byteOrder":null},)",
                R"({"name":"B","lines":[7,8,9]})"});
  expectPieces(reportOfRun("Q(A, Bc)\n\nA(x)\n1\n"),
               {R"("tidy":null,"notes":[],"moreNotes":{},)"
                R"("particulars":{"name":"Bc","similarNames":["A"]},)"
                R"("truncated":false})"});
}

// When the whole text does not fit in memory, the page still gets every
// field it reads, the message among them, and hears that the rest is missing.
TEST(ReportTest, BriefTextKeepsEveryFieldAndTheMessage) {
  JsonReport report(1);
  report.relationWritten(test::makeRelation("A", {test::attr("x")}, {{"1"}}), 4);
  report.runStopped(MessageKind::BadHeader, 3, Particulars{});
  EXPECT_EQ(
      report.briefText(),
      R"({"relations":[],"moreRelations":1,"steps":[],"stepsLeftOut":0,"result":null,)"
      R"("resultLeftOut":false,"message":{"kind":"bad-header","line":3,"text":"Hibas fejlec"},)"
      R"("explain":{"relations":[],"steps":[],"tidy":null,"notes":[],"moreNotes":{},)"
      R"("particulars":{"cause":""},)"
      R"("truncated":{"rows":1,"cells":0}},"incomplete":true})");
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

// However large the run, the tables stay under the byte limit: rows are
// told while they fit, and the report counts those that were not and the
// cells it cut. A table whose head does not fit is left out with every one
// after it.
TEST(ReportTest, TellsRowsWhileTheyFitAndCountsTheRest) {
  const std::string cell(1500, 'a');
  std::string input = "Q(A, B)\n\nA(x)\n" + cell + "\n" + cell + "\n\nB(y)\n";
  for (int r = 0; r < 400; ++r) input += "1\n";
  const std::string text = reportOfRun(input, 4096);
  const std::size_t tables = text.find(R"(,"explain":)");
  EXPECT_LE(tables, 4096U);
  // B's rows told, then not its others, the step's 800 or result's one.
  std::size_t told = 0;
  for (std::size_t at = text.find(R"(["1"])"); at < tables; at = text.find(R"(["1"])", at + 1)) {
    ++told;
  }
  EXPECT_GT(told, 100U);
  EXPECT_LT(told, 400U);
  expectPieces(text, {R"("rowCount":2,"rows":[[{"start":")", R"("stepsLeftOut":1,"result":null,)",
                      R"("truncated":{"rows":)" + std::to_string(400 - told + 801) +
                          R"(,"cells":2}},"incomplete":true})"});

  JsonReport report(500, 560);
  report.relationWritten(test::makeRelation("A", {test::attr("x")}, {{"1"}}), 4);
  report.relationWritten(test::makeRelation("B", {test::attr("y")}, {{"1"}}), 8);
  expectPieces(report.text(), {R"("relations":[],"moreRelations":2,)",
                               R"("truncated":{"rows":2,"cells":0}},"incomplete":true})"});
}

// A step that compares one of two shared names: the rows whose other copies
// differ, with the columns that hold them, and how many a join on both would
// keep; a relation joined with itself; result ordered as texts, where "New
// York" comes before "New".
TEST(ReportTest, ExplainsSharedNamesSelfJoinsAndTheByteOrder) {
  expectPieces(
      reportOfRun("Q(Enroll, Teach)\n\nEnroll(student, course, term)\nAnna,DB,fall\n"
                  "Bela,DB,spring\nCili,OS,fall\nDani,OS,spring\nEmil,AI,fall\n\n"
                  "Teach(term, course, teacher)\nfall,DB,Kiss\nfall,OS,Nagy\nfall,AI,Toth\n"),
      {R"("attribute":"course","attributeColumns":[1,1],"shared":["term"],)",
       R"("sharedColumns":[[2,3]],"differing":[[1,"term"],[3,"term"]],)"
       R"("keptByAllShared":3,"selfJoin":false})"});
  expectPieces(reportOfRun("Q(Emp, Emp)\n\nEmp(name, dept)\nAnna,1\nBela,2\n"),
               {R"("shared":["dept"],)", R"("keptByAllShared":2,"selfJoin":true})"});
  expectPieces(reportOfRun("Q(C)\n\nC(city, n)\nNew,1\nNew York,1\nAlba,2\n"),
               {R"("rows":[["Alba","2"],["New York","1"],["New","1"]])",
                R"("sources":[[2],[1],[0]],"byteOrder":[1,2]})"});
}

// What the run takes in without a word, each kind once, by line: a byte
// order mark, text after a list, more and fewer cells than attributes, a
// compared cell with a blank, invisible and bidi characters, a relation not
// joined, a type cut by its comma, names with blanks, a second relation of a
// joined name. Beyond 20 notes of a kind, the rest are counted.
TEST(ReportTest, NotesWhatTheRunTakesInAsItIs) {
  expectPieces(
      reportOfRun("\xef\xbb\xbfQ(Emp, Dept) trailing\n\nEmp(name, dept)\nAnna,1,extra\nBela\n"
                  "Cili, 2\nD\xe2\x80\x8b"
                  "ani,1\n\nP(item, price decimal(8,2), qty int)\nx,1,2\n\n"
                  "Dept (dept,  title)\n1,Sales\n2,\xe2\x80\xae"
                  "Audit\n\nDept(dept, boss)\n1,Kiss\n"),
      {R"("notes":[{"kind":"byteOrderMark","line":1},)"
       R"({"kind":"textAfterList","line":1,"relation":null,"text":" trailing"},)"
       R"({"kind":"extraCells","line":4,"relation":0,"name":"Emp","cells":3,"attributes":2},)"
       R"({"kind":"missingCells","line":5,"relation":0,"name":"Emp","cells":1,"attributes":2},)"
       R"({"kind":"blankInKeyCell","line":6,"relation":0,"attribute":"dept","step":1,)"
       R"("cell":" 2"},{"kind":"invisible","line":7,"codePoint":8203,"bidi":false},)"
       R"({"kind":"notJoined","line":9,"relation":1,"name":"P"},)"
       R"x({"kind":"textAfterList","line":9,"relation":1,"text":", qty int)"},)x"
       R"({"kind":"typeCut","line":9,"relation":1,"attribute":"price","type":"decimal(8"},)"
       R"({"kind":"blankInName","line":12,"relation":2,"place":"relation","written":"Dept ",)"
       R"("read":"Dept"},{"kind":"blankInName","line":12,"relation":2,"place":"attribute",)"
       R"("written":" title","read":""},{"kind":"invisible","line":14,"codePoint":8238,)"
       R"("bidi":true},{"kind":"sameName","line":16,"relation":3,"name":"Dept","used":2}],)"
       R"("moreNotes":{},)"});
  std::string input = "Q(R)\n\nR(x)\n";
  for (std::size_t r = 0; r < kNotesOfEachKind + 2; ++r) input += "a,b\n";
  const std::string text = reportOfRun(input);
  EXPECT_EQ(text.find(R"({"kind":"extraCells","line":)" + std::to_string(kNotesOfEachKind + 4)),
            std::string::npos);
  expectPieces(text, {R"({"kind":"extraCells","line":)" + std::to_string(kNotesOfEachKind + 3),
                      R"("moreNotes":{"extraCells":2},)"});
}

}  // namespace
}  // namespace joinrel
