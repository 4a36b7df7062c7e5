#include "output/output.h"

#ifdef _WIN32
#include <system_error>
#else
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace joinrel {

#ifdef _WIN32

// The stream alone would give others write access to a new file under umask
// 0, hence the permissions taken away afterwards.
OutputFile::OutputFile(const std::filesystem::path& path) {
  std::error_code error;
  const bool existed = std::filesystem::exists(path, error);
  stream_.open(path);
  if (!stream_) throw FatalError(MessageKind::CannotCreateOutput);
  if (!existed) {
    std::filesystem::permissions(path, std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove, error);
  }
}

OutputFile::~OutputFile() = default;

// Hands the line to the stream's buffer and flushes it, as the stream's write
// and flush would, without their checks around each call.
void OutputFile::writeLine(std::string_view line) {
  if (!stream_) throw FatalError(MessageKind::OutputWriteError);
  std::streambuf& buffer = *stream_.rdbuf();
  const auto size = static_cast<std::streamsize>(line.size());
  if (buffer.sputn(line.data(), size) != size || buffer.pubsync() == -1) {
    stream_.setstate(std::ios::badbit);
    throw FatalError(MessageKind::OutputWriteError);
  }
}

void OutputFile::close() {
  stream_.close();
  if (!stream_) throw FatalError(MessageKind::OutputWriteError);
}

#else

// Close-on-exec: the command the driver runs after a fatal message must not
// hold the file open.
OutputFile::OutputFile(const std::filesystem::path& path)
    : descriptor_(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0664)) {
  if (descriptor_ < 0) throw FatalError(MessageKind::CannotCreateOutput);
}

OutputFile::~OutputFile() {
  if (descriptor_ >= 0) static_cast<void>(::close(descriptor_));
}

void OutputFile::writeLine(std::string_view line) {
  const char* next = line.data();
  std::size_t left = line.size();
  while (left > 0 && !failed_) {
    const ssize_t written = ::write(descriptor_, next, left);
    if (written < 0 && errno == EINTR) continue;
    // A write that takes no byte of a non-empty line would never end.
    failed_ = written <= 0;
    if (failed_) break;
    next += written;
    left -= static_cast<std::size_t>(written);
  }
  if (failed_) throw FatalError(MessageKind::OutputWriteError);
}

// The descriptor is released even when close fails, so it is never closed
// twice.
void OutputFile::close() {
  const int descriptor = descriptor_;
  descriptor_ = -1;
  if (::close(descriptor) != 0 || failed_) throw FatalError(MessageKind::OutputWriteError);
}

#endif

}  // namespace joinrel
