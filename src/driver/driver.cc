#include "driver/driver.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "input/input.h"
#include "join/join.h"
#include "join/similar_names.h"
#include "messages/messages.h"
#include "observe/observer.h"
#include "output/output.h"
#include "relation/relation.h"

namespace joinrel {

namespace {

void showMessage(std::ostream& console, std::string_view message) {
  console << message << '\n' << std::flush;
}

// What a run without its file names adds on the standard error, so that a
// first-time user learns how to call the program.
constexpr std::string_view kUsageHint = "usage: joinrel INPUT OUTPUT (joinrel --help for more)\n";

// For a relation that no relation carries, the names the user may have
// meant, as one line: "did you mean A?", "did you mean A or B?", "did you
// mean A, B or C?". Nothing when there are none.
void showSimilarNames(std::ostream& errors, const std::vector<std::string>& names) {
  if (names.empty()) return;
  errors << "did you mean ";
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) errors << (i + 1 == names.size() ? " or " : ", ");
    errors << names[i];
  }
  errors << "?\n" << std::flush;
}

// Shows `message` on `console` (and on `errors` the usage hint for a missing
// argument, the similar names for an unknown relation), tells `observer` its
// kind, line and particulars, then calls `pause`; returns the status of a run
// that stops there.
int stop(std::ostream& console, std::ostream& errors, std::string_view message, MessageKind kind,
         LineNumber line, const Particulars& particulars, void (*pause)(), RunObserver& observer) {
  showMessage(console, message);
  if (kind == MessageKind::MissingParameter) errors << kUsageHint << std::flush;
  showSimilarNames(errors, particulars.similarNames);
  observer.runStopped(kind, line, particulars);
  pause();
  return 1;
}

// The options that ask for the usage text; "/?" is the Windows custom.
#ifdef _WIN32
constexpr std::array<std::string_view, 3> kHelpOptions = {"--help", "-h", "/?"};
#else
constexpr std::array<std::string_view, 2> kHelpOptions = {"--help", "-h"};
#endif

// True when `arg` spells `word`, an ASCII text, character for character.
// Iterator pairs rather than ranges: the WebAssembly build's standard library
// lacks the ranges algorithms.
bool argumentIs(Argument arg, std::string_view word) {
  const std::basic_string_view spelled(arg);
  return std::equal(spelled.begin(), spelled.end(), word.begin(), word.end());
}

// The usage text names the documents that the user has at hand: beside
// joinrel.exe in the Windows ZIP, and where the Debian package or
// `cmake --install` put them on Linux.
constexpr std::string_view kUsage =
    "Usage: joinrel INPUT OUTPUT\n"
    "Reads the relations held in the text file INPUT, writes each one to the\n"
    "file OUTPUT, joins those that the first line of INPUT names, and writes\n"
    "the joined relation, result, at the end of OUTPUT.\n"
    "\n"
#ifdef _WIN32
    "  joinrel --help     shows this text (also -h and /?)\n"
    "  joinrel --version  shows the version\n"
    "\n"
    "The input format and the meaning of each message: the guide README.html,\n"
    "beside joinrel.exe.\n";
#else
    "  joinrel --help     shows this text (also -h)\n"
    "  joinrel --version  shows the version\n"
    "\n"
    "The input format and the meaning of each message: the manual page\n"
    "joinrel(1), and the guide README.html in share/doc/joinrel where joinrel\n"
    "is installed (/usr/share/doc/joinrel/README.html from the Debian package).\n";
#endif

// Answers a run whose only argument asks for the usage text or the version;
// returns false, having written nothing, for any other run.
bool answerQuery(std::span<const Argument> args, std::ostream& console) {
  if (args.size() != 2) return false;
  if (std::any_of(kHelpOptions.begin(), kHelpOptions.end(),
                  [&](std::string_view option) { return argumentIs(args[1], option); })) {
    console << kUsage << std::flush;
    return true;
  }
  if (argumentIs(args[1], "--version")) {
    console << "joinrel " << JOINREL_VERSION << '\n' << std::flush;
    return true;
  }
  return false;
}

