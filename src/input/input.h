// The input reader: the input file in memory, its line reading, and the passes
// that echo its first line, count its relations and load them.
//
// The file is read once; each pass rewinds over the same bytes, so every pass
// sees one consistent file and a pipe works as input. Lines, and the rows of
// loaded relations whose lines already are their rows' texts, are views into
// those bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "messages/messages.h"
#include "relation/relation.h"

namespace joinrel {

// The bytes of a file, as read: `size` bytes at `bytes`.
struct InputText {
  Bytes bytes;
  std::size_t size = 0;
};

// Reads the whole file at `path`. Refuses, with FatalError, a path that cannot
// be opened or names a directory ("Hibas fajlnev!") and a read error ("Hiba az
// input fajl olvasasakor!").
InputText readInputFile(const std::filesystem::path& path);

// The input text with a read position. Views it hands out stay valid as long
// as the object lives, which is why it can be neither copied nor moved.
class InputFile {
 public:
  explicit InputFile(InputText text);
  // A copy of `text`, for a text made in memory.
  explicit InputFile(std::string_view text);
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Starts a new pass at the first byte, with a clean end-of-input state.
  void rewind();

  // Reads the next line: the bytes up to the next line feed, which is
  // consumed, less a carriage return directly before it. When the text ends
  // before a line feed, what was read is the line (empty if nothing was) and
  // the input is at its end from then on. Returns lineBuffer().
  std::string_view readLine();

  // True once a read has met the end of the text. After a last line that has
  // a line end this is false until the next read, which yields "".
  bool atEnd() const { return atEnd_; }

  // True when the line read last holds a "(". Where the next "(" lies is
  // kept, so that a pass searches the text for it once in all rather than
  // once a line: rows hold none. Asked of every row, hence inline.
  bool lineHoldsParenthesis() {
    const auto start = static_cast<std::size_t>(lineBuffer_.data() - text_.data());
    // A "(" before the line belongs to a line read earlier, and one at its
    // start may not have been searched for yet: search on from here. When
    // there is none left, npos stays past every line.
    if (nextParenthesis_ <= start) nextParenthesis_ = text_.find('(', start);
    return nextParenthesis_ < start + lineBuffer_.size();
  }

  // The whole text, every pass alike.
  std::string_view text() const { return text_; }

  // The line read last, and its 1-based physical line number.
  std::string_view lineBuffer() const { return lineBuffer_; }
  LineNumber lineNumber() const { return lineNumber_; }

  // The number of the line after the file's last line.
  LineNumber lineAfterLast() const;

  // The number of lines after the first that hold `byte`, found by searching
  // for the byte rather than reading every line. Changes no read state.
  std::int64_t linesAfterFirstHolding(char byte) const;

 private:
  const InputText input_;
  const std::string_view text_;  // all of input_
  std::size_t next_ = 0;
  bool atEnd_ = false;
  LineNumber lineNumber_ = 0;
  std::string_view lineBuffer_;
  std::size_t nextParenthesis_ = 0;  // the first "(" from where the last search began
};

// What the header parser read of one header line besides its name and
// attributes.
struct HeaderReading {
  LineNumber line = 0;
  std::string_view text;    // the whole line
  std::size_t nameEnd = 0;  // where the "(" that opens the list stands
  std::size_t listEnd = 0;  // where reading stopped; the bytes from here on are ignored
  // The attributes, by index, whose type text holds a "(" that a comma
  // ended before its ")": the comma also ended the attribute.
  std::vector<int> cutTypes;
};

// Hears, for a watcher who asks, what the reader takes in as it is, the
// pieces a reader of the file may not expect among them: the text, each
// header as parsed and each relation's row lines. Absent for the command
// line, whose reader then does nothing more. A method must not throw: a
// watcher must not change what the run does.
class ReadNotes {
 public:
  ReadNotes() = default;
  ReadNotes(const ReadNotes&) = delete;
  ReadNotes& operator=(const ReadNotes&) = delete;
  virtual ~ReadNotes() = default;

