// The least input and output work a joinrel run can do, for comparing run
// times: reads the input through twice, the first pass reading one line, then
// writes LINES lines to OUTPUT, each followed by its own flush, as joinrel
// does. The lines are the input's, from its start again when they run out.
//   io_floor INPUT OUTPUT LINES
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: io_floor INPUT OUTPUT LINES\n";
    return 2;
  }
  std::ifstream first(argv[1], std::ios::binary);
  std::string line;
  std::getline(first, line);

  std::ifstream in(argv[1], std::ios::binary);
  std::ostringstream whole;
  whole << in.rdbuf();
  const std::string text = std::move(whole).str();

  std::ofstream out(argv[2]);  // text mode, like joinrel's output
  std::size_t next = 0;
  for (long lines = std::strtol(argv[3], nullptr, 10); lines > 0; --lines) {
    if (next >= text.size()) next = 0;
    const std::size_t end = std::min(text.find('\n', next), text.size());
    out.write(text.data() + next, static_cast<std::streamsize>(end - next));
    out << '\n' << std::flush;
    next = end + 1;
  }
  return out ? 0 : 1;
}
