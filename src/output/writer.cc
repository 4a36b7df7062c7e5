#include <string>

#include "output/output.h"

namespace joinrel {

namespace {

// A type text that starts with a blank is written as it is, without the
// blank that separates a type from its name, and does not count as a type.
bool isTyped(const Attribute& attribute) {
  return !attribute.type.empty() && attribute.type.front() != ' ';
}

}  // namespace

void writeLineEnd(std::ostream& outputFile) {
  outputFile << '\n' << std::flush;
  if (!outputFile) throw FatalError("Hiba az output fajl irasakor!");
}

void writeRelation(const Relation& relation, std::ostream& outputFile) {
  outputFile << nameToString(relation.name) << '(';
  bool typed = false;  // once a typed attribute is written, separators are ", "
  for (std::size_t i = 0; i < relation.attributes.size(); ++i) {
    const Attribute& attribute = relation.attributes[i];
    if (i > 0) outputFile << (typed ? ", " : ",");
    outputFile << nameToString(attribute.name);
    if (isTyped(attribute)) {
      outputFile << ' ';
      typed = true;
    }
    outputFile << attribute.type;
  }
  outputFile << ')';
  writeLineEnd(outputFile);
  if (!typed) writeLineEnd(outputFile);

  if (relation.attributes.empty()) return;  // rows without cells have no text
  std::string line;                         // one write per line rather than one per cell
  for (int r = 0; r < relation.rowCount; ++r) {
    const Row row = relation.row(r);
    line.assign(row.front());
    for (const std::string_view cell : row.subspan(1)) {
      line += ',';
      line += cell;
    }
    outputFile << line;
    writeLineEnd(outputFile);
  }
}

}  // namespace joinrel
