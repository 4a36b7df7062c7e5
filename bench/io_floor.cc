// The least work any correct joinrel run can do, for comparing run times.
// A run must read its whole input, and must write every output line with its
// line end before the next one, so that the file is up to date after every
// line; the least that takes is one read(2) of the input into a buffer of its
// size and one write(2) per output line straight from memory. This program
// does exactly that and nothing else. It cannot know the output's lines
// without joining, so it is given them: LINES is the output joinrel wrote for
// INPUT, read once beforehand with one read(2) too, and written to OUTPUT
// line by line, the same count and the same bytes. That second read is the
// floor's only work beyond the least, a few milliseconds per 10 MB of output.
//   io_floor INPUT LINES OUTPUT
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Held until the process ends. malloc, not new: the floor needs nothing of
// the C++ library, so it starts without loading it.
struct Buffer {
  char* bytes = nullptr;
  std::size_t size = 0;
};

// The whole file at `path`, read with one read(2) into a buffer sized by
// fstat; false when it cannot be read so.
bool readWhole(const char* path, Buffer& buffer) {
  const int descriptor = ::open(path, O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return false;
  struct stat status {};
  bool done = ::fstat(descriptor, &status) == 0;
  if (done) {
    buffer.size = static_cast<std::size_t>(status.st_size);
    buffer.bytes = static_cast<char*>(std::malloc(buffer.size + 1));
    done = buffer.bytes != nullptr &&
           ::read(descriptor, buffer.bytes, buffer.size + 1) == static_cast<ssize_t>(buffer.size);
  }
  ::close(descriptor);
  return done;
}

// Writes `size` bytes at `bytes` to `descriptor` in one write(2), continued
// only when the system takes less or is interrupted, as a real run must.
bool writeAll(int descriptor, const char* bytes, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(descriptor, bytes, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: io_floor INPUT LINES OUTPUT\n", stderr);
    return 2;
  }
  Buffer input;
  Buffer lines;
  if (!readWhole(argv[1], input) || !readWhole(argv[2], lines)) {
    std::perror("io_floor: reading");
    return 1;
  }
  const int output = ::open(argv[3], O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0664);
  if (output < 0) {
    std::perror("io_floor: opening the output");
    return 1;
  }
  const char* at = lines.bytes;
  const char* const end = at + lines.size;
  while (at != end) {
    const void* const feed = std::memchr(at, '\n', static_cast<std::size_t>(end - at));
    const char* const next = feed != nullptr ? static_cast<const char*>(feed) + 1 : end;
    if (!writeAll(output, at, static_cast<std::size_t>(next - at))) {
      std::perror("io_floor: writing");
      return 1;
    }
    at = next;
  }
  return ::close(output) == 0 ? 0 : 1;
}
