// Writes a joinrel input of one benchmark shape, all valid input within the
// limits of the format.
//   make_bench_input SHAPE SEED SCALE FILE
// SEED seeds the cell values and key orders; SCALE (0 < SCALE <= 1) multiplies
// the row and relation counts below, 1 giving the full sizes:
//   chain    6 relations of 10000 rows joined in a chain on distinct keys, about
//            40 result attributes, 3 of 4 result rows duplicates, file order not
//            join order, and 2 relations the join list does not name
//   wide     2 relations of 10000 rows x 25 attributes joined on a unique key
//   product  100 rows x 100 rows with no common attribute
//   wideproduct  100 rows x 100 rows of 12 attributes each, no common
//            attribute; SCALE scales the left relation only, so the result
//            rows grow in step with it
//   echo     200 relations of 1000 rows x 8 attributes, two small ones joined
//   dups     a 10000-row result of which 90% are duplicates
//   onebyte  20 relations of 10000 rows x 50 one-byte cells, all named (the
//            first step is refused as too large, after loading)
//   empties  1,000,000 relations with no rows, names R0 to R999 repeating, two
//            of them named
//   unnamed  1,000,000 one-row relations the join list does not name, and one
//            small one that it does
//   interleaved  2 relations of 10000 rows x 25 attributes joined on a unique
//            key, the left's middle column and the right's last; the other
//            names alternate between the two in result's column order
//   longcells  2000 rows with a cell of 1 to 10 KB joined on a unique key
//            with 4000 rows, half of which have a partner
//   wide50   a relation of 10000 rows x 50 attributes joined on its key with
//            a relation of that one attribute
//   disjoint 2 relations of 10000 rows x 10 attributes whose keys differ: an
//            empty result
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <numeric>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

class Generator {
 public:
  Generator(std::ostream& out, unsigned seed, double scale)
      : out_(out), rng_(seed), scale_(scale) {}

  // `count` times the scale, at least 1.
  int scaled(int count) const { return std::max(1, static_cast<int>(count * scale_ + 0.5)); }

  // A short cell: `prefix` and a number below `variety`.
  std::string word(std::string_view prefix, unsigned variety) {
    return std::string(prefix) + std::to_string(rng_() % variety);
  }

  // The numbers 0 .. count - 1 in random order.
  std::vector<int> permutation(int count) {
    std::vector<int> order(count);
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin(), order.end(), rng_);
    return order;
  }

  // Writes "name(attribute, ...)" and its line end.
  void header(std::string_view name, const std::vector<std::string>& attributes) {
    out_ << name << '(';
    for (std::size_t k = 0; k < attributes.size(); ++k)
      out_ << (k > 0 ? ", " : "") << attributes[k];
    out_ << ")\n";
  }

  // Writes one row line.
  void row(const std::vector<std::string>& cells) {
    for (std::size_t k = 0; k < cells.size(); ++k) out_ << (k > 0 ? "," : "") << cells[k];
    out_ << '\n';
  }

  // Writes a relation of `rows` rows whose cells are words with `prefix`.
  void randomRelation(std::string_view name, std::string_view prefix, int width, int rows) {
    std::vector<std::string> attributes;
    for (int k = 0; k < width; ++k) attributes.push_back(std::string(prefix) + std::to_string(k));
    header(name, attributes);
    std::vector<std::string> cells(width);
    for (int r = 0; r < rows; ++r) {
      for (auto& cell : cells) cell = word(prefix, 1000);
      row(cells);
    }
  }

  void chain();
  void wide();
  void product();
  void wideproduct();
  void echo();
  void dups();
  void onebyte();
  void empties();
  void unnamed();
  void interleaved();
  void longcells();
  void wide50();
  void disjoint();

 private:
  std::ostream& out_;
  std::mt19937 rng_;
  double scale_;
};

// C1(k1, ...) joins C2(k1, k2, ...) joins C3(k2, k3, ...) and so on. Every key
// a step reads matches exactly one row, so each step keeps the row count; C1
// holds each distinct row four times, and so does the result.
void Generator::chain() {
  constexpr int others = 6;  // attributes besides the keys
  const int rows = scaled(10000);
  const int distinct = std::max(1, rows / 4);
  out_ << "Q(C1, C2, C3, C4, C5, C6)\n\n";
  const auto writeChainRelation = [&](int i) {
    std::vector<std::string> attributes;
    if (i > 1) attributes.push_back("k" + std::to_string(i - 1) + " int");
    attributes.push_back("k" + std::to_string(i) + " int");
    const int width = i == 1 ? others + 1 : others;
    for (int k = 0; k < width; ++k)
      attributes.push_back("c" + std::to_string(i) + "x" + std::to_string(k));
    header("C" + std::to_string(i), attributes);
    const std::vector<int> in = permutation(rows);
    const std::vector<int> outKeys = permutation(rows);
    std::vector<std::vector<std::string>> lines(i == 1 ? distinct : rows);
    for (std::size_t r = 0; r < lines.size(); ++r) {
      if (i > 1) lines[r].push_back(std::to_string(in[r]));
      lines[r].push_back(std::to_string(outKeys[r]));
      for (int k = 0; k < width; ++k) lines[r].push_back(word("v", 1000));
    }
    for (int r = 0; r < rows; ++r) row(lines[r % lines.size()]);
    out_ << '\n';
  };
  const std::vector<std::string> fileOrder = {"4", "U1", "2", "6", "1", "U2", "5", "3"};
  for (const std::string& entry : fileOrder) {
    if (entry[0] == 'U') {
      randomRelation(entry, "u", 8, rows);
      out_ << '\n';
    } else {
      writeChainRelation(std::stoi(entry));
    }
  }
}

