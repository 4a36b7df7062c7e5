#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "observe/observer.h"
#include "test_support.h"

namespace joinrel {
namespace {

namespace fs = std::filesystem;

// Writes each event as one line of text.
class Recorder : public RunObserver {
 public:
  std::vector<std::string> events;
  Particulars particulars;  // the fatal message's

  RowRecorder* rowRecorder() override { return nullptr; }
  void relationWritten(const Relation& relation, LineNumber) override {
    events.push_back("relation " + describe(relation));
  }
  void joinListResolved(std::span<const std::int64_t> relations) override {
    std::string list;
    for (const std::int64_t relation : relations) list += " " + std::to_string(relation);
    events.push_back("join list" + list);
  }
  void joinStepDone(const JoinStep& step) override {
    events.push_back(
        "step " + std::to_string(step.number) + " " + std::string(nameToString(step.left.name)) +
        "|" + std::string(nameToString(step.right.name)) + "|" +
        (step.key ? std::string(nameToString(step.left.attributes[step.key->left].name))
                  : std::string("product")) +
        "|" + std::to_string(step.left.rowCount()) + "x" + std::to_string(step.right.rowCount()) +
        " " + describe(step.built));
  }
  void resultBuilt(const Relation& result) override {
    events.push_back("built " + describe(result));
  }
  void resultWritten(const Relation& result) override {
    events.push_back("result " + describe(result));
  }
  void runStopped(MessageKind kind, LineNumber line, const Particulars& fields) override {
    particulars = fields;
    events.push_back("stopped " + std::string(messageEntry(kind).id) + " " + std::to_string(line));
  }

