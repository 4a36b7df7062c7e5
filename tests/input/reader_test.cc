#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "input/input.h"
#include "output/output.h"
#include "test_support.h"

namespace joinrel {
namespace {

using test::cellsOf;
using test::expectFatal;
using test::fieldText;

// "<first>,<first+1>,...": `count` names a<i>, each followed by `suffix`.
std::string attributeList(int count, const std::string& suffix = "") {
  std::string list;
  for (int i = 0; i < count; ++i) list += (i ? "," : "") + ("a" + std::to_string(i)) + suffix;
  return list;
}

// What the reader hands over, written as the run writes it: each piece
// followed by an empty line.
class WrittenText : public ReadSink {
 public:
  void firstLineRead(std::string_view line) override {
    std::string scratch;
    writeLine(out_.file(), line, scratch);
    writeLineEnd(out_.file());
  }
  void relationRead(const Relation& relation, LineNumber) override {
    writeRelation(relation, out_.file());
    writeLineEnd(out_.file());
  }
  std::string str() const { return out_.str(); }

 private:
  test::ScratchOutput out_;
};

std::string repeat(const std::string& piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

const std::string kExample =
    "Query(Emp, Dept)\n"
    "\n"
    "Emp(name char(20), dept int)\n"
    "Anna,1\n"
    "Bela,2\n"
    "\n"
    "Dept(dept int, title char(10))\n"
    "1,Sales\n"
    "2,Audit";

TEST(ReaderEchoTest, EchoesTheFirstLineAndAnEmptyLine) {
  struct Case {
    std::string text;
    std::string output;
  };
  const Case cases[] = {
      {kExample, "Query(Emp, Dept)\n\n"},
      {"Q(A, B) text after it\r\nA(x)\r\n", "Q(A, B) text after it\n\n"},
      {"Q(A)", "Q(A)\n\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    InputFile file(c.text);
    WrittenText out;
    echoFirstLine(file, out);
    EXPECT_EQ(out.str(), c.output);
  }
}

TEST(ReaderEchoTest, RefusesAnEmptyFirstLine) {
  for (const std::string text : {"", "\n", "\r\n", "\nQ(A)\n"}) {
    SCOPED_TRACE(testing::PrintToString(text));
    InputFile file(text);
    WrittenText out;
    expectFatal([&] { echoFirstLine(file, out); }, "Ures az elso sor!");
    EXPECT_EQ(out.str(), "");
  }
}

TEST(ReaderCountTest, CountsLinesWithAParenthesisAfterTheFirst) {
  struct Case {
    std::string text;
    int count;
  };
  const Case cases[] = {
      {kExample, 2},
      {kExample + "\n", 2},
      {"Q(A,B)\n\n\nA(x)\n1\n\n\nB(y)\n\n\n", 2},
      {"Q(A,B)\r\nA(x)\r\n\r\nB(y)\r\n", 2},
      {"Q(A)\nA(x)", 1},
      {"Q(A)\nA(x)\n1,(2\n", 2},
      {"Q(A)\nA(x(1)(2), y(3))\n", 1},
      {"Q(A)\n", 0},
      {"Q(A)", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    InputFile file(c.text);
    EXPECT_EQ(countRelations(file), c.count);
  }
}

struct Slot {
  std::string name;  // the field's bytes before the trailing blanks
  std::string type;
};

struct Header {
  Name name = blankName();
  std::vector<Attribute> attributes;
};

Header parse(const std::string& text) {
  InputFile file(text);
  Header header;
  parseHeader(file, header.name, header.attributes);
  return header;
}

void expectHeader(const Header& header, const std::string& name, const std::vector<Slot>& slots) {
  EXPECT_EQ(fieldText(header.name), fieldText(stringToName(name)));
  ASSERT_EQ(header.attributes.size(), slots.size());
  for (std::size_t i = 0; i < slots.size(); ++i) {
    SCOPED_TRACE("slot " + std::to_string(i));
    EXPECT_EQ(fieldText(header.attributes[i].name), fieldText(stringToName(slots[i].name)));
    EXPECT_EQ(header.attributes[i].type, slots[i].type);
  }
}

TEST(ReaderHeaderTest, ParsesTheHeaderExamples) {
  struct Case {
    std::string line;
    std::string name;
    std::vector<Slot> slots;
  };
  const Case cases[] = {
      {"Emp(name char(20), dept int)", "Emp", {{"name", "char(20)"}, {"dept", "int"}}},
      {"Pair(a,b)", "Pair", {{"a", ""}, {"b", ""}}},
      {"Empty()", "Empty", {}},
      {"Proj(code,title,budget int)", "Proj", {{"code", ""}, {"title", ""}, {"budget", "int"}}},
      {"R(code char(3) , title varchar (40))",
       "R",
       {{"code", "char(3)"}, {"title", "varchar(40)"}}},
      {"R(a double precision)", "R", {{"a", "doubleprecision"}}},
      {"R(a x(1)(2), b)", "R", {{"a", "x(1)(2)"}, {"b", ""}}},
      {"R(price decimal(8,2), qty int)", "R", {{"price", "decimal(8"}, {"2", ""}}},
      {"R(a x(1 ), b)", "R", {{"a", "x(1"}}},
      {"R(a x(1, b y) )", "R", {{"a", "x(1"}, {"b", "y)"}}},
      {"R(a(b), c)", "R", {{"a(b", ""}}},
      {"R(a,)", "R", {{"a", ""}, {"", ""}}},
      {"Orders(id,, qty int)", "Orders", {{"id", ""}, {"", ""}, {"qty", "int"}}},
      {"R(number_of_registered_participants int, b)",
       "R",
       {{"number_of_registered_participa", "ntsint"}, {"b", ""}}},
      {"R (a int) extra text", "R ", {{"a", "int"}}},
      {"Q(Emp, Dept)", "Q", {{"Emp", ""}, {"Dept", ""}}},
      // Two blanks after a comma: the second starts the name field.
      {"R(a int,  b int)", "R", {{"a", "int"}, {" b", "int"}}},
      // Two blanks between name and type: the second starts the type text.
      {"R(a  int)", "R", {{"a", " int"}}},
      // Limits of the name fields.
      {"abcdefghijklmnopqrstuvwxyz0123(a)", "abcdefghijklmnopqrstuvwxyz0123", {{"a", ""}}},
      {"R(abcdefghijklmnopqrstuvwxyz0123 int)", "R", {{"abcdefghijklmnopqrstuvwxyz0123", "int"}}},
      {"R(abcdefghijklmnopqrstuvwxyz0123)", "R", {{"abcdefghijklmnopqrstuvwxyz0123", ""}}},
      {"R(abcdefghijklmnopqrstuvwxyz01234 int)", "R", {{"abcdefghijklmnopqrstuvwxyz0123", "4int"}}},
      // The first character belongs to the name even when it is "(".
      {"((a)", "(", {{"a", ""}}},
      // Empty lines before a header are skipped.
      {"\nEmp(a)", "Emp", {{"a", ""}}},
      {"\r\n\n\nEmp(a)\n", "Emp", {{"a", ""}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    expectHeader(parse(c.line), c.name, c.slots);
  }
}

TEST(ReaderHeaderTest, ReadsAtMostFiftyAttributes) {
  // The comma after the 50th attribute may end the line.
  for (const std::string tail : {")", ",", ",a50)", ",a50 x,a51 y)", ",a50 x(1,a51 ((("}) {
    SCOPED_TRACE(tail);
    const Header header = parse("R(" + attributeList(50, " t") + tail);
    ASSERT_EQ(header.attributes.size(), 50u);
    EXPECT_EQ(nameToString(header.attributes[0].name), "a0");
    EXPECT_EQ(nameToString(header.attributes[49].name), "a49");
    EXPECT_EQ(header.attributes[49].type, "t");
  }
}

TEST(ReaderHeaderTest, LeavesTheInputAfterTheHeader) {
  InputFile file("Q(A)\n\nA(x)\n1,2\n");
  file.readLine();
  Header header;
  parseHeader(file, header.name, header.attributes);
  EXPECT_EQ(nameToString(header.name), "A");
  EXPECT_EQ(file.lineNumber(), 3);
  EXPECT_EQ(file.readLine(), "1,2");
}

TEST(ReaderHeaderTest, RefusesBadHeaders) {
  const std::string longName = "abcdefghijklmnopqrstuvwxyz01234";  // 31 bytes
  struct Case {
    std::string text;
    int linesBefore;  // read before the header is expected
    std::string message;
  };
  const Case cases[] = {
      {"abc", 0, "Hibas fejlec: 1. sor!"},
      {"(abc", 0, "Hibas fejlec: 1. sor!"},
      {"R(", 0, "Hibas fejlec: 1. sor!"},
      {"R(a", 0, "Hibas fejlec: 1. sor!"},
      {"R(a int", 0, "Hibas fejlec: 1. sor!"},
      {"R(a ", 0, "Hibas fejlec: 1. sor!"},
      {"R(a x(1)", 0, "Hibas fejlec: 1. sor!"},
      {"R(a,", 0, "Hibas fejlec: 1. sor!"},
      {"R(a, ", 0, "Hibas fejlec: 1. sor!"},
      {"R(a,\r\n", 0, "Hibas fejlec: 1. sor!"},
      // Before the 50th attribute the line may not end right after a comma.
      {"R(" + attributeList(49) + ",", 0, "Hibas fejlec: 1. sor!"},
      {"Q(A)\n\nR(a, b\n", 1, "Hibas fejlec: 3. sor!"},
      {"Q(A)\n\n\n\nx,y\n", 1, "Hibas fejlec: 5. sor!"},
      {longName + "(a)", 0, "Tul hosszu nev: 1. sor!"},
      {"Q(A)\n\n" + longName + "()\n", 1, "Tul hosszu nev: 3. sor!"},
      {"Q(A)", 1, "Hianyzo fejlec: 2. sor!"},
      {"Q(A)\n", 1, "Hianyzo fejlec: 2. sor!"},
      {"Q(A)\n\n", 1, "Hianyzo fejlec: 3. sor!"},
      {"Q(A)\r\n\r\n\r\n", 1, "Hianyzo fejlec: 4. sor!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    InputFile file(c.text);
    for (int i = 0; i < c.linesBefore; ++i) file.readLine();
    Header header;
    expectFatal([&] { parseHeader(file, header.name, header.attributes); }, c.message);
  }
}

// Parses the header at the start of `file` and reads the rows after it.
void readBlock(InputFile& file, Relation& relation) {
  parseHeader(file, relation.name, relation.attributes);
  readRows(file, relation);
}

TEST(ReaderRowsTest, SplitsRowsAtCommas) {
  struct Case {
    std::string line;  // a line end follows
    std::vector<std::string_view> cells;
  };
  const Case cases[] = {
      {"Anna,1", {"Anna", "1", ""}}, {"Anna, 1", {"Anna", " 1", ""}},
      {"a,,b", {"a", "", "b"}},      {",a", {"", "a", ""}},
      {"a,b,", {"a", "b", ""}},      {",", {"", "", ""}},
      {",,", {"", "", ""}},          {"x", {"x", "", ""}},
      {"  ", {"  ", "", ""}},        {"a,b,c,d,e", {"a", "b", "c"}},
      {"x,y\r", {"x", "y", ""}},     {"x\ry,z", {"x\ry", "z", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.line));
    InputFile file("H(a,b,c)\n" + c.line + "\n");
    Relation relation;
    readBlock(file, relation);
    ASSERT_EQ(relation.rowCount(), 1);
    EXPECT_EQ(cellsOf(relation, 0), c.cells);
  }
}

// Rows stay views of their lines only when every line already is its row's
// text; one short line, the first one too, has them all rewritten.
TEST(ReaderRowsTest, AShortLineBeforeFullOnesIsStillPadded) {
  InputFile file("H(a,b)\nx\ny,z\n");
  Relation relation;
  readBlock(file, relation);
  ASSERT_EQ(relation.rowCount(), 2);
  EXPECT_EQ(relation.rows[0], "x,");
  EXPECT_EQ(relation.rows[1], "y,z");
}

TEST(ReaderRowsTest, CountsCellsUpToFifty) {
  struct Case {
    std::string line;
    bool tooMany;
  };
  const Case cases[] = {
      {repeat(",", 50), false},       {repeat(",", 51), true},         {repeat("x,", 50), false},
      {repeat("x,", 50) + "x", true}, {repeat("x,", 49) + "x", false}, {repeat("x,", 51), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    InputFile file("H(a)\n1\n" + c.line + "\n");
    Relation relation;
    if (c.tooMany) {
      expectFatal([&] { readBlock(file, relation); }, "Tul sok mezo: 3. sor!");
    } else {
      readBlock(file, relation);
      EXPECT_EQ(relation.rowCount(), 2);
    }
  }
}

TEST(ReaderRowsTest, RowsEndAtAnEmptyLineOrTheEnd) {
  struct Case {
    std::string text;
    int rowCount;
    bool atEnd;
  };
  const Case cases[] = {
      {"H(a)", 0, true},          {"H(a)\n", 0, true},
      {"H(a)\n\nnext", 0, false}, {"H(a)\n1\n2", 2, true},
      {"H(a)\n1\n2\n", 2, true},  {"H(a)\r\n1\r\n2\r\n\r\nnext", 2, false},
      {"H(a)\n \n\n", 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    InputFile file(c.text);
    Relation relation;
    readBlock(file, relation);
    EXPECT_EQ(relation.rowCount(), c.rowCount);
    EXPECT_EQ(file.atEnd(), c.atEnd);
    if (!c.atEnd) {
      EXPECT_EQ(file.lineNumber(), c.rowCount + 2);  // the empty line is consumed
    }
  }
}

TEST(ReaderRowsTest, RefusesBadRows) {
  InputFile parenthesis("H(a)\n1\n2\nx(y\n");
  Relation relation;
  expectFatal([&] { readBlock(parenthesis, relation); }, "Hibas sor: 4. sor!");

  InputFile header("H(a)\n1\nNext(b)\n2\n");
  Relation other;
  expectFatal([&] { readBlock(header, other); }, "Hibas sor: 3. sor!");

  // Rows from the text's first byte on: the first search starts there.
  for (const std::string_view text : {"1\n(2\n", "(\n"}) {
    SCOPED_TRACE(text);
    InputFile rowsOnly(text);
    Relation bare;
    bare.attributes = {test::attr("a")};
    const std::string message = text.front() == '(' ? "Hibas sor: 1. sor!" : "Hibas sor: 2. sor!";
    expectFatal([&] { readRows(rowsOnly, bare); }, message);
  }
}

TEST(ReaderRowsTest, ReadsAtMostTenThousandRows) {
  const std::string rows = repeat("r,s\n", MAX_ROWS);
  {
    InputFile file("H(a,b)\n" + rows);
    Relation relation;
    readBlock(file, relation);
    EXPECT_EQ(relation.rowCount(), MAX_ROWS);
    EXPECT_EQ(cellsOf(relation, MAX_ROWS - 1), (std::vector<std::string_view>{"r", "s"}));
  }
  InputFile file("H(a,b)\n" + rows + "r,s\n");
  Relation relation;
  expectFatal([&] { readBlock(file, relation); }, "Tul sok sor: 10002. sor!");
}

// Loads `file` as the driver does: the first line as the join list, then
// `relationCount` blocks. Returns the relations kept.
std::vector<Relation> load(InputFile& file, std::int64_t relationCount, ReadSink& out) {
  Header joinList;
  parseHeader(file, joinList.name, joinList.attributes);
  return loadRelations(file, relationCount, joinList.attributes, out);
}

TEST(ReaderLoadTest, LoadsAndEchoesTheExample) {
  for (const std::string& text : {kExample, kExample + "\n", kExample + "\n\n\n"}) {
    SCOPED_TRACE(text);
    InputFile file(text);
    Header joinList;
    parseHeader(file, joinList.name, joinList.attributes);
    expectHeader(joinList, "Query", {{"Emp", ""}, {"Dept", ""}});

    WrittenText out;
    const std::vector<Relation> relations = loadRelations(file, 2, joinList.attributes, out);
    EXPECT_EQ(out.str(),
              "Emp(name char(20), dept int)\nAnna,1\nBela,2\n\n"
              "Dept(dept int, title char(10))\n1,Sales\n2,Audit\n\n");
    EXPECT_TRUE(file.atEnd());

    ASSERT_EQ(relations.size(), 2u);
    const Relation& emp = relations[0];
    EXPECT_EQ(nameToString(emp.name), "Emp");
    ASSERT_EQ(emp.attributeCount(), 2);
    EXPECT_EQ(nameToString(emp.attributes[0].name), "name");
    EXPECT_EQ(emp.attributes[0].type, "char(20)");
    ASSERT_EQ(emp.rowCount(), 2);
    EXPECT_EQ(cellsOf(emp, 0), (std::vector<std::string_view>{"Anna", "1"}));
    EXPECT_EQ(cellsOf(emp, 1), (std::vector<std::string_view>{"Bela", "2"}));

    const Relation& dept = relations[1];
    EXPECT_EQ(nameToString(dept.name), "Dept");
    ASSERT_EQ(dept.attributeCount(), 2);
    EXPECT_EQ(nameToString(dept.attributes[1].name), "title");
    EXPECT_EQ(dept.attributes[1].type, "char(10)");
    ASSERT_EQ(dept.rowCount(), 2);
    EXPECT_EQ(cellsOf(dept, 0), (std::vector<std::string_view>{"1", "Sales"}));
    EXPECT_EQ(cellsOf(dept, 1), (std::vector<std::string_view>{"2", "Audit"}));
  }
}

TEST(ReaderLoadTest, SkipsEmptyLinesAndKeepsOnlyWhatTheJoinReads) {
  InputFile file("Q(A)\n\n\nA(x)\n1\n\n\n\n\nB(y int)\n2\n3\n\n\n\n");
  WrittenText out;
  const std::vector<Relation> relations = load(file, 2, out);
  EXPECT_EQ(out.str(), "A(x)\n\n1\n\nB(y int)\n2\n3\n\n");
  // B is written whole, but the join never reads it.
  ASSERT_EQ(relations.size(), 1u);
  EXPECT_EQ(nameToString(relations[0].name), "A");
  EXPECT_EQ(relations[0].rowCount(), 1);
}

TEST(ReaderLoadTest, KeepsTheFirstRelationOfEachNameJoined) {
  InputFile file("Q(B, A, B)\nA(x)\n1\n\nB(y)\n2\n\nA(x)\n3\n\nC(z)\n4\n");
  WrittenText out;
  const std::vector<Relation> relations = load(file, 4, out);
  EXPECT_EQ(out.str(), "A(x)\n\n1\n\nB(y)\n\n2\n\nA(x)\n\n3\n\nC(z)\n\n4\n\n");
  ASSERT_EQ(relations.size(), 2u);
  EXPECT_EQ(nameToString(relations[0].name), "A");
  EXPECT_EQ(cellsOf(relations[0], 0), std::vector<std::string_view>{"1"});
  EXPECT_EQ(nameToString(relations[1].name), "B");
}

TEST(ReaderLoadTest, RefusesWhatFollowsTheBlocks) {
  struct Case {
    std::string text;
    int relationCount;
    std::string message;
    std::string output;  // written before the refusal
  };
  const Case cases[] = {
      {"Q(A)\nA(x int)\n1\n\n\nstray\n", 1, "Hibas fejlec: 6. sor!", "A(x int)\n1\n\n"},
      {"Q(A)\nA(x int)\n1\n\nx,y", 1, "Hibas fejlec: 5. sor!", "A(x int)\n1\n\n"},
      // Each relation is written as soon as it is read.
      {"Q(A,B)\nA(x int)\n1\n\nB(y)\n(2\n", 2, "Hibas sor: 6. sor!", "A(x int)\n1\n\n"},
      // A missing empty line between blocks.
      {"Q(A,B)\nA(x int)\n1\nB(y)\n2\n", 2, "Hibas sor: 4. sor!", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    InputFile file(c.text);
    WrittenText out;
    expectFatal([&] { load(file, c.relationCount, out); }, c.message);
    EXPECT_EQ(out.str(), c.output);
  }
}

TEST(ReaderLoadTest, NoRelationsReadsAndWritesNothing) {
  for (const std::string text : {"Q()", "Q()\n", "Q()\n\n\n"}) {
    SCOPED_TRACE(text);
    InputFile file(text);
    WrittenText out;
    EXPECT_TRUE(load(file, 0, out).empty());
    EXPECT_EQ(out.str(), "");
  }
}

}  // namespace
}  // namespace joinrel
