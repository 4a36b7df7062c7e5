#include "relation/relation.h"

#include <algorithm>

namespace joinrel {

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
  if (cells.empty()) return;
  std::size_t start = 0;
  for (std::size_t k = 0; k + 1 < cells.size(); ++k) {
    const std::size_t comma = row.find(',', start);
    cells[k] = row.substr(start, comma - start);
    start = comma + 1;
  }
  cells.back() = row.substr(start);
}

std::string_view cellAt(Row row, int column) {
  std::size_t start = 0;
  for (int k = 0; k < column; ++k) start = row.find(',', start) + 1;
  return row.substr(start, row.find(',', start) - start);
}

void RowBuilder::moveRowsInto(Relation& relation) {
  auto text = std::make_shared<const std::string>(std::move(text_));
  relation.rows.clear();
  relation.rows.reserve(rowEnds_.size());
  std::size_t begin = 0;
  for (const std::size_t end : rowEnds_) {
    relation.rows.push_back(std::string_view(*text).substr(begin, end - begin));
    begin = end;
  }
  relation.ownText = std::move(text);
  text_.clear();
  rowEnds_.clear();
}

FatalError FatalError::atLine(std::string_view what, LineNumber lineNumber) {
  return FatalError{std::string(what) + ": " + std::to_string(lineNumber) + ". sor!"};
}

}  // namespace joinrel
