// A libFuzzer target that runs the whole program in process, with the
// fuzzer's bytes as the input file, and stops on any run that does not end the
// way every run must: status 0 and a silent console, or status 1 after exactly
// one of the program's messages and one pause; the input file unchanged and
// nothing on the error stream either way. The sanitizers it is built with
// catch the rest.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>

#include "driver/driver.h"
#include "messages/messages.h"
#include "observe/observer.h"

namespace {

namespace fs = std::filesystem;

// Reports a break, `detail` byte for byte, and aborts, which libFuzzer takes
// as a crash and saves the input for.
[[noreturn]] void fail(std::string_view what, std::string_view detail) {
  std::cerr << "joinrel_fuzz: " << what << ": [" << detail << "]\n";
  std::abort();
}

// A directory of this process's own for the input and the output file,
// removed when the fuzzer exits normally.
class WorkDirectory {
 public:
  WorkDirectory() {
    std::string pattern = (fs::temp_directory_path() / "joinrel_fuzz.XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) fail("cannot create a work directory", pattern);
    path_ = pattern;
  }
  WorkDirectory(const WorkDirectory&) = delete;
  WorkDirectory& operator=(const WorkDirectory&) = delete;
  ~WorkDirectory() {
    std::error_code error;
    fs::remove_all(path_, error);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

int pauses = 0;  // the pauses of the current run
void countPause() { ++pauses; }

// The messages about the command line and the file names: an input file's
// bytes cannot cause them, so they count as breaks here. Read and write errors
// and memory depend on the machine.
bool inputCanCause(joinrel::MessageKind kind) {
  using enum joinrel::MessageKind;
  return kind != MissingParameter && kind != TooManyParameters && kind != BadFileName &&
         kind != SameFile && kind != CannotCreateOutput;
}

// True for a line number from 1 to `lineAfterLast`, written without a sign or
// a leading zero.
bool isLineNumber(std::string_view digits, std::int64_t lineAfterLast) {
  if (digits.empty() || digits.size() > 19 || digits.front() == '0') return false;
  std::int64_t number = 0;
  for (const char digit : digits) {
    if (digit < '0' || digit > '9') return false;
    number = number * 10 + (digit - '0');
  }
  return number <= lineAfterLast;
}

// True for a name as the program shows it: at most 30 bytes, none a blank.
bool isName(std::string_view name) {
  return name.size() <= 30 && name.find(' ') == std::string_view::npos &&
         name.find('\n') == std::string_view::npos;
}

// True for "<what>: <line number>. sor!".
bool isLineMessage(std::string_view message, std::string_view what, std::int64_t lineAfterLast) {
  constexpr std::string_view tail = ". sor!";
  if (message.size() < what.size() + tail.size() || !message.starts_with(what) ||
      !message.ends_with(tail)) {
    return false;
  }
  const std::string_view middle =
      message.substr(what.size(), message.size() - what.size() - tail.size());
  return middle.starts_with(": ") && isLineNumber(middle.substr(2), lineAfterLast);
}

// True for "<what><name>!".
bool isNameMessage(std::string_view message, std::string_view what) {
  return message.size() > what.size() && message.starts_with(what) && message.ends_with('!') &&
         isName(message.substr(what.size(), message.size() - what.size() - 1));
}

bool isProgramMessage(std::string_view message, std::int64_t lineAfterLast) {
  return std::ranges::any_of(joinrel::kMessageCatalogue, [&](const joinrel::MessageEntry& entry) {
    if (!inputCanCause(entry.kind)) return false;
    switch (entry.form) {
      case joinrel::MessageForm::Fixed:
        return message == entry.text;
      case joinrel::MessageForm::AtLine:
        return isLineMessage(message, entry.text, lineAfterLast);
      case joinrel::MessageForm::WithName:
        return isNameMessage(message, entry.text);
    }
    return false;
  });
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const WorkDirectory work;
  const fs::path input = work.path() / "input";
  const fs::path output = work.path() / "output";
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  {
    std::ofstream file(input, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file.flush()) fail("cannot write the input file", input.string());
  }
  std::error_code error;
  fs::remove(output, error);  // each run starts without an output file

  const std::array<joinrel::Argument, 3> args = {"joinrel", input.c_str(), output.c_str()};
  std::ostringstream console;
  std::ostringstream errors;
  joinrel::SilentObserver nobody;
  pauses = 0;
  const int status = joinrel::runJoinrel(args, console, errors, countPause, nobody);
  const std::string shown = console.str();
  if (!errors.str().empty()) fail("the error stream written with both file names", errors.str());

  if (status == 0) {
    if (!shown.empty()) fail("status 0 with a message", shown);
    if (pauses != 0) fail("status 0 with a pause", shown);
    if (!fs::is_regular_file(output)) fail("status 0 without an output file", output.string());
  } else if (status == 1) {
    const std::int64_t lineAfterLast = std::count(bytes.begin(), bytes.end(), '\n') +
                                       (!bytes.empty() && bytes.back() != '\n' ? 1 : 0) + 1;
    const std::string_view line = std::string_view(shown).substr(0, shown.find('\n'));
    if (shown.size() != line.size() + 1) fail("not exactly one line on the console", shown);
    if (!isProgramMessage(line, lineAfterLast)) fail("not one of the program's messages", shown);
    if (pauses != 1) fail("status 1 without exactly one pause", shown);
  } else {
    fail("status neither 0 nor 1", std::to_string(status));
  }
  if (readFile(input) != bytes) fail("the input file changed", input.string());
  return 0;
}
