// A deliberately simple joinrel for the benchmark's inputs: reads INPUT (one
// header per block, untyped or typed attributes, every row with a cell per
// attribute, no empty cells at a row's end) and prints the block joinrel
// writes for result, worked out with nested loops, a stable sort of the
// columns and a sort and unique of the row texts. Nothing in it is shared
// with joinrel, so that the two can be checked against each other.
//   reference_result INPUT
#include <algorithm>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Table {
  std::string name;
  std::vector<std::string> names;
  std::vector<std::string> types;
  std::vector<std::vector<std::string>> rows;
};

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> pieces;
  std::stringstream stream(text);
  for (std::string piece; std::getline(stream, piece, separator);) pieces.push_back(piece);
  return pieces;
}

// "Name(a int, b)": the name, then per attribute its name and type.
Table parseHeader(const std::string& line) {
  Table table;
  const std::size_t open = line.find('(');
  table.name = line.substr(0, open);
  const std::string list = line.substr(open + 1, line.size() - open - 2);
  for (std::string attribute : split(list, ',')) {
    if (!attribute.empty() && attribute[0] == ' ') attribute.erase(0, 1);
    const std::size_t blank = attribute.find(' ');
    table.names.push_back(attribute.substr(0, blank));
    table.types.push_back(blank == std::string::npos ? "" : attribute.substr(blank + 1));
  }
  if (list.empty()) table.names.clear(), table.types.clear();
  return table;
}

bool unsignedLess(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
  });
}

Table join(const Table& left, const Table& right) {
  int l = -1;
  int r = -1;
  for (std::size_t i = 0; i < left.names.size() && l == -1; ++i) {
    for (std::size_t j = 0; j < right.names.size(); ++j) {
      if (left.names[i] == right.names[j]) {
        l = static_cast<int>(i);
        r = static_cast<int>(j);
        break;
      }
    }
  }
  Table out{"", left.names, left.types, {}};
  for (std::size_t j = 0; j < right.names.size(); ++j) {
    if (static_cast<int>(j) == r) continue;
    out.names.push_back(right.names[j]);
    out.types.push_back(right.types[j]);
  }
  for (const auto& a : left.rows) {
    for (const auto& b : right.rows) {
      if (l != -1 && a[l] != b[r]) continue;
      std::vector<std::string> row = a;
      for (std::size_t j = 0; j < b.size(); ++j) {
        if (static_cast<int>(j) != r) row.push_back(b[j]);
      }
      out.rows.push_back(row);
    }
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: reference_result INPUT\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::string line;
  std::getline(in, line);
  const Table joinList = parseHeader(line);
  std::vector<Table> tables;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    tables.push_back(parseHeader(line));
    while (std::getline(in, line) && !line.empty()) {
      tables.back().rows.push_back(tables.back().names.empty() ? std::vector<std::string>{}
                                                               : split(line, ','));
    }
  }
  const auto find = [&](const std::string& name) {
    return *std::find_if(tables.begin(), tables.end(),
                         [&](const Table& t) { return t.name == name; });
  };
  Table result;  // of one relation named alone, that relation tidied
  if (!joinList.names.empty()) {
    result = find(joinList.names[0]);
    for (std::size_t s = 1; s < joinList.names.size(); ++s)
      result = join(result, find(joinList.names[s]));
  }
  // Columns by name, equal names keeping their order; then each row text once, sorted.
  std::vector<std::size_t> order(result.names.size());
  for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return unsignedLess(result.names[a], result.names[b]);
  });
  std::vector<std::string> texts;
  for (const auto& row : result.rows) {
    std::string text;
    for (std::size_t k = 0; k < order.size(); ++k) text += (k > 0 ? "," : "") + row[order[k]];
    texts.push_back(text);
  }
  std::sort(texts.begin(), texts.end(), unsignedLess);
  texts.erase(std::unique(texts.begin(), texts.end()), texts.end());
  std::string header = "result(";
  bool typed = false;
  for (std::size_t k = 0; k < order.size(); ++k) {
    if (k > 0) header += typed ? ", " : ",";
    header += result.names[order[k]];
    if (!result.types[order[k]].empty()) {
      header += " " + result.types[order[k]];
      typed = true;
    }
  }
  std::cout << header << ")\n" << (typed ? "" : "\n");
  if (!order.empty()) {
    for (const std::string& text : texts) std::cout << text << '\n';
  }
  return 0;
}