void Generator::wide() {
  const int rows = scaled(10000);
  out_ << "Q(Left, Right)\n\n";
  for (const char* side : {"Left", "Right"}) {
    std::vector<std::string> attributes = {"id int"};
    for (int k = 1; k < 25; ++k) attributes.push_back(side[0] + std::to_string(k));
    header(side, attributes);
    const std::vector<int> ids = permutation(rows);
    std::vector<std::string> cells(25);
    for (int r = 0; r < rows; ++r) {
      cells[0] = std::to_string(ids[r]);
      for (int k = 1; k < 25; ++k) cells[k] = word("v", 977);
      row(cells);
    }
    out_ << '\n';
  }
}

void Generator::product() {
  out_ << "Q(Left, Right)\n\n";
  randomRelation("Left", "l", 3, scaled(100));
  out_ << '\n';
  randomRelation("Right", "r", 3, scaled(100));
}

void Generator::wideproduct() {
  out_ << "Q(Left, Right)\n\n";
  randomRelation("Left", "l", 12, scaled(100));
  out_ << '\n';
  randomRelation("Right", "r", 12, 100);
}

void Generator::echo() {
  out_ << "Q(S1, S2)\n\n";
  const int relations = scaled(200);
  for (int i = 0; i < relations; ++i) {
    randomRelation("E" + std::to_string(i), "e", 8, scaled(1000));
    out_ << '\n';
    if (i == relations / 4) {
      header("S1", {"k int", "a"});
      for (int r = 0; r < 10; ++r) row({std::to_string(r % 5), word("a", 10)});
      out_ << "\nS2(k int, b)\n";
      for (int r = 0; r < 10; ++r) row({std::to_string(r), word("b", 10)});
      out_ << '\n';
    }
  }
}

// Every Left row matches the one Right row; 1000 distinct rows, each 10 times.
void Generator::dups() {
  const int rows = scaled(10000);
  out_ << "Q(Left, Right)\n\n";
  std::vector<std::string> attributes = {"id int"};
  for (int k = 1; k < 10; ++k) attributes.push_back("l" + std::to_string(k));
  header("Left", attributes);
  std::vector<std::vector<std::string>> distinct(std::max(1, rows / 10));
  for (auto& cells : distinct) {
    cells.push_back("1");
    for (int k = 1; k < 10; ++k) cells.push_back(word("d", 100000));
  }
  for (int r = 0; r < rows; ++r) row(distinct[r % distinct.size()]);
  out_ << "\nRight(id int, extra)\n1,only\n";
}

void Generator::onebyte() {
  const int relations = 20;
  out_ << "Q(";
  for (int i = 0; i < relations; ++i) out_ << (i > 0 ? ", " : "") << 'R' << i;
  out_ << ")\n\n";
  std::vector<std::string> attributes;
  for (int k = 0; k < 50; ++k) attributes.push_back("a" + std::to_string(k));
  std::vector<std::string> cells(50);
  for (int i = 0; i < relations; ++i) {
    header("R" + std::to_string(i), attributes);
    for (int r = 0; r < scaled(10000); ++r) {
      for (auto& cell : cells) cell = std::string(1, static_cast<char>('a' + rng_() % 26));
      row(cells);
    }
    out_ << '\n';
  }
}

void Generator::empties() {
  out_ << "Q(R0, R1)\n\n";
  for (int i = 0; i < scaled(1000000); ++i) out_ << 'R' << i % 1000 << "()\n\n";
}

void Generator::unnamed() {
  out_ << "Q(S)\n\nS(k int, v)\n";
  for (int r = 0; r < 20; ++r) row({std::to_string(r % 7), word("s", 5)});
  out_ << '\n';
  for (int i = 0; i < scaled(1000000); ++i)
    out_ << 'U' << i % 10 << "(a)\n" << rng_() % 10 << "\n\n";
}

