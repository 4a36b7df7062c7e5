#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
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

  void relationWritten(const Relation& relation) override {
    events.push_back("relation " + describe(relation));
  }
  void joinStepDone(const JoinStep& step) override {
    events.push_back("step " + std::string(step.leftName) + "|" + std::string(step.rightName) +
                     "|" + (step.product ? "product" : std::string(step.joinAttribute)) + "|" +
                     std::to_string(step.leftRows) + "x" + std::to_string(step.rightRows) + " " +
                     describe(step.built));
  }
  void resultWritten(const Relation& result) override {
    events.push_back("result " + describe(result));
  }
  void runStopped(MessageKind kind, LineNumber line) override {
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

std::vector<std::string> eventsOfRun(const std::string& input, std::string& console) {
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
  return recorder.events;
}

// Every relation in file order, the unread one too; a join step then a
// product, the second with the chain built so far as its left operand; the
// steps' outcomes before normalisation, the last one's columns already in
// result's order; result after it.
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
      "step B|A|y|2x2 (y:;x:;x:int;) [b,2,2] [b,2,2]",
      "step |C|product|2x1 (c:;x:;x:int;y:;) [7,2,2,b] [7,2,2,b]",
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

}  // namespace
}  // namespace joinrel
