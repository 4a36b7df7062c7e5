#include <filesystem>
#include <iostream>
#include <vector>

#include "driver/driver.h"

namespace {

template <typename Char>
int runWithArguments(int argc, Char** argv) {
  const std::vector<std::filesystem::path> args(argv, argv + argc);
  return joinrel::runJoinrel(args, std::cout, joinrel::runPauseCommand);
}

}  // namespace

#ifdef _WIN32
// Windows hands the narrow main its arguments in the ANSI code page, which
// turns a name such as "tábla_ő.txt" into one that does not exist; the wide
// entry point (linked with -municode) gets them as they were typed.
// cppcheck-suppress unusedFunction ; the C runtime calls it, as it calls main
int wmain(int argc, wchar_t** argv) { return runWithArguments(argc, argv); }
#else
int main(int argc, char** argv) { return runWithArguments(argc, argv); }
#endif
