#include "driver/driver.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "join/similar_names.h"
#include "observe/observer.h"
#include "test_support.h"

namespace joinrel {
namespace {

namespace fs = std::filesystem;

// A new output file gets 0664 less the umask, like a file created with that
// mode; an existing one keeps its own.
TEST(DriverTest, NewOutputFileGetsMode0664) {
  const test::ScratchDirectory directory;
  const fs::path input = directory.path() / "input";
  const fs::path output = directory.path() / "output";
  std::ofstream(input) << "Q(A)\nA(x)\n1\n";

  const mode_t previous = umask(0);
  SilentObserver nobody;
  std::ostringstream console;
  const std::array<Argument, 3> args = {"joinrel", input.c_str(), output.c_str()};
  const int status = runJoinrel(
      args, console, console, [] {}, nobody);
  umask(previous);

  EXPECT_EQ(status, 0);
  EXPECT_EQ(console.str(), "");
  EXPECT_EQ(fs::status(output).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                fs::perms::group_write | fs::perms::others_read);

  fs::permissions(output, fs::perms::others_write, fs::perm_options::add);
  EXPECT_EQ(runJoinrel(
                args, console, console, [] {}, nobody),
            0);
  EXPECT_TRUE((fs::status(output).permissions() & fs::perms::others_write) != fs::perms::none);
}

// The command line looks for the names like an unknown one in a pass of its
// own, a batch of names at a time. It must name exactly what one look at
// every name finds: letter case first, then the fewest edits, ties in file
// order, at most five, over files of more names than a batch holds.
TEST(DriverTest, UnknownRelationHintNamesWhatOneLookAtEveryNameFinds) {
  const test::ScratchDirectory directory;
  const fs::path input = directory.path() / "input";
  const fs::path output = directory.path() / "output";
  std::mt19937 random(20261210);
  for (int round = 0; round < 10; ++round) {
    // Few letters, so that many names are alike; with upper case letters
    // the names equal apart from case win, without them the nearest.
    const std::string letters = round % 2 == 0 ? "aAbB" : "abcdef";
    const auto randomName = [&](std::size_t shortest, std::size_t longest) {
      std::string name(std::uniform_int_distribution(shortest, longest)(random), ' ');
      for (char& c : name) c = letters[random() % letters.size()];
      return name;
    };
    const std::string unknown = randomName(3, 4);
    std::vector<std::string> names;
    std::string text = "Q(" + unknown + ")\n\n";
    for (int i = std::uniform_int_distribution(5000, 9000)(random); i > 0; --i) {
      const std::string name = randomName(1, 6);
      if (name == unknown) continue;
      names.push_back(name);
      text += name + "(a)\n\n";
    }
    std::ofstream(input, std::ios::binary) << text;

    std::string expected;
    const std::vector<std::string> similar = similarNames(unknown, names);
    for (std::size_t i = 0; i < similar.size(); ++i) {
      expected += (i == 0 ? "did you mean " : i + 1 == similar.size() ? " or " : ", ") + similar[i];
    }
    if (!expected.empty()) expected += "?\n";

    SilentObserver nobody;
    std::ostringstream console;
    std::ostringstream errors;
    const std::array<Argument, 3> args = {"joinrel", input.c_str(), output.c_str()};
    EXPECT_EQ(runJoinrel(
                  args, console, errors, [] {}, nobody),
              1);
    EXPECT_EQ(console.str(), "Ismeretlen relacio: " + unknown + "!\n");
    EXPECT_EQ(errors.str(), expected) << "round " << round << ", " << names.size() << " names";
  }
}

}  // namespace
}  // namespace joinrel
