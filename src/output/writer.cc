#include "output/output.h"

namespace joinrel {

namespace {

// A type text that starts with a blank is written as it is, without the
// blank that separates a type from its name, and does not count as a type.
bool isTyped(const Attribute& attribute) {
  return !attribute.type.empty() && attribute.type.front() != ' ';
}

}  // namespace

void writeLineEnd(OutputFile& outputFile) { outputFile.writeLine("\n"); }

void writeLine(OutputFile& outputFile, std::string_view text, std::string& scratch) {
  scratch.assign(text);
  scratch += '\n';
  outputFile.writeLine(scratch);
}

void writeRelation(const Relation& relation, OutputFile& outputFile) {
  std::string header(nameToString(relation.name));
  header += '(';
  bool typed = false;  // once a typed attribute is written, separators are ", "
  for (std::size_t i = 0; i < relation.attributes.size(); ++i) {
    const Attribute& attribute = relation.attributes[i];
    if (i > 0) header += typed ? ", " : ",";
    header += nameToString(attribute.name);
    if (isTyped(attribute)) {
      header += ' ';
      typed = true;
    }
    header += attribute.type;
  }
  header += ')';
  std::string line;
  writeLine(outputFile, header, line);
  if (!typed) writeLineEnd(outputFile);

  if (relation.attributes.empty()) return;  // rows without cells have no text
  for (const Row row : relation.rows) writeLine(outputFile, row, line);
}

}  // namespace joinrel
