#include <algorithm>
#include <fstream>
#include <system_error>

#include "input/input.h"

namespace joinrel {

// The bytes go straight from the file into memory that nothing filled
// before, as a string's resize would. The size is only a hint: a pipe has
// none, and a file may change under us. Reading into the room made for it
// takes a regular file in one read, with one byte to spare for seeing its
// end; a text that fills its room moves to one twice the size.
InputText readInputFile(const std::filesystem::path& path) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) throw FatalError(MessageKind::BadFileName);
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FatalError(MessageKind::BadFileName);

  constexpr std::size_t chunk = std::size_t{1} << 20;
  const auto size = std::filesystem::file_size(path, error);
  std::size_t room = error ? chunk : memorySize(static_cast<TextSize>(size) + 1);
  InputText text{Bytes(new char[room]), 0};
  while (in) {
    if (text.size == room) {
      room = memorySize(static_cast<TextSize>(room) * 2);
      Bytes larger(new char[room]);
      std::copy_n(text.bytes.get(), text.size, larger.get());
      text.bytes = std::move(larger);
    }
    in.read(text.bytes.get() + text.size, static_cast<std::streamsize>(room - text.size));
    text.size += static_cast<std::size_t>(in.gcount());
  }
  if (in.bad()) throw FatalError(MessageKind::InputReadError);
  return text;
}

InputFile::InputFile(InputText text)
    : input_(std::move(text)), text_(input_.bytes.get(), input_.size) {}

InputFile::InputFile(std::string_view text)
    : InputFile(InputText{Bytes(new char[text.size()]), text.size()}) {
  std::copy(text.begin(), text.end(), input_.bytes.get());
}

void InputFile::rewind() {
  next_ = 0;
  atEnd_ = false;
  lineNumber_ = 0;
  lineBuffer_ = {};
  nextParenthesis_ = 0;
}

std::string_view InputFile::readLine() {
  const std::string_view rest = text_.substr(std::min(next_, text_.size()));
  const std::size_t feed = rest.find('\n');
  ++lineNumber_;
  if (feed == std::string_view::npos) {
    lineBuffer_ = rest;
    next_ = text_.size();
    atEnd_ = true;
  } else {
    lineBuffer_ = rest.substr(0, feed);
    if (lineBuffer_.ends_with('\r')) lineBuffer_.remove_suffix(1);
    next_ += feed + 1;
  }
  return lineBuffer_;
}

LineNumber InputFile::lineAfterLast() const {
  const LineNumber feeds = std::count(text_.begin(), text_.end(), '\n');
  const bool unendedLast = !text_.empty() && text_.back() != '\n';
  return feeds + (unendedLast ? 1 : 0) + 1;
}

std::int64_t InputFile::linesAfterFirstHolding(char byte) const {
  std::int64_t count = 0;
  // From each line end, on to the next line holding the byte, then past its end.
  for (std::size_t at = text_.find('\n'); at != std::string_view::npos; at = text_.find('\n', at)) {
    at = text_.find(byte, at + 1);
    if (at == std::string_view::npos) break;
    ++count;
  }
  return count;
}

}  // namespace joinrel
