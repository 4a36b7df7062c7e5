// The records every part of joinrel works on: relations, their attributes and
// rows, the fixed name fields, and the one error type that ends a run.
#pragma once

#include <array>
#include <cstdint>
#include <exception>
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

// One row: a view of its cells, in column order.
using Row = std::span<const std::string_view>;

// A relation. Its cells are views into the input text, which outlives every
// relation of the run; copies therefore cost 16 bytes a cell, never the texts.
// Invariant: cells.size() == rowCount * attributeCount().
struct Relation {
  Name name = blankName();
  std::vector<Attribute> attributes;  // in column order
  int rowCount = 0;
  std::vector<std::string_view> cells;  // row after row

  int attributeCount() const { return static_cast<int>(attributes.size()); }

  // Returns row `r`, 0 <= r < rowCount.
  Row row(int r) const;

  // Appends a row. `rowCells` holds exactly attributeCount() cells.
  void appendRow(Row rowCells);

  // Removes every row and releases their memory.
  void dropRows();
};

// A 1-based input line number; an input may hold more than 2^31 lines.
using LineNumber = std::int64_t;

// The one fatal error of a run. Thrown where the fault is found and caught
// only by the driver, which shows message() to the user and stops.
class FatalError : public std::exception {
 public:
  explicit FatalError(std::string message)
      : message_(std::make_shared<const std::string>(std::move(message))) {}

  // The whole message, bytes a name carries included; what() ends at the
  // first NUL byte, which a name may hold.
  std::string_view message() const noexcept { return *message_; }
  const char* what() const noexcept override { return message_->c_str(); }

  // "<what>: <lineNumber>. sor!", the message for a fault at an input line.
  static FatalError atLine(std::string_view what, LineNumber lineNumber);

 private:
  std::shared_ptr<const std::string> message_;  // shared, so copying cannot throw
};

}  // namespace joinrel
