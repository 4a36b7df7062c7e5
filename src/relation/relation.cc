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

void splitRow(Row row, std::span<std::string_view> cells) {
  std::array<std::size_t, MAX_ATTRIBUTES + 1> starts;  // and where a cell after the last would be
  cellStarts(row, cells.size(), starts.data());
  starts[cells.size()] = row.size() + 1;
  for (std::size_t k = 0; k < cells.size(); ++k) {
    cells[k] = {row.data() + starts[k], starts[k + 1] - 1 - starts[k]};
  }
}

std::string_view cellAt(Row row, int column, int width) {
  const char* const begin = row.data();
  const char* const end = row.data() + row.size();
  const int cellsAfter = width - 1 - column;
  if (column <= cellsAfter) {
    const char* start = begin;
    for (int k = 0; k < column; ++k) start = findComma(start, end) + 1;
    return {start, static_cast<std::size_t>(findComma(start, end) - start)};
  }
  // Back from the end, past one comma for each cell after it.
  const char* stop = end;
  for (int k = 0; k < cellsAfter; ++k) stop = findLastComma(begin, stop);
  const char* const comma = findLastComma(begin, stop);
  const char* const start = comma == stop ? begin : comma + 1;
  return {start, static_cast<std::size_t>(stop - start)};
}

void checkRowShapes([[maybe_unused]] const Relation& relation) {
#ifdef JOINREL_CHECK_ROWS
  for (const Row row : relation.rows) {
    const auto commas = static_cast<std::ptrdiff_t>(countCommas(row));
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
