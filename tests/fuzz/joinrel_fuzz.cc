// A libFuzzer target that runs the whole program in process, with the
// fuzzer's bytes as the input file, and stops on any run that does not end the
// way every run must: status 0 and a silent console, or status 1 after exactly
// one of the program's messages and one pause; the input file unchanged and
// nothing on the error stream but, after an unknown relation, the names it
// may have meant. It runs each input a second time watched, as the page runs
// it, and stops when that run ends otherwise or
// when the facts that explain it do not hold: each pair rebuilds its joined
// row, whose join cells are equal, a product pairs every two rows in order,
// no operand row is both paired and unmatched and every one is one of them,
// a joined row is listed with a shared name exactly where its two copies of
// it differ, and every result row stands for at least one joined row, each
// joined row for exactly one; the watched run also gathers its notes. After
// a complete run, the output file's result, read back as an answer and
// checked against a third run, must be right row for row and in order,
// unless its header holds a second "(" or one of its rows cannot come back
// through a line of text: an empty row, or one that ends in a carriage
// return. The sanitizers it is built with
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
#include <numeric>
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "check/check.h"
#include "driver/driver.h"
#include "explain/explain.h"
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

// Returns the cells of `row`, a row `width` cells wide.
std::vector<std::string_view> cellsOf(joinrel::Row row, std::size_t width) {
  std::vector<std::string_view> cells(width);
  joinrel::splitRow(row, cells);
  return cells;
}

// Checks the facts of each step as it is done, against its operands and the
// rows it built, and result's tidying once result is written.
class CheckingObserver final : public joinrel::RunObserver {
 public:
  joinrel::RowRecorder* rowRecorder() override { return explainer_.rowRecorder(); }
  joinrel::ReadNotes* readNotes() override { return explainer_.readNotes(); }
  void relationWritten(const joinrel::Relation& relation, joinrel::LineNumber line) override {
    explainer_.relationWritten(relation, line);
  }
  void joinListResolved(std::span<const std::int64_t> relations) override {
    explainer_.joinListResolved(relations);
  }
  void joinStepDone(const joinrel::JoinStep& step) override {
    explainer_.joinStepDone(step);
    if (explainer_.steps().size() != static_cast<std::size_t>(step.number)) {
      fail("a step without its facts", std::to_string(step.number));
    }
    check(step, explainer_.steps().back().lineage);
    checkSharedNames(step, explainer_.steps().back());
    joinedRows_ = explainer_.steps().back().lineage.pairs.size();
  }
  void resultBuilt(const joinrel::Relation& result) override {
    explainer_.resultBuilt(result);
    if (explainer_.steps().empty()) joinedRows_ = result.rows.size();
  }
  void resultWritten(const joinrel::Relation& result) override {
    explainer_.resultWritten(result);
    if (explainer_.joinList().empty()) return;
    const auto& tidy = explainer_.tidy();
    if (!tidy) fail("result without its sources", "");
    if (tidy->lineage.rowEnds.size() != result.rows.size())
      fail("a source list per result row", "");
    std::vector<int> sources = tidy->lineage.rows;
    std::sort(sources.begin(), sources.end());
    for (std::size_t i = 0; i < sources.size(); ++i) {
      if (sources[i] != static_cast<int>(i) || sources.size() != joinedRows_) {
        fail("a joined row not the source of exactly one result row", std::to_string(i));
      }
    }
    for (std::size_t row = 0; row < result.rows.size(); ++row) {
      if (joinrel::sourcesOf(tidy->lineage, row).empty()) fail("a result row without a source", "");
    }
  }
  void runStopped(joinrel::MessageKind kind, joinrel::LineNumber line,
                  const joinrel::Particulars& particulars) override {
    explainer_.runStopped(kind, line, particulars);
  }