// Left's attributes a00, a02, ... with k in the middle, Right's a01, a03, ...
// with k last: sorted by name, result's columns take turns.
void Generator::interleaved() {
  const int rows = scaled(10000);
  out_ << "Q(Left, Right)\n\n";
  for (int side = 0; side < 2; ++side) {
    const int keyColumn = side == 0 ? 12 : 24;
    std::vector<std::string> attributes;
    for (int k = 0, other = 0; k < 25; ++k) {
      if (k == keyColumn) {
        attributes.emplace_back("k int");
        continue;
      }
      const int number = 2 * other++ + side;
      attributes.push_back((number < 10 ? "a0" : "a") + std::to_string(number));
    }
    header(side == 0 ? "Left" : "Right", attributes);
    const std::vector<int> keys = permutation(rows);
    std::vector<std::string> cells(25);
    for (int r = 0; r < rows; ++r) {
      for (int k = 0; k < 25; ++k)
        cells[k] = k == keyColumn ? std::to_string(keys[r]) : word("v", 977);
      row(cells);
    }
    out_ << '\n';
  }
}

// Result's columns are author, body, id, size, year: the long body comes
// before the join cell, and Doc's columns change places.
void Generator::longcells() {
  const int docs = scaled(2000);
  out_ << "Q(Doc, Ref)\n\n";
  header("Doc", {"id int", "body", "size"});
  std::uniform_int_distribution<int> length(1024, 10240);
  std::uniform_int_distribution<int> letter(0, 26);
  for (const int id : permutation(docs)) {
    std::string body(static_cast<std::size_t>(length(rng_)), ' ');
    for (char& byte : body) {
      const int pick = letter(rng_);
      byte = pick == 26 ? ' ' : static_cast<char>('a' + pick);
    }
    row({std::to_string(id), body, std::to_string(body.size())});
  }
  out_ << "\nRef(id int, author, year)\n";
  for (const int id : permutation(2 * docs))
    row({std::to_string(id), word("w", 500), word("", 60)});
  out_ << '\n';
}

void Generator::wide50() {
  const int rows = scaled(10000);
  out_ << "Q(Big, Keys)\n\n";
  std::vector<std::string> attributes = {"id int"};
  for (int k = 1; k < 50; ++k) attributes.push_back((k < 10 ? "a0" : "a") + std::to_string(k));
  header("Big", attributes);
  std::vector<std::string> cells(50);
  for (const int id : permutation(rows)) {
    cells[0] = std::to_string(id);
    for (int k = 1; k < 50; ++k) cells[k] = word("v", 977);
    row(cells);
  }
  out_ << "\nKeys(id int)\n";
  for (const int id : permutation(rows)) row({std::to_string(id)});
  out_ << '\n';
}

// Left's keys are even, Right's odd.
void Generator::disjoint() {
  const int rows = scaled(10000);
  out_ << "Q(Left, Right)\n\n";
  for (int side = 0; side < 2; ++side) {
    std::vector<std::string> attributes = {"id int"};
    for (int k = 1; k < 10; ++k) attributes.push_back((side == 0 ? "l" : "r") + std::to_string(k));
    header(side == 0 ? "Left" : "Right", attributes);
    std::vector<std::string> cells(10);
    for (const int key : permutation(rows)) {
      cells[0] = std::to_string(2 * key + side);
      for (int k = 1; k < 10; ++k) cells[k] = word("v", 977);
      row(cells);
    }
    out_ << '\n';
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view usage =
      "usage: make_bench_input chain|wide|product|wideproduct|echo|dups|onebyte|empties|unnamed|"
      "interleaved|longcells|wide50|disjoint SEED SCALE FILE\n";
  if (argc != 5) {
    std::cerr << usage;
    return 2;
  }
  const std::string_view shape = argv[1];
  const double scale = std::strtod(argv[3], nullptr);
  if (!(scale > 0 && scale <= 1)) {
    std::cerr << "SCALE must lie in (0, 1]\n";
    return 2;
  }
  std::ofstream out(argv[4], std::ios::binary);
  Generator generator(out, static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)), scale);
  if (shape == "chain") {
    generator.chain();
  } else if (shape == "wide") {
    generator.wide();
  } else if (shape == "product") {
    generator.product();
  } else if (shape == "wideproduct") {
    generator.wideproduct();
  } else if (shape == "echo") {
    generator.echo();
  } else if (shape == "dups") {
    generator.dups();
  } else if (shape == "onebyte") {
    generator.onebyte();
  } else if (shape == "empties") {
    generator.empties();
  } else if (shape == "unnamed") {
    generator.unnamed();
  } else if (shape == "interleaved") {
    generator.interleaved();
  } else if (shape == "longcells") {
    generator.longcells();
  } else if (shape == "wide50") {
    generator.wide50();
  } else if (shape == "disjoint") {
    generator.disjoint();
  } else {
    std::cerr << usage;
    return 2;
  }
  return out ? 0 : 1;
}