// A literal, so that saying memory ran out takes none.
constexpr std::string_view kOutOfMemory = messageEntry(MessageKind::OutOfMemory).text;
// Made before any run, for the same reason.
const Particulars kNoParticulars;

// True when both paths name one file, through a hard or a symbolic link too.
// A path that does not exist names no other file.
bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
#ifdef _WIN32
  std::error_code error;
  return std::filesystem::equivalent(a, b, error);
#else
  // By device and inode, whatever the file type: the library's equivalent()
  // answers with an error instead for a device or a FIFO, and a device given
  // twice would be read and then overwritten.
  struct stat first {};
  struct stat second {};
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
#endif
}

// Writes what the reader and the join hand up as soon as they hand it up,
// each piece before the pass goes on, and tells `observer` once it is
// written.
class RunWriter final : public ReadSink, public JoinSink {
 public:
  RunWriter(OutputFile& outputFile, RunObserver& observer)
      : outputFile_(outputFile),
        observer_(observer),
        recorder_(observer.rowRecorder()),
        notes_(observer.readNotes()) {}

  // The first line, then an empty line.
  void firstLineRead(std::string_view line) override {
    std::string scratch;
    writeLine(outputFile_, line, scratch);
    writeLineEnd(outputFile_);
  }
  // The relation, then an empty line.
  void relationRead(const Relation& relation, LineNumber firstRowLine) override {
    writeRelation(relation, outputFile_);
    writeLineEnd(outputFile_);
    observer_.relationWritten(relation, firstRowLine);
    if (recorder_ != nullptr && keepingNames_) keepName(relation);
  }
  // The pieces read are the watcher's to ask for.
  ReadNotes* notes() override { return notes_; }
  // The rows' fates are the watcher's to ask for.
  RowRecorder* recorder() override { return recorder_; }
  // Kept only for a watcher with a recorder, as only it offers them.
  std::span<const std::string> loadedNames() const override { return loadedNames_; }
  // The join list and each join step write nothing; the watcher alone hears
  // of them.
  void relationsChosen(std::span<const int> relations) override {
    std::vector<std::int64_t> inFile(relations.size());
    std::transform(relations.begin(), relations.end(), inFile.begin(),
                   [&](int kept) { return fileIndices_[static_cast<std::size_t>(kept)]; });
    observer_.joinListResolved(inFile);
  }
  // For each relation the join reads, its index in file order.
  std::vector<std::int64_t>& fileIndices() { return fileIndices_; }
  bool readsStepRows() const override { return observer_.readsStepRows(); }
  void stepBuilt(const JoinStep& step) override { observer_.joinStepDone(step); }
  // `result`, in its final form, with no line end after it.
  void writeResult(Relation& result) {
    observer_.resultBuilt(result);
    normalizeResult(result);
    writeRelation(result, outputFile_);
    observer_.resultWritten(result);
  }

 private:
  // Memory running out leaves the names untold, as it would the watcher's
  // account, so that the run goes as the command line's does.
  void keepName(const Relation& relation) noexcept {
    try {
      loadedNames_.emplace_back(nameToString(relation.name));
    } catch (const std::bad_alloc&) {
      loadedNames_.clear();
      keepingNames_ = false;
    }
  }

  OutputFile& outputFile_;
  RunObserver& observer_;
  RowRecorder* recorder_;
  ReadNotes* notes_;
  std::vector<std::int64_t> fileIndices_;
  std::vector<std::string> loadedNames_;
  bool keepingNames_ = true;
};

// From the relations handed to it in file order, picks the names that
// similarNames would offer for `name` among all of them, in memory that does
// not grow with the file: the best so far are offered again with each batch
// of names, which picks what one offer of every name would, ties included,
// since the best so far come before every later name.
class SimilarNameScout final : public ReadSink {
 public:
  explicit SimilarNameScout(std::string_view name) : name_(name) {}

  void firstLineRead(std::string_view /*line*/) override {}
  void relationRead(const Relation& relation, LineNumber /*firstRowLine*/) override {
    batch_.emplace_back(nameToString(relation.name));
    if (batch_.size() == kBatch) offerBatch();
  }
  // The names picked from every relation handed over.
  std::vector<std::string> picked() {
    offerBatch();
    return best_;
  }

