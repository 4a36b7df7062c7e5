#include "relation/relation.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <new>

namespace joinrel {

std::size_t memorySize(TextSize size, TextSize limit) {
  if (size > limit) throw std::bad_alloc();
  return static_cast<std::size_t>(size);
}

std::string_view nameToString(const Name& field) {
  const std::string_view whole(field.data(), field.size());
  return whole.substr(0, whole.find(' '));
}

Name stringToName(std::string_view text) {
  Name field = blankName();
  std::copy_n(text.begin(), std::min(text.size(), field.size()), field.begin());
  return field;
}

// Cells are short, so the commas are found by a plain scan rather than one
// library search per cell.
void splitRow(Row row, std::span<std::string_view> cells) {
  if (cells.empty()) return;
  const char* start = row.data();
  const char* const end = row.data() + row.size();
  for (std::size_t k = 0; k + 1 < cells.size(); ++k) {
    const char* const comma = std::find(start, end, ',');
    cells[k] = {start, static_cast<std::size_t>(comma - start)};
    start = comma + 1;
  }
  cells.back() = {start, static_cast<std::size_t>(end - start)};
}

std::string_view cellAt(Row row, int column, int width) {
  const int cellsAfter = width - 1 - column;
  if (column <= cellsAfter) {
    const char* start = row.data();
    const char* const end = row.data() + row.size();
    for (int k = 0; k < column; ++k) start = std::find(start, end, ',') + 1;
    return {start, static_cast<std::size_t>(std::find(start, end, ',') - start)};
  }
  // Back from the end, past one comma for each cell after it.
  using Back = std::reverse_iterator<const char*>;
  const Back first(row.data() + row.size());
  const Back last(row.data());
  Back at = first;
  for (int k = 0; k < cellsAfter; ++k) at = std::find(at, last, ',') + 1;
  const char* const start = std::find(at, last, ',').base();
  return {start, static_cast<std::size_t>(at.base() - start)};
}

void checkRowShapes([[maybe_unused]] const Relation& relation) {
#ifdef JOINREL_CHECK_ROWS
  for (const Row row : relation.rows) {
    const auto commas = std::count(row.begin(), row.end(), ',');
    const bool wellFormed =
        relation.attributes.empty() ? row.empty() : commas + 1 == relation.attributeCount();
    if (!wellFormed) {
      std::fprintf(stderr, "joinrel: a row of %d cells holds %td commas: [%.*s]\n",
                   relation.attributeCount(), commas, static_cast<int>(row.size()), row.data());
      std::abort();
    }
  }
#endif
}

namespace {

// Makes the rows of `relation` the pieces of `text` that end at `rowEnds`, the
// first starting at the text's first byte.
void setRows(Relation& relation, const char* text, const std::vector<std::size_t>& rowEnds) {
  relation.rows.clear();
  relation.rows.reserve(rowEnds.size());
  std::size_t begin = 0;
  for (const std::size_t end : rowEnds) {
    relation.rows.emplace_back(text + begin, end - begin);
    begin = end;
  }
}

}  // namespace

void RowBuilder::moveRowsInto(Relation& relation) {
  auto built = std::make_shared<const std::string>(std::move(text_));
  setRows(relation, built->data(), rowEnds_);
  relation.ownText = std::move(built);
  text_.clear();
  rowEnds_.clear();
  checkRowShapes(relation);
}

// `new char[]` rather than a string's resize: the bytes are written once, by
// the rows, not filled with zeros first.
SizedRowBuilder::SizedRowBuilder(TextSize textSize, std::size_t rowCount, TextSize limit)
    : text_(new char[memorySize(textSize, limit)]),
      textSize_(static_cast<std::size_t>(textSize)),
      cursor_(text_.get()) {
  rowEnds_.reserve(rowCount);
}

void SizedRowBuilder::moveRowsInto(Relation& relation) && {
#ifdef JOINREL_CHECK_ROWS
  // A row size reckoned wrongly beforehand leaves bytes unwritten.
  if ((rowEnds_.empty() ? 0 : rowEnds_.back()) != textSize_) {
    std::fprintf(stderr, "joinrel: rows of %zu bytes in a text of %zu\n",
                 rowEnds_.empty() ? 0 : rowEnds_.back(), textSize_);
    std::abort();
  }
#endif
  setRows(relation, text_.get(), rowEnds_);
  relation.ownText = std::shared_ptr<const void>(std::move(text_));
  checkRowShapes(relation);
}

}  // namespace joinrel
