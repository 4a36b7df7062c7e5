// The page's way into joinrel: the engine the command line runs, over files
// in memory. The page's worker puts the input file at /input, without a copy,
// and takes the output file from /output, again without one: neither is in
// the engine's heap but while the engine itself reads or writes it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <new>
#include <sstream>
#include <string>

#include "check/check.h"
#include "driver/driver.h"
#include "input/input.h"
#include "wasm/check_report.h"
#include "wasm/report.h"

namespace {

constexpr const char* kInputPath = "/input";
constexpr const char* kOutputPath = "/output";
constexpr const char* kAnswerPath = "/answer";

// What the last run left for the page to read; the addresses stay valid
// until the next run. Every field is 32 bits wide, as wasm32's addresses
// are, so that the layout below holds whatever compiles this file.
struct Outcome {
  std::int32_t status = 0;
  std::uint32_t console = 0;
  std::uint32_t consoleSize = 0;
  std::uint32_t report = 0;
  std::uint32_t reportSize = 0;
};

// worker.js reads the fields at these byte offsets (its OUTCOME table).
static_assert(offsetof(Outcome, status) == 0);
static_assert(offsetof(Outcome, console) == 4);
static_assert(offsetof(Outcome, consoleSize) == 8);
static_assert(offsetof(Outcome, report) == 12);
static_assert(offsetof(Outcome, reportSize) == 16);

Outcome outcome;
std::string consoleText;
std::string reportText;

void noPause() {}

// The heap address of `text`'s bytes, as the page reads it.
std::uint32_t addressOf(const std::string& text) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(text.data()));
}

}  // namespace

extern "C" {

// Runs joinrel on the file at /input, as `joinrel /input /output` does, with
// a pause that does nothing; the output file, if the run creates one, is
// left at /output for the caller. The report tells the first
// `relationLimit` input relations, with the other tables, in at most
// `reportLimit` bytes (and the frame's few hundred), and the facts that
// explain the run (src/wasm/report.h). Returns the outcome.
const Outcome* joinrel_run(std::int32_t relationLimit, std::uint32_t reportLimit) {
  consoleText = std::string();
  reportText = std::string();
  std::ostringstream console;
  // The page always names both files, so the usage hint never comes here.
  std::ostringstream errors;
  joinrel::JsonReport report(relationLimit, reportLimit);
  const std::array<joinrel::Argument, 3> args = {"joinrel", kInputPath, kOutputPath};
  outcome.status = joinrel::runJoinrel(args, console, errors, noPause, report);
  try {
    consoleText = console.str();
    reportText = report.text();
  } catch (const std::bad_alloc&) {
    reportText = report.briefText();
  }
  outcome.console = addressOf(consoleText);
  outcome.consoleSize = static_cast<std::uint32_t>(consoleText.size());
  outcome.report = addressOf(reportText);
  outcome.reportSize = static_cast<std::uint32_t>(reportText.size());
  return &outcome;
}

// Reads the answer at /answer as a relation block and, when it reads, runs
// joinrel on /input as joinrel_run does, checking the answer against the
// run's result (src/wasm/check_report.h); the output file, if the run makes
// one, is left at /output. The report is the check report; the status and
// the console are the run's (0 and none when the answer was refused and
// nothing ran). With `step` > 0, the answer is checked against the built
// relation of that join step instead.
const Outcome* joinrel_check(std::int32_t step) {
  consoleText = std::string();
  reportText = std::string();
  std::ostringstream console;
  std::ostringstream errors;
  outcome.status = 0;
  joinrel::Answer answer;
  try {
    const joinrel::InputText text = joinrel::readInputFile(kAnswerPath);
    answer = joinrel::readAnswer(std::string_view(text.bytes.get(), text.size));
    if (answer.error) {
      reportText = joinrel::checkReportText(answer, nullptr, step);
    } else {
      joinrel::AnswerWatcher watcher(answer, step);
      const std::array<joinrel::Argument, 3> args = {"joinrel", kInputPath, kOutputPath};
      outcome.status = joinrel::runJoinrel(args, console, errors, noPause, watcher);
      consoleText = console.str();
      try {
        reportText = joinrel::checkReportText(answer, &watcher, step);
      } catch (const std::bad_alloc&) {
        reportText = joinrel::briefCheckReportText(answer, &watcher, step);
      }
    }
  } catch (const std::bad_alloc&) {
    answer = joinrel::Answer();
    answer.error = joinrel::MessageKind::OutOfMemory;
    reportText = joinrel::briefCheckReportText(answer, nullptr, step);
  } catch (const joinrel::FatalError& error) {  // the answer could not be read
    answer = joinrel::Answer();
    answer.error = error.kind();
    reportText = joinrel::briefCheckReportText(answer, nullptr, step);
  }
  outcome.console = addressOf(consoleText);
  outcome.consoleSize = static_cast<std::uint32_t>(consoleText.size());
  outcome.report = addressOf(reportText);
  outcome.reportSize = static_cast<std::uint32_t>(reportText.size());
  return &outcome;
}

}  // extern "C"
