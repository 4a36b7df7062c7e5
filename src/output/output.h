// The writer of the output text format.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#ifdef _WIN32
#include <fstream>
#endif

#include "messages/messages.h"
#include "relation/relation.h"

namespace joinrel {

// The output file, written a whole line at a time: each line, with its line
// end, has reached the file before the next is written, so a run that stops
// leaves every line it wrote. Where files are POSIX files (Linux, and the
// WebAssembly build's files in memory) a line is one write(2) on the file
// descriptor, with no buffer between; Windows writes through a text-mode
// stream, flushed after every line, which turns each line end into CR LF.
class OutputFile {
 public:
  // Opens `path` for writing, created or truncated. A new file gets the mode
  // 0664 less the umask. Refuses a path that cannot be opened so ("Nem lehet
  // letrehozni az output fajlt!").
  explicit OutputFile(const std::filesystem::path& path);
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  // Closes the file unless close() did, ignoring any failure: a run that
  // ends early has already failed.
  ~OutputFile();

  // Writes `line`, which ends with its line end. A write the system takes only
  // in part is continued, one it interrupts before taking anything is
  // retried. Refuses a failed write, and any write after one ("Hiba az output
  // fajl irasakor!").
  void writeLine(std::string_view line);

  // Closes the file. Refuses a failed close, and a file a write to which
  // failed, as writeLine refuses a write.
  void close();

 private:
#ifdef _WIN32
  std::ofstream stream_;
#else
  int descriptor_ = -1;
  bool failed_ = false;
#endif
};

// Writes a line end, refusing a failing file as OutputFile::writeLine does.
void writeLineEnd(OutputFile& outputFile);

// Writes `text` and a line end as one line, refusing a failing file as
// OutputFile::writeLine does. The text and its line end are put together in
// `scratch`, so that a long line too reaches the file in one write; callers
// reuse `scratch` from line to line.
void writeLine(OutputFile& outputFile, std::string_view text, std::string& scratch);

// Writes `relation`: the header "Name(attr type, attr, ...)", an empty line
// when no attribute is typed, then one line per row with its cells joined by
// ",". An attribute is typed when its type text is non-empty and does not
// start with a blank; separators are "," until the first typed attribute and
// ", " from then on. With no attributes the rows write nothing. Nothing
// follows the last row's line end. Refuses a failing file as writeLineEnd
// does.
void writeRelation(const Relation& relation, OutputFile& outputFile);

}  // namespace joinrel
