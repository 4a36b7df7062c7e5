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

Row Relation::row(int r) const {
  const auto width = attributes.size();
  return {cells.data() + static_cast<std::size_t>(r) * width, width};
}

void Relation::appendRow(Row rowCells) {
  cells.insert(cells.end(), rowCells.begin(), rowCells.end());
  ++rowCount;
}

void Relation::dropRows() {
  std::vector<std::string_view>().swap(cells);  // clear() would keep the capacity
  rowCount = 0;
}

FatalError FatalError::atLine(std::string_view what, LineNumber lineNumber) {
  return FatalError{std::string(what) + ": " + std::to_string(lineNumber) + ". sor!"};
}

}  // namespace joinrel
