#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <numeric>
#include <string>

#include "join/join.h"

namespace joinrel {

namespace {

// The four bytes of `row` from `from` on as one number, the first byte
// highest, zeros past the row's end: when the numbers of two rows that agree
// before `from` differ, they order the rows as their bytes do, unsigned and a
// prefix first, since a row that ends within them is a prefix of the other up
// to there and its zeros come first.
std::uint32_t bytesFrom(Row row, std::size_t from) {
  std::uint32_t key = 0;
  for (std::size_t k = from; k < from + 4; ++k) {
    key = key << 8 | (k < row.size() ? static_cast<unsigned char>(row[k]) : 0U);
  }
  return key;
}

// Sorts `rows` as unsigned bytes, a prefix first. Rows are told apart by the
// four bytes after those that all of them share, a comparison of two
// numbers, and compared whole only where those are the same.
void sortRows(std::vector<Row>& rows) {
  if (rows.empty()) return;
  std::size_t shared = rows.front().size();
  for (const Row row : rows) {
    const Row front = rows.front().substr(0, std::min(shared, row.size()));
    shared = static_cast<std::size_t>(std::mismatch(front.begin(), front.end(), row.begin()).first -
                                      front.begin());
  }
  // The rows' numbers are sorted with their keys, and the rows then put in
  // that order in place, following each cycle of the permutation: 8 bytes a
  // row beside the rows rather than a sorted copy of them.
  struct Keyed {
    std::uint32_t key;
    std::uint32_t row;
  };
  std::vector<Keyed> order(rows.size());
  for (std::size_t r = 0; r < rows.size(); ++r) {
    order[r] = {bytesFrom(rows[r], shared), static_cast<std::uint32_t>(r)};
  }
  std::sort(order.begin(), order.end(), [&](const Keyed& a, const Keyed& b) {
    return a.key != b.key ? a.key < b.key : rows[a.row] < rows[b.row];
  });
  // Place i takes row order[i].row; a place done is marked as taking itself.
  for (std::size_t start = 0; start < rows.size(); ++start) {
    const Row first = rows[start];
    std::size_t place = start;
    while (order[place].row != start) {
      const std::size_t from = order[place].row;
      rows[place] = rows[from];
      order[place].row = static_cast<std::uint32_t>(place);
      place = from;
    }
    rows[place] = first;
    order[place].row = static_cast<std::uint32_t>(place);
  }
}

// Puts the attributes, and the cells of every row, in `columns` order. The
// rows are rebuilt, each once.
void reorderColumns(Relation& relation, const std::vector<std::size_t>& columns) {
  std::vector<Attribute> attributes;
  attributes.reserve(columns.size());
  std::transform(columns.begin(), columns.end(), std::back_inserter(attributes),
                 [&](std::size_t column) { return relation.attributes[column]; });

  std::array<std::string_view, MAX_ATTRIBUTES> cells;
  const std::span<std::string_view> rowCells = std::span(cells).first(columns.size());
  // The same cells and commas, in another order.
  const TextSize textSize = std::accumulate(relation.rows.begin(), relation.rows.end(), TextSize{0},
                                            [](TextSize sum, Row row) { return sum + row.size(); });
  SizedRowBuilder builder(textSize, relation.rows.size());
  for (const Row row : relation.rows) {
    splitRow(row, rowCells);
    char* cursor = builder.cursor();
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (i > 0) *cursor++ = ',';
      cursor = std::copy(rowCells[columns[i]].begin(), rowCells[columns[i]].end(), cursor);
    }
    builder.endRowAt(cursor);
  }
  std::move(builder).moveRowsInto(relation);
  relation.attributes = std::move(attributes);
}

}  // namespace

// Stable, so attributes of the same name keep their order, as adjacent
// exchanges of strictly greater names would leave them.
std::vector<std::size_t> columnsByName(const std::vector<Attribute>& attributes) {
  std::vector<std::size_t> columns(attributes.size());
  std::iota(columns.begin(), columns.end(), std::size_t{0});
  std::stable_sort(columns.begin(), columns.end(), [&](std::size_t a, std::size_t b) {
    return nameToString(attributes[a].name) < nameToString(attributes[b].name);
  });
  return columns;
}

// A row's text is its cells joined by ",", so equal rows have equal texts and
// which of them is kept cannot be told apart; once the columns are in their
// final order every row is also its own key. Sorting the texts and keeping
// one of each run of equal ones therefore gives the rows, and the order, that
// keeping the earliest of each key and sorting by key would. Duplicates go
// first, so that only the rows kept are rebuilt in the new column order.
void normalizeResult(Relation& relation) {
  std::vector<Row>& rows = relation.rows;
  sortRows(rows);
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  const std::vector<std::size_t> columns = columnsByName(relation.attributes);
  if (std::is_sorted(columns.begin(), columns.end())) return;
  reorderColumns(relation, columns);
  sortRows(rows);
}

}  // namespace joinrel
