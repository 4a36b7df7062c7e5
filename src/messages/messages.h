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

// The one fatal error of a run. Thrown where the fault is found and caught
// only by the driver, which shows message() to the user and stops.
class FatalError : public std::exception {
 public:
  // The message of a Fixed `kind`.
  explicit FatalError(MessageKind kind);
  // "<text>: <lineNumber>. sor!", the message of an AtLine `kind`.
  static FatalError atLine(MessageKind kind, LineNumber lineNumber);
  // "<text><name>!", the message of a WithName `kind`; `name` may hold any
  // byte, a NUL too.
  static FatalError withName(MessageKind kind, std::string_view name);

  MessageKind kind() const noexcept { return kind_; }
  // The input line the message names; 0 when it names none.
  LineNumber line() const noexcept { return line_; }
  // The whole message; what() ends at the first NUL byte, which a name may
  // hold.
  std::string_view message() const noexcept { return *message_; }
  const char* what() const noexcept override { return message_->c_str(); }

 private:
  FatalError(MessageKind kind, LineNumber line, std::string message);

  MessageKind kind_;
  LineNumber line_;
  std::shared_ptr<const std::string> message_;  // shared, so copying cannot throw
};

}  // namespace joinrel
