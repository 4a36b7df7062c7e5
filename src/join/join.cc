#include "join/join.h"

#include <unordered_map>
#include <vector>

#include "output/output.h"

namespace joinrel {

namespace {

FatalError tooLarge(const Relation& joinedIn) {
  return FatalError{"Tul nagy az eredmeny: " + std::string(nameToString(joinedIn.name)) + "!"};
}

// Appends the cells of `left` and of `right` but its column `skipped` (-1 for
// none) as one row of `output`.
void appendJoinedRow(Relation& output, Row left, Row right, int skipped) {
  output.cells.insert(output.cells.end(), left.begin(), left.end());
  for (std::size_t k = 0; k < right.size(); ++k) {
    if (static_cast<int>(k) != skipped) output.cells.push_back(right[k]);
  }
  ++output.rowCount;
}

// The right rows that carry one join value: the first of them and, through
// nextRow, the others in ascending order.
struct RowChain {
  int first = -1;
  int count = 0;
};

// Appends the rows of the natural join on left column `leftColumn` and right
// column `rightColumn`, in nested-loop order, but by probing an index of the
// right operand's join column instead of comparing every pair of rows.
void appendMatchingRows(Relation& output, const Relation& left, int leftColumn,
                        const Relation& right, int rightColumn) {
  std::unordered_map<std::string_view, RowChain> chains;
  chains.reserve(right.rowCount);
  std::vector<int> nextRow(right.rowCount, -1);
  for (int r = right.rowCount - 1; r >= 0; --r) {  // backwards, so chains ascend
    RowChain& chain = chains[right.row(r)[rightColumn]];
    nextRow[r] = chain.first;
    chain.first = r;
    ++chain.count;
  }

  std::vector<const RowChain*> matches(left.rowCount, nullptr);
  long long total = 0;
  for (int l = 0; l < left.rowCount; ++l) {
    const auto found = chains.find(left.row(l)[leftColumn]);
    if (found == chains.end()) continue;
    matches[l] = &found->second;
    total += found->second.count;
  }
  if (total > MAX_ROWS) throw tooLarge(right);

  output.cells.reserve(static_cast<std::size_t>(total) * output.attributes.size());
  for (int l = 0; l < left.rowCount; ++l) {
    const RowChain* chain = matches[l];
    for (int r = chain ? chain->first : -1; r != -1; r = nextRow[r]) {
      appendJoinedRow(output, left.row(l), right.row(r), rightColumn);
    }
  }
}

void appendProductRows(Relation& output, const Relation& left, const Relation& right) {
  if (static_cast<long long>(left.rowCount) * right.rowCount > MAX_ROWS) throw tooLarge(right);
  output.cells.reserve(static_cast<std::size_t>(left.rowCount) *
                       static_cast<std::size_t>(right.rowCount) * output.attributes.size());
  for (int l = 0; l < left.rowCount; ++l) {
    for (int r = 0; r < right.rowCount; ++r) appendJoinedRow(output, left.row(l), right.row(r), -1);
  }
}

// Returns the index of the relation each name of `joinList` stands for: the
// first one that carries it.
std::vector<int> lookUpRelations(std::span<const Relation> relations,
                                 std::span<const Attribute> joinList) {
  std::unordered_map<std::string_view, int> firstByName;
  for (std::size_t i = 0; i < relations.size(); ++i) {
    firstByName.try_emplace(nameToString(relations[i].name), static_cast<int>(i));
  }
  std::vector<int> indices;
  for (const Attribute& entry : joinList) {
    const auto found = firstByName.find(nameToString(entry.name));
    if (found == firstByName.end()) {
      throw FatalError("Ismeretlen relacio: " + std::string(nameToString(entry.name)) + "!");
    }
    indices.push_back(found->second);
  }
  return indices;
}

}  // namespace

void resetJoinKey(JoinKey& key) {
  key.left.rightAttribute = -1;
  key.left.leftAttribute = -1;
  key.right.rightAttribute = -1;
  key.right.leftAttribute = -1;
}

bool findCommonAttribute(const Relation& left, const Relation& right, JoinKey& key) {
  for (int i = 0; i < left.attributeCount(); ++i) {
    for (int j = 0; j < right.attributeCount(); ++j) {
      if (nameToString(left.attributes[i].name) == nameToString(right.attributes[j].name)) {
        key.left.leftAttribute = i;
        key.right.rightAttribute = j;
        return true;
      }
    }
  }
  return false;
}

Relation joinPair(const Relation& left, const Relation& right, const JoinKey& key, bool found) {
  // The key holds an attribute pair exactly when the search found one.
  const int rightColumn = found ? key.right.rightAttribute : -1;
  Relation output;
  output.attributes = left.attributes;
  for (int j = 0; j < right.attributeCount(); ++j) {
    if (j != rightColumn) output.attributes.push_back(right.attributes[j]);
  }
  if (output.attributeCount() > MAX_ATTRIBUTES) throw tooLarge(right);

  if (found) {
    appendMatchingRows(output, left, key.left.leftAttribute, right, rightColumn);
  } else {
    appendProductRows(output, left, right);
  }
  return output;
}

void joinAll(std::span<const Relation> relations, JoinKey& key, std::span<const Attribute> joinList,
             std::ostream& outputFile) {
  const std::vector<int> chain = lookUpRelations(relations, joinList);
  Relation working;
  if (chain.size() == 1) working = relations[chain.front()];
  for (std::size_t s = 0; s + 1 < chain.size(); ++s) {
    key.left.relationIndex = chain[s];
    key.right.relationIndex = chain[s + 1];
    // The first step reads its left operand in place rather than from a copy.
    const Relation& left = s == 0 ? relations[key.left.relationIndex] : working;
    const Relation& right = relations[key.right.relationIndex];
    const bool found = findCommonAttribute(left, right, key);
    working = joinPair(left, right, key, found);
    resetJoinKey(key);
  }
  working.name = stringToName("result");
  normalizeResult(working);
  writeRelation(working, outputFile);
}

}  // namespace joinrel
