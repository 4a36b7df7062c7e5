// Every message joinrel shows the user, in one place: its kind, a stable id
// for scripts, how its line is made, and its fixed text; and the one error
// type that carries a fatal message to the driver.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace joinrel {

enum class MessageKind {
  MissingParameter,
  TooManyParameters,  // a warning: the run goes on
  BadFileName,
  InputReadError,
  SameFile,
  CannotCreateOutput,
  EmptyFirstLine,
  BadHeader,
  NameTooLong,
  BadRow,
  TooManyCells,
  TooManyRows,
  MissingHeader,
  UnknownRelation,
  ResultTooLarge,
  OutputWriteError,
  OutOfMemory,
};

// How the line a user sees is made of a message's text.
enum class MessageForm {
  Fixed,     // the text alone
  AtLine,    // "<text>: <N>. sor!", N an input line number from 1
  WithName,  // "<text><NAME>!", NAME a relation name
};

struct MessageEntry {
  MessageKind kind;
  std::string_view id;  // never changes once published: "bad-header"
  MessageForm form;
  std::string_view text;
};

// Every message, in the order of MessageKind.
inline constexpr std::array<MessageEntry, 17> kMessageCatalogue = {{
    {MessageKind::MissingParameter, "missing-parameter", MessageForm::Fixed, "Hianyzo parameter!"},
    {MessageKind::TooManyParameters, "too-many-parameters", MessageForm::Fixed,
     "Tul sok parameter!"},
    {MessageKind::BadFileName, "bad-file-name", MessageForm::Fixed, "Hibas fajlnev!"},
    {MessageKind::InputReadError, "input-read-error", MessageForm::Fixed,
     "Hiba az input fajl olvasasakor!"},
    {MessageKind::SameFile, "same-file", MessageForm::Fixed, "Az input es az output fajl ugyanaz!"},
    {MessageKind::CannotCreateOutput, "cannot-create-output", MessageForm::Fixed,
     "Nem lehet letrehozni az output fajlt!"},
    {MessageKind::EmptyFirstLine, "empty-first-line", MessageForm::Fixed, "Ures az elso sor!"},
    {MessageKind::BadHeader, "bad-header", MessageForm::AtLine, "Hibas fejlec"},
    {MessageKind::NameTooLong, "name-too-long", MessageForm::AtLine, "Tul hosszu nev"},
    {MessageKind::BadRow, "bad-row", MessageForm::AtLine, "Hibas sor"},
    {MessageKind::TooManyCells, "too-many-cells", MessageForm::AtLine, "Tul sok mezo"},
    {MessageKind::TooManyRows, "too-many-rows", MessageForm::AtLine, "Tul sok sor"},
    {MessageKind::MissingHeader, "missing-header", MessageForm::AtLine, "Hianyzo fejlec"},
    {MessageKind::UnknownRelation, "unknown-relation", MessageForm::WithName,
     "Ismeretlen relacio: "},
    {MessageKind::ResultTooLarge, "result-too-large", MessageForm::WithName,
     "Tul nagy az eredmeny: "},
    {MessageKind::OutputWriteError, "output-write-error", MessageForm::Fixed,
     "Hiba az output fajl irasakor!"},
    {MessageKind::OutOfMemory, "out-of-memory", MessageForm::Fixed, "Nincs eleg memoria!"},
}};

// Returns the catalogue's entry for `kind`.
constexpr const MessageEntry& messageEntry(MessageKind kind) {
  return kMessageCatalogue[static_cast<std::size_t>(kind)];
}

// A 1-based input line number; an input may hold more than 2^31 lines.
using LineNumber = std::int64_t;

// Why a line was refused as a header ("Hibas fejlec").
enum class HeaderFault {
  None,
  NoParenthesis,       // no "(" after the line's first byte
  ListNotClosed,       // the line ends before its ")" and before the comma after a 50th attribute
  LineAfterLastBlock,  // a non-empty line without "(" after the last relation
};

// The stable id of each fault, for scripts, in the order of HeaderFault.
inline constexpr std::array<std::string_view, 4> kHeaderFaultIds = {
    "", "no-parenthesis", "list-not-closed", "line-after-last-block"};

// The limit a join step would have exceeded ("Tul nagy az eredmeny").
enum class StepLimit {
  None,
  Attributes,  // more than 50 attributes: a + b - 1 for a join, a + b for a product
  Rows,        // more than 10000 rows: the matches, or a x b for a product
};

// What a fatal message is about, as fields rather than text; a field that
// the message does not have keeps its default.
struct Particulars {
  std::string name;  // the relation named or read: unknown, too large, too many rows
  int step = 0;      // the join step refused, from 1
  StepLimit limit = StepLimit::None;
  std::int64_t found = 0;  // the attributes or rows that step would have had
  std::int64_t cells = 0;  // the cells of a row with too many
  HeaderFault headerFault = HeaderFault::None;
  std::vector<std::string> similarNames;  // loaded names close to an unknown one, best first
};

// The one fatal error of a run. Thrown where the fault is found and caught
// only by the driver, which shows message() to the user and stops.
class FatalError : public std::exception {
 public:
  // The message of a Fixed `kind`.
  explicit FatalError(MessageKind kind);
  // "<text>: <lineNumber>. sor!", the message of an AtLine `kind`.
  static FatalError atLine(MessageKind kind, LineNumber lineNumber);
  // "<text><name>!", the message of a WithName `kind`; `name` may hold any
  // byte, a NUL too, and is its particulars' name.
  static FatalError withName(MessageKind kind, std::string_view name);
  // "Ismeretlen relacio: <name>!", with the loaded names `similar` to it.
  static FatalError unknownRelation(std::string_view name, std::vector<std::string> similar);
  // "Hibas fejlec" at `lineNumber`, for `fault`.
  static FatalError badHeader(LineNumber lineNumber, HeaderFault fault);
  // "Tul sok mezo" at `lineNumber`, a row of `cells` cells.
  static FatalError tooManyCells(LineNumber lineNumber, std::int64_t cells);
  // "Tul sok sor" at `lineNumber`, a row of the relation `relationName`.
  static FatalError tooManyRows(LineNumber lineNumber, std::string_view relationName);
  // "Tul nagy az eredmeny: <rightName>!": join step `step` (from 1) would
  // have had `found` attributes or rows, over `limit`.
  static FatalError resultTooLarge(std::string_view rightName, int step, StepLimit limit,
                                   std::int64_t found);

  MessageKind kind() const noexcept { return kind_; }
  // The input line the message names; 0 when it names none.
  LineNumber line() const noexcept { return line_; }
  // The whole message; what() ends at the first NUL byte, which a name may
  // hold.
  std::string_view message() const noexcept { return details_->message; }
  const char* what() const noexcept override { return details_->message.c_str(); }
  // What the message is about, as fields.
  const Particulars& particulars() const noexcept { return details_->particulars; }

 private:
  struct Details {
    std::string message;
    Particulars particulars;
  };
  FatalError(MessageKind kind, LineNumber line, std::string message,
             const Particulars& particulars);

  MessageKind kind_;
  LineNumber line_;
  std::shared_ptr<const Details> details_;  // shared, so copying cannot throw
};

}  // namespace joinrel
