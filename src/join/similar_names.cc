#include "join/similar_names.h"

#include <algorithm>
#include <array>
#include <unordered_set>

#include "relation/relation.h"

namespace joinrel {

namespace {

// More edits than this and a name is not offered.
constexpr int kMostEdits = 2;

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalApartFromCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return asciiLower(x) == asciiLower(y); });
}

// The edits that turn `a` into `b`, or kMostEdits + 1 when more. A loaded
// name `b` holds at most MAX_NAME bytes, so one row of the table fits on the
// stack.
int editsBetween(std::string_view a, std::string_view b) {
  if (b.size() > MAX_NAME || a.size() > b.size() + kMostEdits || b.size() > a.size() + kMostEdits) {
    return kMostEdits + 1;
  }
  std::array<int, MAX_NAME + 1> row{};
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = static_cast<int>(j);
  for (std::size_t i = 1; i <= a.size(); ++i) {
    int diagonal = row[0];
    row[0] = static_cast<int>(i);
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const int replaced = diagonal + (a[i - 1] == b[j - 1] ? 0 : 1);
      diagonal = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, replaced});
    }
  }
  return std::min(row[b.size()], kMostEdits + 1);
}

}  // namespace

std::vector<std::string> similarNames(std::string_view name, std::span<const std::string> loaded) {
  struct Candidate {
    int edits;
    std::string_view name;
  };
  std::vector<Candidate> candidates;
  // A set, not a search of the candidates, so that a file of many names
  // alike stays linear.
  std::unordered_set<std::string_view> known;
  const auto offer = [&](int edits, std::string_view candidate) {
    if (candidate != name && known.insert(candidate).second)
      candidates.push_back({edits, candidate});
  };
  for (const std::string& candidate : loaded) {
    if (equalApartFromCase(candidate, name)) offer(0, candidate);
  }
  if (candidates.empty()) {
    for (const std::string& candidate : loaded) {
      const int edits = editsBetween(name, candidate);
      if (edits <= kMostEdits) offer(edits, candidate);
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& a, const Candidate& b) { return a.edits < b.edits; });
  }
  std::vector<std::string> offered;
  for (std::size_t i = 0; i < candidates.size() && i < kSimilarNamesOffered; ++i) {
    offered.emplace_back(candidates[i].name);
  }
  return offered;
}

}  // namespace joinrel
