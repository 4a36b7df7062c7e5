#include <csignal>
#include <iostream>
#include <span>

#include "driver/driver.h"
#include "observe/observer.h"

namespace {

int runWithArguments(int argc, const joinrel::Argument* argv) {
  joinrel::SilentObserver nobody;
  return joinrel::runJoinrel(std::span(argv, static_cast<std::size_t>(argc)), std::cout, std::cerr,
                             joinrel::runPauseCommand, nobody);
}

}  // namespace

#ifdef _WIN32
// Windows hands the narrow main its arguments in the ANSI code page, which
// turns a name such as "tábla_ő.txt" into one that does not exist; the wide
// entry point (linked with -municode) gets them as they were typed.
// cppcheck-suppress unusedFunction ; the C runtime calls it, as it calls main
int wmain(int argc, wchar_t** argv) { return runWithArguments(argc, argv); }
#else
int main(int argc, char** argv) {
  // A write past the file-size limit then fails like any other failed write,
  // with a message, instead of ending the process with the signal.
  static_cast<void>(std::signal(SIGXFSZ, SIG_IGN));
  return runWithArguments(argc, argv);
}
#endif
