#include <algorithm>
#include <fstream>
#include <system_error>

#include "input/input.h"

namespace joinrel {

std::string readInputFile(const std::filesystem::path& path) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) throw FatalError(MessageKind::BadFileName);
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FatalError(MessageKind::BadFileName);

  // The size is only a hint: a pipe has none, and a file may change under us.
  // Reading into the room reserved for it takes a regular file in one read,
  // with one byte to spare for seeing its end.
  constexpr std::size_t chunk = std::size_t{1} << 20;
  std::string text;
  const auto size = std::filesystem::file_size(path, error);
  if (!error) text.reserve(size + 1);
  while (in) {
    const std::size_t used = text.size();
    const std::size_t room = text.capacity() > used ? text.capacity() - used : chunk;
    text.resize(used + room);
    in.read(text.data() + used, static_cast<std::streamsize>(room));
    text.resize(used + static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad()) throw FatalError(MessageKind::InputReadError);
  return text;
}

InputFile::InputFile(std::string text) : text_(std::move(text)) {}

void InputFile::rewind() {
  next_ = 0;
  atEnd_ = false;
  lineNumber_ = 0;
  lineBuffer_ = {};
}

std::string_view InputFile::readLine() {
  const std::string_view rest = std::string_view(text_).substr(std::min(next_, text_.size()));
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
  const std::string_view text(text_);
  std::int64_t count = 0;
  // From each line end, on to the next line holding the byte, then past its end.
  for (std::size_t at = text.find('\n'); at != std::string_view::npos; at = text.find('\n', at)) {
    at = text.find(byte, at + 1);
    if (at == std::string_view::npos) break;
    ++count;
  }
  return count;
}

}  // namespace joinrel
