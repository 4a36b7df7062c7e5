// Writes a joinrel input at the limits of the format, for timing runs.
//   make_bench_input join FILE        two 10000 x 25 relations joined on a unique key
//   make_bench_input product FILE     a 100 x 100 product
//   make_bench_input duplicates FILE  a 10000-row result with 90% duplicate rows
//   make_bench_input echo FILE        20 relations of 10000 x 50 short cells, echoed
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>

namespace {

// Writes "Name(prefix0 int, prefix1, ...)" with `width` attributes; the first
// is `key` when it is not empty.
void header(std::ostream& out, std::string_view name, std::string_view key, std::string_view prefix,
            int width) {
  out << name << '(';
  for (int k = 0; k < width; ++k) {
    if (k > 0) out << ", ";
    if (k == 0 && !key.empty()) {
      out << key << " int";
    } else {
      out << prefix << k;
    }
  }
  out << ")\n";
}

void join(std::ostream& out) {
  out << "Q(Left, Right)\n\n";
  for (const char* side : {"Left", "Right"}) {
    header(out, side, "id", side[0] == 'L' ? "l" : "r", 25);
    for (int r = 0; r < 10000; ++r) {
      out << (r * 7919) % 10000;  // a permutation, so each key is unique
      for (int k = 1; k < 25; ++k) out << ",v" << (r + k) % 977;
      out << '\n';
    }
    out << '\n';
  }
}

void product(std::ostream& out) {
  out << "Q(Left, Right)\n\n";
  header(out, "Left", "", "l", 3);
  for (int r = 0; r < 100; ++r) out << "a" << r << ",x,y\n";
  out << '\n';
  header(out, "Right", "", "r", 3);
  for (int r = 0; r < 100; ++r) out << "b" << r << ",z,w\n";
}

void duplicates(std::ostream& out) {
  out << "Q(Left, Right)\n\n";
  header(out, "Left", "id", "l", 10);
  for (int r = 0; r < 10000; ++r) {
    out << 1;
    for (int k = 1; k < 10; ++k) out << ",d" << (r % 1000) * k;
    out << '\n';
  }
  out << "\nRight(id int, extra)\n1,only\n";
}

void echo(std::ostream& out) {
  out << "Q(R0)\n\n";
  for (int relation = 0; relation < 20; ++relation) {
    header(out, "R" + std::to_string(relation), "", "a", 50);
    for (int r = 0; r < 10000; ++r) {
      out << r;
      for (int k = 1; k < 50; ++k) out << ",c" << (r * k) % 100;
      out << '\n';
    }
    out << '\n';
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: make_bench_input join|product|duplicates|echo FILE\n";
    return 2;
  }
  std::ofstream out(argv[2], std::ios::binary);
  const std::string_view kind = argv[1];
  if (kind == "join") {
    join(out);
  } else if (kind == "product") {
    product(out);
  } else if (kind == "duplicates") {
    duplicates(out);
  } else if (kind == "echo") {
    echo(out);
  } else {
    std::cerr << "unknown input kind: " << kind << '\n';
    return 2;
  }
  return out ? 0 : 1;
}