 private:
  static std::string describe(const Relation& relation) {
    std::string text = std::string(nameToString(relation.name)) + "(";
    for (const Attribute& attribute : relation.attributes) {
      text += std::string(nameToString(attribute.name)) + ":" + attribute.type + ";";
    }
    text += ")";
    for (const Row row : relation.rows) text += " [" + std::string(row) + "]";
    return text;
  }
};

std::vector<std::string> eventsOfRun(const std::string& input, std::string& console,
                                     Particulars* particulars = nullptr) {
  const test::ScratchDirectory directory;
  const fs::path inputPath = directory.path() / "input";
  const fs::path outputPath = directory.path() / "output";
  std::ofstream(inputPath, std::ios::binary) << input;
  std::ostringstream out;
  Recorder recorder;
  const std::array<Argument, 3> args = {"joinrel", inputPath.c_str(), outputPath.c_str()};
  runJoinrel(
      args, out, out, [] {}, recorder);
  console = out.str();
  if (particulars != nullptr) *particulars = recorder.particulars;
  return recorder.events;
}

// Every relation in file order, the unread one too; a join step then a
// product, the second with the chain built so far as its left operand; the
// steps' outcomes before normalisation, the last one's columns already in
// result's order and each of its distinct rows once; result before and after
// its tidying.
TEST(ObserverTest, HearsEveryRelationStepAndTheResult) {
  std::string console;
  const auto events = eventsOfRun(
      "Q(B, A, C)\n\nA(x int, y)\n2,b\n1,a\n\nN(n)\nz\n\nB(y, x)\nb,2\nb,2\n\nC(c)\n7\n", console);
  EXPECT_EQ(console, "");
  const std::vector<std::string> expected = {
      "relation A(x:int;y:;) [2,b] [1,a]",
      "relation N(n:;) [z]",
      "relation B(y:;x:;) [b,2] [b,2]",
      "relation C(c:;) [7]",
      "join list 2 0 3",
      "step 1 B|A|y|2x2 (y:;x:;x:int;) [b,2,2] [b,2,2]",
      "step 2 |C|product|2x1 (c:;x:;x:int;y:;) [7,2,2,b]",
      "built result(c:;x:;x:int;y:;) [7,2,2,b]",
      "result result(c:;x:;x:int;y:;) [7,2,2,b]",
  };
  EXPECT_EQ(events, expected);
}

// A fatal message reaches the observer after the relations written before it.
TEST(ObserverTest, HearsTheFatalMessage) {
  std::string console;
  const auto events = eventsOfRun("Q(A)\n\nA(x)\n1\n\nB(y\n", console);
  EXPECT_EQ(console, "Hibas fejlec: 6. sor!\n");
  const std::vector<std::string> expected = {"relation A(x:;) [1]", "stopped bad-header 6"};
  EXPECT_EQ(events, expected);
}

// The fields of `particulars` that are not left at their default.
std::string describe(const Particulars& particulars) {
  std::vector<std::string> fields;
  if (!particulars.name.empty()) fields.push_back("name " + particulars.name);
  if (particulars.step != 0) fields.push_back("step " + std::to_string(particulars.step));
  if (particulars.limit != StepLimit::None) {
    fields.push_back((particulars.limit == StepLimit::Rows ? "rows " : "attributes ") +
                     std::to_string(particulars.found));
  }
  if (particulars.cells != 0) fields.push_back("cells " + std::to_string(particulars.cells));
  if (particulars.headerFault != HeaderFault::None) {
    fields.emplace_back(kHeaderFaultIds[static_cast<std::size_t>(particulars.headerFault)]);
  }
  std::string text;
  for (const std::string& field : fields) text += (text.empty() ? "" : ", ") + field;
  return text;
}

// A relation `name` of `attributes` attributes, the first named `first` and
// the others `<name>1`, ..., with `rows` rows of "1" in every cell.
std::string block(const std::string& name, const std::string& first, int attributes, int rows) {
  std::string text = name + "(" + first;
  std::string row = "1";
  for (int k = 1; k < attributes; ++k) {
    text += ", " + name + std::to_string(k);
    row += ",1";
  }
  text += ")\n";
  for (int r = 0; r < rows; ++r) text += row + "\n";
  return text + "\n";
}

// Each message that has particulars gives them as fields, whatever line or
// text shows them; a step too large names its number, the limit and the
// count found, attributes before rows.
TEST(ObserverTest, HearsTheParticularsOfEachMessage) {
  const struct {
    const char* label;
    std::string input;
    std::string console;
    std::string want;  // the fields that are not left at their default
  } cases[] = {
      {"unknown relation", "Q(A, Xy)\n\n" + block("A", "x", 1, 1), "Ismeretlen relacio: Xy!",
       "name Xy"},
      {"join over 50 attributes: a + b - 1",
       "Q(A, B)\n\n" + block("A", "k", 26, 1) + block("B", "k", 26, 1), "Tul nagy az eredmeny: B!",
       "name B, step 1, attributes 51"},
      {"product over 50 attributes: a + b, before its rows",
       "Q(A, B)\n\n" + block("A", "x", 25, 101) + block("B", "y", 26, 100),
       "Tul nagy az eredmeny: B!", "name B, step 1, attributes 51"},
      {"join over 10000 rows: the matches",
       "Q(A, B)\n\n" + block("A", "k", 1, 101) + block("B", "k", 2, 100),
       "Tul nagy az eredmeny: B!", "name B, step 1, rows 10100"},
      {"product over 10000 rows in step 2: a x b",
       "Q(A, B, C)\n\n" + block("A", "k", 1, 101) + block("B", "k", 1, 1) + block("C", "y", 1, 100),
       "Tul nagy az eredmeny: C!", "name C, step 2, rows 10100"},
      {"too many cells", "Q(A)\n\nA(x)\n" + std::string(52, ',') + "\n", "Tul sok mezo: 4. sor!",
       "cells 52"},
      {"too many rows", "Q(B)\n\n" + block("A", "x", 1, 1) + block("B", "x", 1, 10001),
       "Tul sok sor: 10007. sor!", "name B"},
      {"a header without (", "Q(A)\n\n" + block("A", "x", 1, 1) + "B x\nC(y)\n",
       "Hibas fejlec: 6. sor!", "no-parenthesis"},
      {"a header whose list is not closed", "Q(A)\n\nA(x, y\n", "Hibas fejlec: 3. sor!",
       "list-not-closed"},
      {"a line after the last block", "Q(A)\n\nA(x)\n1\n\nstray\n", "Hibas fejlec: 6. sor!",
       "line-after-last-block"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    std::string console;
    Particulars got;
    eventsOfRun(c.input, console, &got);
    EXPECT_EQ(console, c.console + "\n");
    EXPECT_EQ(describe(got), c.want);
  }
}

}  // namespace
}  // namespace joinrel
