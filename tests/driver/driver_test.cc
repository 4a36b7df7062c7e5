#include "driver/driver.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>

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

}  // namespace
}  // namespace joinrel
