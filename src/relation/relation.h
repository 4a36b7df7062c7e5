// The records every part of joinrel works on: relations, their attributes and
// rows, and the fixed name fields.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace joinrel {

inline constexpr int MAX_NAME = 30;
inline constexpr int MAX_ATTRIBUTES = 50;
inline constexpr int MAX_ROWS = 10000;

// A size of text in bytes, or a sum of such sizes: 64 bits wide in every
// build, so that no sum wraps where size_t is 32 bits wide (WebAssembly).
using TextSize = std::uint64_t;

// The largest text this platform can hold: what its size_t holds.
inline constexpr TextSize kMaxTextSize = std::numeric_limits<std::size_t>::max();

// Returns `size` as a size to allocate. Refuses, as memory running out
// (std::bad_alloc), a size over `limit`, which is kMaxTextSize but in tests.
std::size_t memorySize(TextSize size, TextSize limit = kMaxTextSize);

// Bytes that nothing fills when they are allocated, for a text that is read
// or written whole right after; std::array's size is fixed when compiling.
using Bytes = std::unique_ptr<char[]>;  // NOLINT(modernize-avoid-c-arrays)

// A fixed name field: the name from its first byte on, blanks after it. The
// name ends at the first blank, so a field that starts with one holds "".
using Name = std::array<char, MAX_NAME>;

// Returns a field of 30 blanks.
constexpr Name blankName() {
  Name field{};
  field.fill(' ');
  return field;
}

// Returns the name `field` holds: its bytes before the first blank, all 30
// when it has none. The view points into `field`.
std::string_view nameToString(const Name& field);
// A view into a temporary field would dangle.
std::string_view nameToString(const Name&&) = delete;

// Returns a blank-filled field holding `text` from its first byte on. Bytes
// past the 30th are dropped; blanks are copied like any other byte.
Name stringToName(std::string_view text);

struct Attribute {
  Name name = blankName();
  std::string type;  // as written in the header; may be empty
};

// One row: its cells in column order with "," between two cells, exactly as
// the writer writes it. No cell holds a comma, so a row of a relation with n
// attributes holds n - 1 commas and its cells are the pieces between them. A
// row of one empty cell and a row without cells are both "".
using Row = std::string_view;

// Returns the cells of `row` into `cells`, whose size must be the row's cell
// count (its relation's attribute count); the views point into `row`.
void splitRow(Row row, std::span<std::string_view> cells);

// Returns the cell of `row`, a row of `width` cells, in column `column`, a
// view into `row`. `column` must lie below `width`. Reads the row from its
// nearer end, so a cell near the end costs no more than one near the start.
std::string_view cellAt(Row row, int column, int width);

// A relation. Its rows view the input text, which outlives every relation of
// the run, or `ownText`, which holds the rows built during the run (by the
// reader for lines that are not yet their rows' texts, by a join or by the
// normalisation) and is shared by copies and never changed. A copy therefore
// costs 16 bytes a row, never the texts. The rows are read through their
// views only, so ownText just keeps a text alive, whichever builder made it.
struct Relation {
  Name name = blankName();
  std::vector<Attribute> attributes;  // in column order
  std::vector<Row> rows;
  std::shared_ptr<const void> ownText;

  int attributeCount() const { return static_cast<int>(attributes.size()); }
  int rowCount() const { return static_cast<int>(rows.size()); }
};

// Checks that every row of `relation` has the shape splitRow and cellAt rely
// on: attribute count - 1 commas, or no text at all without attributes. A row
// of another shape ends the process with a report on the standard error.
// Only builds with JOINREL_CHECK_ROWS defined check (the sanitizer and fuzz
// builds); elsewhere this does nothing. Rows are checked where they are made.
void checkRowShapes(const Relation& relation);

// Builds rows that a relation owns the texts of: write a row's text to
// text(), then call endRow(); moveRowsInto() hands the rows over.
class RowBuilder {
 public:
  // The text of every row built so far, the open row last.
  std::string& text() { return text_; }
  // Ends the open row at the end of text().
  void endRow() { rowEnds_.push_back(text_.size()); }
  // Replaces the rows of `relation` with the rows built and empties the builder.
  void moveRowsInto(Relation& relation);

 private:
  std::string text_;
  std::vector<std::size_t> rowEnds_;
};

// Builds rows whose sizes are known beforehand into one text of exactly their
// total size, written in place through a cursor: no piece is appended with a
// check for room, and the text is not filled before it is written. Write a
// row's bytes from cursor() on, then end it with endRowAt(); the rows must
// fill the text. moveRowsInto() hands them over.
class SizedRowBuilder {
 public:
  // For `rowCount` rows of `textSize` bytes in all. Refuses a size over
  // `limit` as memory running out, as memorySize() does.
  SizedRowBuilder(TextSize textSize, std::size_t rowCount, TextSize limit = kMaxTextSize);

  // Where the open row's next byte goes.
  char* cursor() const { return cursor_; }
  // Ends the open row before `end`, which lies between cursor() and the end
  // of the text, and opens the next one there.
  void endRowAt(char* end) {
    cursor_ = end;
    rowEnds_.push_back(static_cast<std::size_t>(end - text_.get()));
  }
  // Replaces the rows of `relation` with the rows built.
  void moveRowsInto(Relation& relation) &&;

 private:
  Bytes text_;
  [[maybe_unused]] std::size_t textSize_;  // checked where rows are checked
  char* cursor_;
  std::vector<std::size_t> rowEnds_;
};

}  // namespace joinrel
