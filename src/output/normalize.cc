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
  std::vector<std::size_t> ends;
  ends.reserve(relation.rowCount);
  for (int r = 0; r < relation.rowCount; ++r) {
    const Row row = relation.row(r);
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (i > 0) text += ',';
      text += row[columns[i]];
    }
    ends.push_back(text.size());
  }
  std::vector<std::string_view> keys;
  keys.reserve(ends.size());
  std::size_t begin = 0;
  for (const std::size_t end : ends) {
    keys.push_back(std::string_view(text).substr(begin, end - begin));
    begin = end;
  }
  return keys;
}

}  // namespace

void normalizeResult(Relation& relation) {
  const std::vector<std::size_t> columns = sortedColumns(relation.attributes);
  std::string keyText;
  const std::vector<std::string_view> keys = buildRowKeys(relation, columns, keyText);

  // Sorting stably and keeping the first of each run of equal keys keeps the
  // earliest of every set of duplicates, and orders the rest by key.
  std::vector<int> order(relation.rowCount);
  std::iota(order.begin(), order.end(), 0);
  const auto keyOf = [&](int r) { return keys[r]; };
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return keyOf(a) < keyOf(b); });
  order.erase(
      std::unique(order.begin(), order.end(), [&](int a, int b) { return keyOf(a) == keyOf(b); }),
      order.end());

  std::vector<Attribute> attributes;
  attributes.reserve(columns.size());
  std::transform(columns.begin(), columns.end(), std::back_inserter(attributes),
                 [&](std::size_t column) { return relation.attributes[column]; });
  std::vector<std::string_view> cells;
  cells.reserve(order.size() * columns.size());
  for (const int r : order) {
    const Row row = relation.row(r);
    std::transform(columns.begin(), columns.end(), std::back_inserter(cells),
                   [&](std::size_t column) { return row[column]; });
  }
  relation.attributes = std::move(attributes);
  relation.cells = std::move(cells);
  relation.rowCount = static_cast<int>(order.size());
}

}  // namespace joinrel
