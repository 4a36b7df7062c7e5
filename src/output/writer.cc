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
  outputFile.put('\n').flush();
  if (!outputFile) throw FatalError(MessageKind::OutputWriteError);
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
  for (const Row row : relation.rows) {
    outputFile.write(row.data(), static_cast<std::streamsize>(row.size()));
    writeLineEnd(outputFile);
  }
}

}  // namespace joinrel
