// Times the join and the normalisation alone, in process, at the limits of a
// relation: best of five runs per case, in milliseconds.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <functional>
#include <string>

#include "join/join.h"
#include "output/output.h"

namespace {

using namespace joinrel;

using CellText = std::function<std::string(int row, int column)>;

// Owns the cell texts, which relations only view.
std::deque<std::string> texts;

// A relation of `rows` x `width` cells, attributes `key`, then prefix1, ...
Relation makeRelation(const char* key, const char* prefix, int rows, int width,
                      const CellText& cell) {
  Relation relation;
  relation.name = stringToName(prefix);
  for (int k = 0; k < width; ++k) {
    relation.attributes.push_back({stringToName(k == 0 ? key : prefix + std::to_string(k)), ""});
  }
  std::vector<std::string_view> row(width);
  for (int r = 0; r < rows; ++r) {
    for (int k = 0; k < width; ++k) row[k] = texts.emplace_back(cell(r, k));
    relation.appendRow(row);
  }
  return relation;
}

void report(const char* label, const Relation& left, const Relation& right) {
  double best = 1e9;
  for (int run = 0; run < 5; ++run) {
    const auto start = std::chrono::steady_clock::now();
    JoinKey key;
    const bool found = findCommonAttribute(left, right, key);
    Relation result = joinPair(left, right, key, found);
    normalizeResult(result);
    const std::chrono::duration<double, std::milli> spent =
        std::chrono::steady_clock::now() - start;
    best = std::min(best, spent.count());
  }
  std::printf("%-40s %8.2f ms\n", label, best);
}

}  // namespace

int main() {
  // Column 0 a permutation of 0..9999, so each key is unique.
  const CellText unique = [](int r, int k) {
    return k == 0 ? std::to_string(r * 7919 % 10000) : "v" + std::to_string((r + k) % 977);
  };
  report("10000 x 25 joined on a unique key", makeRelation("id", "l", 10000, 25, unique),
         makeRelation("id", "r", 10000, 25, unique));

  const CellText distinct = [](int r, int k) { return std::to_string(r * 10 + k); };
  report("100 x 100 product", makeRelation("a", "l", 100, 3, distinct),
         makeRelation("b", "r", 100, 3, distinct));

  // Every left row matches the one right row; 1000 distinct rows, each 10 times.
  const CellText repeating = [](int r, int k) {
    return k == 0 ? std::string("1") : "d" + std::to_string(r % 1000 * k);
  };
  report("10000-row result, 90% duplicates", makeRelation("id", "l", 10000, 10, repeating),
         makeRelation("id", "r", 1, 2, repeating));
}
