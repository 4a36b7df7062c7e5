#include "output/output.h"

namespace joinrel {

namespace {

// A type text that starts with a blank is written as it is, without the
// blank that separates a type from its name, and does not count as a type.
bool isTyped(const Attribute& attribute) {
  return !attribute.type.empty() && attribute.type.front() != ' ';
}

// Hands `line`, which ends with its line end, to the stream's buffer and
// flushes it, as the stream's write and flush would, without their checks
// around each call. Refuses a stream that failed before, and fails and
// refuses it when its buffer takes less than the line or cannot flush.
void putLine(std::ostream& outputFile, std::string_view line) {
  if (!outputFile) throw FatalError(MessageKind::OutputWriteError);
  std::streambuf& buffer = *outputFile.rdbuf();
  const auto size = static_cast<std::streamsize>(line.size());
  if (buffer.sputn(line.data(), size) != size || buffer.pubsync() == -1) {
    outputFile.setstate(std::ios::badbit);
    throw FatalError(MessageKind::OutputWriteError);
  }
}

}  // namespace

void writeLineEnd(std::ostream& outputFile) { putLine(outputFile, "\n"); }

void writeLine(std::ostream& outputFile, std::string_view text, std::string& scratch) {
  scratch.assign(text);
  scratch += '\n';
  putLine(outputFile, scratch);
}

void writeRelation(const Relation& relation, std::ostream& outputFile) {
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