 private:
  static void check(const joinrel::JoinStep& step, const joinrel::StepLineage& lineage) {
    const joinrel::Relation& left = step.left;
    const joinrel::Relation& right = step.right;
    const std::vector<joinrel::Attribute> attributes =
        joinrel::joinedAttributes(left, right, step.key);
    // A step that built each distinct row once laid its columns out by name.
    std::vector<std::size_t> order(attributes.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    if (!lineage.leftFirst.empty()) order = joinrel::columnsByName(attributes);
    const std::vector<int> built = joinrel::builtRowsOf(lineage);
    std::vector<char> leftPaired(left.rows.size(), 0);
    std::vector<char> rightPaired(right.rows.size(), 0);
    for (std::size_t i = 0; i < lineage.pairs.size(); ++i) {
      const auto [l, r] = lineage.pairs[i];
      const std::vector<std::string_view> leftCells = cellsOf(left.rows[l], left.attributes.size());
      const std::vector<std::string_view> rightCells =
          cellsOf(right.rows[r], right.attributes.size());
      if (step.key && leftCells[step.key->left] != rightCells[step.key->right]) {
        fail("a pair whose join cells differ", std::to_string(i));
      }
      if (!step.key && (l != static_cast<int>(i / right.rows.size()) ||
                        r != static_cast<int>(i % right.rows.size()))) {
        fail("a product's pairs out of order", std::to_string(i));
      }
      std::vector<std::string_view> cells = leftCells;
      for (std::size_t k = 0; k < rightCells.size(); ++k) {
        if (!step.key || static_cast<int>(k) != step.key->right) cells.push_back(rightCells[k]);
      }
      std::string text;
      for (std::size_t k = 0; k < order.size(); ++k) {
        if (k > 0) text += ',';
        text += cells[order[k]];
      }
      if (step.built.rows.at(static_cast<std::size_t>(built[i])) != text) {
        fail("a pair that does not rebuild its joined row", text);
      }
      leftPaired[l] = rightPaired[r] = 1;
    }
    checkUnmatched(leftPaired, lineage.unmatchedLeft);
    checkUnmatched(rightPaired, lineage.unmatchedRight);
  }

  // Each joined row is listed with a shared name exactly where its two copies
  // of the name, the left operand's and the right's, differ.
  static void checkSharedNames(const joinrel::JoinStep& step, const joinrel::StepFacts& facts) {
    const joinrel::SharedNameFacts& shared = facts.sharedFacts;
    if (shared.columns.size() != facts.shared.size()) fail("a shared name without columns", "");
    std::size_t listed = 0;
    int kept = 0;
    for (std::size_t i = 0; i < facts.lineage.pairs.size(); ++i) {
      const auto [l, r] = facts.lineage.pairs[i];
      std::vector<std::string_view> cells = cellsOf(step.left.rows[l], step.left.attributes.size());
      const std::vector<std::string_view> rightCells =
          cellsOf(step.right.rows[r], step.right.attributes.size());
      for (std::size_t k = 0; k < rightCells.size(); ++k) {
        if (!step.key || static_cast<int>(k) != step.key->right) cells.push_back(rightCells[k]);
      }
      bool agrees = true;
      for (std::size_t k = 0; k < shared.columns.size(); ++k) {
        const bool differs = cells.at(static_cast<std::size_t>(shared.columns[k][0])) !=
                             cells.at(static_cast<std::size_t>(shared.columns[k][1]));
        const bool isListed = listed < shared.differing.size() &&
                              shared.differing[listed] ==
                                  std::array<int, 2>{static_cast<int>(i), static_cast<int>(k)};
        if (differs != isListed) fail("a differing entry that does not differ, or one missing", "");
        listed += isListed ? 1 : 0;
        agrees = agrees && !differs;
      }
      kept += agrees ? 1 : 0;
    }
    if (listed != shared.differing.size()) fail("a differing entry beyond the joined rows", "");
    if (kept != shared.keptByAllShared) fail("rows kept by every shared name miscounted", "");
  }

  // Every row either paired or unmatched, and not both.
  static void checkUnmatched(std::vector<char> paired, const std::vector<int>& unmatched) {
    for (const int row : unmatched) {
      if (paired[static_cast<std::size_t>(row)] != 0) fail("a row paired and unmatched", "");
      paired[static_cast<std::size_t>(row)] = 1;
    }
    if (std::find(paired.begin(), paired.end(), 0) != paired.end()) {
      fail("a row neither paired nor unmatched", "");
    }
  }

  joinrel::RunExplainer explainer_;
  std::size_t joinedRows_ = 0;
};

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Whether `text` is the one line that offers the names an unknown relation
// may have meant: "did you mean A?", "did you mean A or B?", ...
bool isSimilarNamesLine(std::string_view text) {
  return text.starts_with("did you mean ") && text.ends_with("?\n") &&
         std::count(text.begin(), text.end(), '\n') == 1;
}

// Checks `output`, a complete run's output file, by its own result: the
// block from the last line that holds "(", which is result's header, as rows
// hold none.
void checkOwnResult(std::span<const joinrel::Argument> args, const std::string& output) {
  const std::size_t open = output.rfind('(');
  if (open == std::string::npos) fail("an output file without result", output);
  const std::size_t start = output.rfind('\n', open);
  const std::string_view block =
      std::string_view(output).substr(start == std::string::npos ? 0 : start + 1);
  // A name or type holding "(", above all a type that a comma cut, is
  // written as it is stored, and its header may then read otherwise.
  if (block.find('(') != open - (output.size() - block.size())) return;
  const joinrel::Answer answer = joinrel::readAnswer(block);
  if (answer.error) fail("result read back refused", output);
  joinrel::AnswerWatcher watcher(answer);
  std::ostringstream console;
  std::ostringstream errors;
  if (joinrel::runJoinrel(args, console, errors, countPause, watcher) != 0 || !watcher.check()) {
    fail("a third run that does not check", console.str());
  }
  const joinrel::AnswerCheck& check = *watcher.check();
  // An attribute of an empty name (one written starting with a blank) is
  // written as nothing, and its header reads back without it.
  for (const std::string& name : check.columns.result) {
    if (name.empty()) return;
  }
  for (const joinrel::MissingRow& row : check.missing) {
    if (row.text.empty() || row.text.back() == '\r') return;
  }
  if (!check.columns.inOrder || !check.missing.empty() || !check.extra.empty() || check.rowOrder ||
      check.right.size() != answer.relation.rows.size()) {
    fail("result read back is not right", output);
  }
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
  // With both file names, the error stream holds at most the names an unknown
  // relation may have meant, as one line after that message.
  const std::string hint = errors.str();
  const bool unknownRelation = shown.starts_with("Ismeretlen relacio: ");
  if (!hint.empty() && !(unknownRelation && isSimilarNamesLine(hint))) {
    fail("the error stream written with both file names", hint);
  }

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

  // Watched, as the page runs it: the same run, and facts that hold.
  const std::string output1 = fs::exists(output) ? readFile(output) : std::string();
  fs::remove(output, error);
  std::ostringstream watchedConsole;
  CheckingObserver checking;
  const int watchedStatus = joinrel::runJoinrel(args, watchedConsole, errors, countPause, checking);
  if (watchedStatus != status || watchedConsole.str() != shown) {
    fail("a watched run that ends otherwise", watchedConsole.str());
  }
  if ((fs::exists(output) ? readFile(output) : std::string()) != output1) {
    fail("a watched run that writes another output", output.string());
  }
  if (status == 0) checkOwnResult(args, output1);
  return 0;
}
