#include <algorithm>
#include <iterator>
#include <numeric>

#include "output/output.h"

namespace joinrel {

namespace {

// Returns the column order that sorts the attributes by name. Stable, so
// attributes of the same name keep their order, as adjacent exchanges of
// strictly greater names would leave them.
std::vector<std::size_t> sortedColumns(const std::vector<Attribute>& attributes) {
  std::vector<std::size_t> columns(attributes.size());
  std::iota(columns.begin(), columns.end(), std::size_t{0});
  std::stable_sort(columns.begin(), columns.end(), [&](std::size_t a, std::size_t b) {
    return nameToString(attributes[a].name) < nameToString(attributes[b].name);
  });
  return columns;
}

// The row keys: each row's cells in `columns` order joined by ",", all held
// in `text`.
std::vector<std::string_view> buildRowKeys(const Relation& relation,
                                           const std::vector<std::size_t>& columns,
                                           std::string& text) {
  // Reserved whole, the text never moves below, so the keys' views stay valid.
  text.reserve(std::accumulate(
      relation.cells.begin(), relation.cells.end(), std::size_t{0},
      [](std::size_t size, std::string_view cell) { return size + cell.size() + 1; }));
  std::vector<std::string_view> keys;
  keys.reserve(relation.rowCount);
  for (int r = 0; r < relation.rowCount; ++r) {
    const Row row = relation.row(r);
    const std::size_t begin = text.size();
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (i > 0) text += ',';
      text += row[columns[i]];
    }
    keys.push_back(std::string_view(text).substr(begin));
  }
  return keys;
}

// Returns the rows to keep, in ascending order of their keys: of each set of
// rows with equal keys the earliest, as sorting stably and keeping the first
// of each run of equal keys gives.
std::vector<int> distinctRowsInKeyOrder(const std::vector<std::string_view>& keys) {
  std::vector<int> order(keys.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return keys[a] < keys[b]; });
  order.erase(
      std::unique(order.begin(), order.end(), [&](int a, int b) { return keys[a] == keys[b]; }),
      order.end());
  return order;
}

// Makes row i the former row order[i], for every i, and drops the rest. Done
// in place, since a result may be as large as a relation can be: the rows not
// kept go last, and each cycle of the permutation that makes is followed
// once, with its first row held aside.
void keepRowsInOrder(Relation& relation, const std::vector<int>& order) {
  const std::size_t width = relation.attributes.size();
  const auto rowAt = [&](int r) { return relation.cells.data() + r * width; };
  std::vector<int> source = order;  // row i takes the row now at source[i]
  std::vector<bool> kept(relation.rowCount, false);
  for (const int r : order) kept[r] = true;
  for (int r = 0; r < relation.rowCount; ++r) {
    if (!kept[r]) source.push_back(r);
  }

  std::vector<bool> placed(relation.rowCount, false);
  std::vector<std::string_view> held(width);
  for (int start = 0; start < relation.rowCount; ++start) {
    if (placed[start]) continue;
    std::copy_n(rowAt(start), width, held.begin());
    int r = start;
    for (; source[r] != start; r = source[r]) {
      std::copy_n(rowAt(source[r]), width, rowAt(r));
      placed[r] = true;
    }
    std::copy(held.begin(), held.end(), rowAt(r));
    placed[r] = true;
  }
  relation.rowCount = static_cast<int>(order.size());
  relation.cells.resize(order.size() * width);
}

// Puts the attributes, and the cells of every row, in `columns` order.
void reorderColumns(Relation& relation, const std::vector<std::size_t>& columns) {
  std::vector<Attribute> attributes;
  attributes.reserve(columns.size());
  std::transform(columns.begin(), columns.end(), std::back_inserter(attributes),
                 [&](std::size_t column) { return relation.attributes[column]; });
  relation.attributes = std::move(attributes);

  std::vector<std::string_view> row(columns.size());
  for (int r = 0; r < relation.rowCount; ++r) {
    std::string_view* const cells = relation.cells.data() + r * columns.size();
    for (std::size_t i = 0; i < columns.size(); ++i) row[i] = cells[columns[i]];
    std::copy(row.begin(), row.end(), cells);
  }
}

}  // namespace

void normalizeResult(Relation& relation) {
  const std::vector<std::size_t> columns = sortedColumns(relation.attributes);
  std::string keyText;
  const std::vector<std::string_view> keys = buildRowKeys(relation, columns, keyText);
  keepRowsInOrder(relation, distinctRowsInKeyOrder(keys));
  reorderColumns(relation, columns);
}

}  // namespace joinrel
