// Runs joinrel on INPUT, writing OUTPUT, as the command line does, watched as
// MODE says, so that what watching costs can be measured on one build:
//   silent  nobody watches, as on the command line
//   facts   the facts that explain the run are gathered, no report is written
//   report  the page's whole report is written too, and its size in bytes
//           printed; with a fourth argument, the report is saved there
// Prints the run's status and console to the standard error.
//   watched_run MODE INPUT OUTPUT [REPORT]
#include <array>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>

#include "driver/driver.h"
#include "explain/explain.h"
#include "wasm/report.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::cerr << "usage: watched_run silent|facts|report INPUT OUTPUT [REPORT]\n";
    return 2;
  }
  const std::string_view mode = argv[1];
  const std::array<joinrel::Argument, 3> args = {"joinrel", argv[2], argv[3]};
  std::ostringstream console;
  int status = 0;
  if (mode == "silent") {
    joinrel::SilentObserver nobody;
    status = joinrel::runJoinrel(
        args, console, std::cerr, [] {}, nobody);
  } else if (mode == "facts") {
    joinrel::RunExplainer explainer;
    status = joinrel::runJoinrel(
        args, console, std::cerr, [] {}, explainer);
  } else if (mode == "report") {
    joinrel::JsonReport report(500);
    status = joinrel::runJoinrel(
        args, console, std::cerr, [] {}, report);
    const std::string text = report.text();
    std::cout << text.size() << '\n';
    if (argc > 4) std::ofstream(argv[4], std::ios::binary) << text;
  } else {
    std::cerr << "unknown mode " << mode << '\n';
    return 2;
  }
  std::cerr << "status " << status << ": " << console.str();
  return status;
}