  // The whole input, once, before its first line is looked at; the view is
  // valid for the run.
  virtual void textRead(std::string_view text) noexcept = 0;
  // A header just parsed: the first line's, whose attributes are the join
  // list (`relation` -1), or that of relation `relation`, from 0 in file
  // order; the views are valid for the call.
  virtual void headerRead(std::int64_t relation, const HeaderReading& header, const Name& name,
                          std::span<const Attribute> attributes) noexcept = 0;
  // The row lines of the relation whose header was told last, before any is
  // rewritten as its row: line i is input line `firstRowLine` + i, a view
  // into the text textRead() told, each line after the one before.
  // `linesFit` is true when every line holds one comma fewer than the
  // relation's `attributeCount`. Valid for the call.
  virtual void rowsRead(std::span<const Row> lines, int attributeCount, LineNumber firstRowLine,
                        bool linesFit) noexcept = 0;
};

// Receives what the reader finishes, as soon as it is finished, so that it
// is written before the reader goes on. A method may throw FatalError, which
// ends the pass.
class ReadSink {
 public:
  ReadSink() = default;
  ReadSink(const ReadSink&) = delete;
  ReadSink& operator=(const ReadSink&) = delete;
  virtual ~ReadSink() = default;

  // The first line, not empty; the view is valid for the length of the call.
  virtual void firstLineRead(std::string_view line) = 0;
  // An input relation, read whole: every one, in file order, the ones the
  // join does not read included, each before the next is read. Its row i is
  // input line `firstRowLine` + i.
  virtual void relationRead(const Relation& relation, LineNumber firstRowLine) = 0;
  // What to tell of the pieces read; none when nobody asks.
  virtual ReadNotes* notes() { return nullptr; }
};

// Pass 1: reads the first line and hands it to `sink`; tells sink.notes(),
// when there are any, the whole text first. Refuses an empty first line
// ("Ures az elso sor!") before handing anything over.
void echoFirstLine(InputFile& inputFile, ReadSink& sink);

// Pass 2: returns the number of lines after the first that hold a "(": the
// relation count. Builds nothing, and reads no line: it searches the text.
std::int64_t countRelations(const InputFile& inputFile);

// Reads a header line "Name(attribute type, ...)" into `name` and
// `attributes`, skipping empty lines before it. `name` must be blank and
// `attributes` empty; at most 50 attributes are read, the rest of the line
// is ignored. Refuses, with FatalError naming the line:
//   - the end of the input where a header is expected ("Hianyzo fejlec"; with
//     the count from countRelations a guard only, as every counted line is
//     either read as a header or refused as a row),
//   - a line with no "(" after its first byte (HeaderFault::NoParenthesis),
//     or that ends before the ")" closing its list and before the comma after
//     a 50th attribute (HeaderFault::ListNotClosed): "Hibas fejlec",
//   - a relation name over 30 bytes ("Tul hosszu nev").
// Tells `notes`, when given, the header parsed, as that of relation
// `relation` (-1 for the first line).
void parseHeader(InputFile& inputFile, Name& name, std::vector<Attribute>& attributes,
                 ReadNotes* notes = nullptr, std::int64_t relation = -1);

// Reads the rows after a header, up to an empty line (consumed) or the end of
// the input, into `relation`, which has its attributes and no rows. A row's
// cells are its line's comma-separated pieces (a trailing comma adds none);
// pieces beyond the attributes are dropped, missing ones are "". The rows view
// their lines when every line already is its row's text (one comma fewer than
// the relation has attributes); otherwise all are rewritten into
// `relation.ownText`. Refuses, with FatalError naming
// the line: a "(" in a row ("Hibas sor"), more than 50 cells ("Tul sok
// mezo", with the row's cell count), a 10001st row ("Tul sok sor", with the
// relation's name). Tells `notes`, when given, the row lines read.
void readRows(InputFile& inputFile, Relation& relation, ReadNotes* notes = nullptr);

// Pass 3, after the first line: reads `relationCount` relations, in file
// order, and hands each one to `sink` as soon as it is read, telling
// sink.notes(), when there are any, each header and each relation's row
// lines. Returns the relations the join reads: for each name that `joinList` carries, the first
// relation of that name, in file order. No other relation is kept once handed
// over; `fileIndices`, when given, receives the index in file order of each
// relation returned. Empty lines between and after the blocks are skipped; any other line
// left after the last block is refused as a bad header ("Hibas fejlec",
// HeaderFault::LineAfterLastBlock).
std::vector<Relation> loadRelations(InputFile& inputFile, std::int64_t relationCount,
                                    std::span<const Attribute> joinList, ReadSink& sink,
                                    std::vector<std::int64_t>* fileIndices = nullptr);

}  // namespace joinrel
