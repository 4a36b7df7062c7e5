// The page's way into joinrel: the engine the command line runs, over files
// in memory, with what it prints and writes handed back as bytes.
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <sstream>
#include <string>
#include <system_error>

#include "driver/driver.h"
#include "wasm/report.h"

namespace {

constexpr const char* kInputPath = "/input";
constexpr const char* kOutputPath = "/output";

// What the last run left for the page to read; the addresses stay valid
// until the next run. Every field is 32 bits wide, as wasm32's addresses
// are, so that the layout below holds whatever compiles this file.
struct Outcome {
  std::int32_t status = 0;
  std::uint32_t console = 0;
  std::uint32_t consoleSize = 0;
  std::uint32_t output = 0;
  std::int32_t outputSize = -1;  // -1: the run created no output file
  std::uint32_t report = 0;
  std::uint32_t reportSize = 0;
};

// worker.js reads the fields at these byte offsets (its OUTCOME table).
static_assert(offsetof(Outcome, status) == 0);
static_assert(offsetof(Outcome, console) == 4);
static_assert(offsetof(Outcome, consoleSize) == 8);
static_assert(offsetof(Outcome, output) == 12);
static_assert(offsetof(Outcome, outputSize) == 16);
static_assert(offsetof(Outcome, report) == 20);
static_assert(offsetof(Outcome, reportSize) == 24);

// The heap address of `text`'s bytes, as the page reads it.
std::uint32_t addressOf(const std::string& text) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(text.data()));
}

Outcome outcome;
std::string consoleText;
std::string outputText;
std::string reportText;

void noPause() {}

// Removes the file at `path`, if there is one.
void removeFile(const char* path) {
  std::error_code absent;
  std::filesystem::remove(path, absent);
}

bool writeFile(const char* path, const char* bytes, std::size_t size) {
  std::ofstream file(path, std::ios::binary);
  file.write(bytes, static_cast<std::streamsize>(size));
  file.close();
  return static_cast<bool>(file);
}

// Reads the output file into outputText; false when there is none.
bool readOutput() {
  std::ifstream file(kOutputPath, std::ios::binary);
  if (!file) return false;
  outputText.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return true;
}

}  // namespace

extern "C" {

// Runs joinrel on the `size` bytes at `input` as its input file, as
// `joinrel INPUT OUTPUT` does, with a pause that does nothing. The report
// holds each relation's first `rowLimit` rows, and the first `relationLimit`
// input relations only. Returns the outcome, or null when the input could not
// be stored. The caller may free `input` once this returns.
const Outcome* joinrel_run(const char* input, std::uint32_t size, std::int32_t rowLimit,
                           std::int32_t relationLimit) {
  consoleText = std::string();
  outputText = std::string();
  reportText = std::string();
  removeFile(kOutputPath);
  if (!writeFile(kInputPath, input, size)) {
    removeFile(kInputPath);
    return nullptr;
  }
  std::ostringstream console;
  // The page always names both files, so the usage hint never comes here.
  std::ostringstream errors;
  bool haveOutput = false;
  {
    joinrel::JsonReport report(rowLimit, relationLimit);
    const std::array<joinrel::Argument, 3> args = {"joinrel", kInputPath, kOutputPath};
    outcome.status = joinrel::runJoinrel(args, console, errors, noPause, report);
    removeFile(kInputPath);
    try {
      consoleText = console.str();
      reportText = report.text();
    } catch (const std::bad_alloc&) {
      reportText = report.briefText();
    }
    try {
      haveOutput = readOutput();
    } catch (const std::bad_alloc&) {
      outputText = std::string();
      haveOutput = false;
    }
  }
  removeFile(kOutputPath);
  outcome.console = addressOf(consoleText);
  outcome.consoleSize = static_cast<std::uint32_t>(consoleText.size());
  outcome.output = haveOutput ? addressOf(outputText) : 0;
  outcome.outputSize = haveOutput ? static_cast<std::int32_t>(outputText.size()) : -1;
  outcome.report = addressOf(reportText);
  outcome.reportSize = static_cast<std::uint32_t>(reportText.size());
  return &outcome;
}

}  // extern "C"
