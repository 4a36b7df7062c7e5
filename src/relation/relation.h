// The records every part of joinrel works on: relations, their attributes and
// rows, and the fixed name fields.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
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

// Commas are found eight bytes at a time: a word's bytes that are commas are
// flagged all at once, with plain arithmetic that every platform compiles.

// The eight bytes from `at` as one word, the first byte lowest.
inline std::uint64_t loadWord(const char* at) {
  std::uint64_t word = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&word, at, sizeof word);
  } else {
    for (int k = 7; k >= 0; --k) word = word << 8 | static_cast<unsigned char>(at[k]);
  }
  return word;
}

// Returns `word` with the high bit set in each byte that is a comma and in
// no other: a byte XOR "," is zero just for a comma, and (b & 0x7F) + 0x7F,
// which never carries into the next byte, has its high bit set just when
// b's low seven bits are not all zero.
inline std::uint64_t commaBits(std::uint64_t word) {
  constexpr std::uint64_t commas = 0x2C2C2C2C2C2C2C2C;
  constexpr std::uint64_t low7 = 0x7F7F7F7F7F7F7F7F;
  const std::uint64_t x = word ^ commas;
  return ~(((x & low7) + low7) | x) & ~low7;
}

// Returns whether `word` holds a comma: the lowest zero byte of a word x is
// the lowest byte where x - 1 borrows into a clear high bit. Cheaper than
// commaBits, for skipping the words of a long cell.
inline bool holdsComma(std::uint64_t word) {
  constexpr std::uint64_t commas = 0x2C2C2C2C2C2C2C2C;
  const std::uint64_t x = word ^ commas;
  return ((x - 0x0101010101010101) & ~x & 0x8080808080808080) != 0;
}

// Returns the first comma in [at, end), or `end` when there is none.
inline const char* findComma(const char* at, const char* end) {
  for (; end - at >= 8; at += 8) {
    const std::uint64_t bits = commaBits(loadWord(at));
    if (bits != 0) return at + std::countr_zero(bits) / 8;
  }
  while (at != end && *at != ',') ++at;
  return at;
}

// Returns the last comma in [begin, end), or `end` when there is none.
inline const char* findLastComma(const char* begin, const char* end) {
  const char* at = end;
  for (; at - begin >= 8; at -= 8) {
    const std::uint64_t bits = commaBits(loadWord(at - 8));
    if (bits != 0) return at - 8 + (63 - std::countl_zero(bits)) / 8;
  }
  for (; at != begin; --at) {
    if (at[-1] == ',') return at - 1;
  }
  return end;
}

// Writes to `starts` where each of the first `count` cells of `row` begins:
// 0, then the position after each of its first `count` - 1 commas, which the
// row must hold. The commas of a word are taken one after another from its
// bits, so a short cell costs a few instructions.
inline void cellStarts(Row row, std::size_t count, std::size_t* starts) {
  if (count == 0) return;
  starts[0] = 0;
  std::size_t k = 1;
  const char* const begin = row.data();
  const char* const end = begin + row.size();
  const char* at = begin;
  while (k < count && end - at >= 8) {
    const auto offset = static_cast<std::size_t>(at - begin) + 1;
    std::uint64_t bits = commaBits(loadWord(at));
    at += 8;
    if (bits == 0) {  // a long cell: on past its words two at a time
      while (end - at >= 16 && !holdsComma(loadWord(at)) && !holdsComma(loadWord(at + 8))) at += 16;
      continue;
    }
    for (; bits != 0 && k < count; bits &= bits - 1) {
      starts[k++] = offset + static_cast<std::size_t>(std::countr_zero(bits)) / 8;
    }
  }
  for (; k < count; ++at) {
    if (*at == ',') starts[k++] = static_cast<std::size_t>(at - begin) + 1;
  }
}

// Returns the number of commas in `text`.
inline std::size_t countCommas(std::string_view text) {
  const char* at = text.data();
  const char* const end = at + text.size();
  std::size_t count = 0;
  // One 0x01 per comma in each byte of `lanes`, at most 8 there after eight
  // words; multiplying adds the eight bytes into the top one.
  for (; end - at >= 64; at += 64) {
    std::uint64_t lanes = 0;
    for (const char* word = at; word != at + 64; word += 8) lanes += commaBits(loadWord(word)) >> 7;
    count += (lanes * 0x0101010101010101) >> 56;
  }
  for (; end - at >= 8; at += 8)
    count += ((commaBits(loadWord(at)) >> 7) * 0x0101010101010101) >> 56;
  for (; at != end; ++at) count += *at == ',' ? 1 : 0;
  return count;
}

// Returns a hash of `text` for the join's hash tables, eight bytes at a
// time: each word is mixed in with a multiply and a rotation, the last
// (partial) word read as the eight bytes that end the text, and the sum
// finished with a mix whose low bits depend on every bit, since the tables
// take the low bits. Equal texts hash alike; a table sized by the number of
// keys keeps its probes short for texts that differ anywhere.
inline std::uint64_t hashText(std::string_view text) {
  constexpr std::uint64_t k1 = 0x9E3779B97F4A7C15;
  constexpr std::uint64_t k2 = 0xC2B2AE3D27D4EB4F;
  const char* at = text.data();
  const std::size_t size = text.size();
  std::uint64_t hash = size * k1;
  const auto mix = [&](std::uint64_t word) { hash = std::rotl((hash ^ word) * k2, 29); };
  if (size >= 8) {
    for (const char* const last = at + size - 8; at < last; at += 8) mix(loadWord(at));
    mix(loadWord(text.data() + size - 8));
  } else if (size >= 4) {  // two four-byte halves that may overlap
    std::uint32_t head = 0;
    std::uint32_t tail = 0;
    std::memcpy(&head, at, 4);
    std::memcpy(&tail, at + size - 4, 4);
    mix(std::uint64_t{head} << 32 | tail);
  } else if (size > 0) {
    mix(static_cast<std::uint64_t>(static_cast<unsigned char>(at[0])) << 16 |
        static_cast<std::uint64_t>(static_cast<unsigned char>(at[size / 2])) << 8 |
        static_cast<unsigned char>(at[size - 1]));
  }
  hash ^= hash >> 33;
  hash *= 0xFF51AFD7ED558CCD;
  hash ^= hash >> 33;
  return hash;
}

// Writes `bytes` at `to` and returns the position after them. Short pieces,
// the most common in a row, are copied with a few fixed-size moves instead of
// a library call.
inline char* copyBytes(char* to, std::string_view bytes) {
  const std::size_t size = bytes.size();
  const char* const from = bytes.data();
  if (size >= 8 && size <= 16) {  // two eight-byte moves that overlap
    std::uint64_t head = 0;
    std::uint64_t tail = 0;
    std::memcpy(&head, from, 8);
    std::memcpy(&tail, from + size - 8, 8);
    std::memcpy(to, &head, 8);
    std::memcpy(to + size - 8, &tail, 8);
  } else if (size >= 4 && size < 8) {
    std::uint32_t head = 0;
    std::uint32_t tail = 0;
    std::memcpy(&head, from, 4);
    std::memcpy(&tail, from + size - 4, 4);
    std::memcpy(to, &head, 4);
    std::memcpy(to + size - 4, &tail, 4);
  } else if (size > 0 && size < 4) {  // bytes 0, size / 2 and size - 1 cover all
    to[0] = from[0];
    to[size / 2] = from[size / 2];
    to[size - 1] = from[size - 1];
  } else if (size > 16) {
    std::memcpy(to, from, size);
  }
  return to + size;
}

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
