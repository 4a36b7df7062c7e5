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

// Owns the cell texts, which relations only view.
std::deque<std::string> texts;

std::string_view keep(std::string text) { return texts.emplace_back(std::move(text)); }

// A relation of `rows` x `width` cells; cell (r, 0) is produced by `key`,
// the others are short texts that repeat.
Relation makeRelation(const char* name, const char* prefix, int rows, int width,
                      const std::function<std::string(int)>& key) {
  Relation relation;
  relation.name = stringToName(name);
  for (int k = 0; k < width; ++k) {
    relation.attributes.push_back({stringToName(k == 0 ? "id" : prefix + std::to_string(k)), ""});
  }
  std::vector<std::string_view> row(width);
  for (int r = 0; r < rows; ++r) {
    row[0] = keep(key(r));
    for (int k = 1; k < width; ++k) row[k] = keep("v" + std::to_string((r + k) % 977));
    relation.appendRow(row);
  }
  return relation;
}

void time(const char* label, const Relation& left, const Relation& right) {
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
  const auto unique = [](int r) { return std::to_string((r * 7919) % 10000); };
  time("10000 x 25 joined on a unique key", makeRelation("L", "l", 10000, 25, unique),
       makeRelation("R", "r", 10000, 25, unique));

  const auto dropKey = [](int r) { return "p" + std::to_string(r); };
  Relation left = makeRelation("L", "l", 100, 3, dropKey);
  Relation right = makeRelation("R", "r", 100, 3, dropKey);
  right.attributes[0].name = stringToName("other");
  time("100 x 100 product", left, right);

  const auto same = [](int) { return std::string("1"); };
  Relation many = makeRelation("L", "l", 10000, 10, same);
  for (int r = 0; r < many.rowCount; ++r) {
    for (int k = 1; k < 10; ++k) many.cells[r * 10 + k] = keep("d" + std::to_string(r % 1000 * k));
  }
  time("10000-row result, 90% duplicates", many, makeRelation("R", "r", 1, 2, same));
}