 private:
  void offerBatch() {
    batch_.insert(batch_.begin(), best_.begin(), best_.end());
    best_ = similarNames(name_, batch_);
    batch_.clear();
  }

  static constexpr std::size_t kBatch = 4096;  // names read between two offers
  std::string name_;
  std::vector<std::string> batch_;
  std::vector<std::string> best_;
};

// The names of the relations of `inputFile` that `name` may have meant, read
// in one more pass that keeps no relation; none when memory runs out, which
// must not hide the message they go with.
std::vector<std::string> namesSimilarTo(std::string_view name, InputFile& inputFile,
                                        std::int64_t relationCount) {
  try {
    SimilarNameScout scout(name);
    inputFile.rewind();
    Name firstLineName = blankName();
    std::vector<Attribute> firstLineList;
    parseHeader(inputFile, firstLineName, firstLineList);
    static_cast<void>(loadRelations(inputFile, relationCount, {}, scout));
    return scout.picked();
  } catch (const std::bad_alloc&) {
    return {};
  } catch (const std::length_error&) {
    return {};
  }
}

// joinAll, but where a name of `joinList` is unknown to a run that kept no
// names, refused with the names of `inputFile`'s relations similar to it.
Relation joinOrNameSimilar(InputFile& inputFile, std::int64_t relationCount,
                           std::span<const Relation> relations, std::span<const Attribute> joinList,
                           RunWriter& writer) {
  try {
    return joinAll(relations, joinList, writer);
  } catch (const FatalError& error) {
    if (error.kind() != MessageKind::UnknownRelation || !writer.loadedNames().empty()) throw;
    const std::string& name = error.particulars().name;
    throw FatalError::unknownRelation(name, namesSimilarTo(name, inputFile, relationCount));
  }
}

// The run proper, from reading the input to closing the output.
void run(const std::filesystem::path& inputPath, const std::filesystem::path& outputPath,
         RunObserver& observer) {
  InputFile inputFile(readInputFile(inputPath));
  // Checked before the output is opened, which would truncate the input.
  if (sameFile(inputPath, outputPath)) throw FatalError(MessageKind::SameFile);
  OutputFile outputFile(outputPath);
  RunWriter writer(outputFile, observer);

  echoFirstLine(inputFile, writer);

  inputFile.rewind();
  const std::int64_t relationCount = countRelations(inputFile);

  inputFile.rewind();
  Name joinListName = blankName();  // parsed with the list, read nowhere
  std::vector<Attribute> joinList;
  parseHeader(inputFile, joinListName, joinList, writer.notes());
  const std::vector<Relation> relations =
      loadRelations(inputFile, relationCount, joinList, writer, &writer.fileIndices());

  Relation result = joinOrNameSimilar(inputFile, relationCount, relations, joinList, writer);
  writer.writeResult(result);

  outputFile.close();
}

}  // namespace

void runPauseCommand() {
  static_cast<void>(std::system("PAUSE"));  // NOLINT(cert-env33-c)
}

int runJoinrel(std::span<const Argument> args, std::ostream& console, std::ostream& errors,
               void (*pause)(), RunObserver& observer) {
  try {
    if (answerQuery(args, console)) return 0;
    if (args.size() < 3) throw FatalError(MessageKind::MissingParameter);
    if (args.size() > 3) showMessage(console, messageEntry(MessageKind::TooManyParameters).text);
    // By the time a handler below runs, everything run() held is freed.
    run(args[1], args[2], observer);
    return 0;
  } catch (const FatalError& error) {
    return stop(console, errors, error.message(), error.kind(), error.line(), error.particulars(),
                pause, observer);
  } catch (const std::bad_alloc&) {
    return stop(console, errors, kOutOfMemory, MessageKind::OutOfMemory, 0, kNoParticulars, pause,
                observer);
  } catch (const std::length_error&) {  // a size beyond anything memory could hold
    return stop(console, errors, kOutOfMemory, MessageKind::OutOfMemory, 0, kNoParticulars, pause,
                observer);
  }
}

}  // namespace joinrel
