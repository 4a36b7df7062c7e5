#include <algorithm>

#include "input/input.h"

namespace joinrel {

namespace {

// Reads the next non-empty line, where a header is expected.
inline std::string_view readHeaderLine(InputFile& inputFile) {
  for (;;) {
    if (inputFile.atEnd())
      throw FatalError::atLine(MessageKind::MissingHeader, inputFile.lineAfterLast());
    const std::string_view line = inputFile.readLine();
    if (!line.empty()) return line;
  }
}

// Walks an attribute list; a header that ends before the ")" closing its list
// is refused rather than read past its end.
class ListCursor {
 public:
  ListCursor(std::string_view list, LineNumber lineNumber) : list_(list), lineNumber_(lineNumber) {}

  char current() const {
    if (position_ >= list_.size()) {
      throw FatalError::badHeader(lineNumber_, HeaderFault::ListNotClosed);
    }
    return list_[position_];
  }
  void advance() { ++position_; }
  std::size_t position() const { return position_; }

 private:
  std::string_view list_;
  std::size_t position_ = 0;
  LineNumber lineNumber_;
};

// Reads the attributes of a list whose "(" is behind `at`, up to its ")" or
// the 50th attribute; returns true when its ")" ended it. A blank after any
// byte taken switches the attribute to its type text and is dropped; a ")"
// right after a type byte closes a "(" opened in a type text; a comma always
// ends an attribute. With kNoting, `cutTypes` receives each attribute whose
// type text holds a "(" that a comma ended.
template <bool kNoting>
bool parseAttributeList(ListCursor& at, std::vector<Attribute>& attributes,
                        std::vector<int>* cutTypes) {
  if (at.current() == ')') return true;
  bool inType = false;
  bool openParenthesis = false;  // a "(" in a type text waits for its ")"
  for (;;) {
    Attribute& attribute = attributes.emplace_back();
    int k = 0;  // bytes taken of this attribute since its name or type began
    while (at.current() != ',' && at.current() != ')') {
      const char taken = at.current();
      at.advance();
      if (!inType && k < MAX_NAME) {
        attribute.name[k] = taken;
      } else {
        attribute.type += taken;
        if (taken == '(') openParenthesis = true;
        if (at.current() == ')' && openParenthesis) {
          attribute.type += ')';
          at.advance();
          openParenthesis = false;
        }
      }
      ++k;
      if (at.current() == ' ') {
        at.advance();
        inType = true;
        k = 0;
      }
    }
    if (at.current() == ')') return true;
    if constexpr (kNoting) {
      if (openParenthesis && attribute.type.find('(') != std::string::npos) {
        cutTypes->push_back(static_cast<int>(attributes.size()) - 1);
      }
    }
    at.advance();  // past the comma
    // The rest of the line is ignored, even when there is none: the comma
    // after a 50th attribute may end the line.
    if (attributes.size() == MAX_ATTRIBUTES) return false;
    if (at.current() == ' ') at.advance();
    inType = false;
  }
}

// Rewrites every row of `relation`, each still its line as read, as the row's
// text: the first pieces of the line, one per attribute, "" for those it
// lacks.
void rewriteRows(Relation& relation) {
  RowBuilder builder;
  std::string& text = builder.text();
  for (const std::string_view line : relation.rows) {
    std::size_t start = 0;
    for (int k = 0; k < relation.attributeCount(); ++k) {
      if (k > 0) text += ',';
      if (start < line.size()) {
        const std::size_t end = std::min(line.find(',', start), line.size());
        text.append(line, start, end - start);
        start = end + 1;
      }
    }
    builder.endRow();
  }
  builder.moveRowsInto(relation);
}

// The header parser and the row reader, instantiated apart for a run nobody
// watches (kNoting false, `notes` null), so that the command line's loops
// stay as they were, and for one whose `notes` hear what is read.
// readHeaderLine and countCommas are inline for the same reason: each
// instantiation inlines them as the one function did.
template <bool kNoting>
void parseHeaderNoting(InputFile& inputFile, Name& name, std::vector<Attribute>& attributes,
                       ReadNotes* notes, std::int64_t relation) {
  const std::string_view line = readHeaderLine(inputFile);
  const LineNumber lineNumber = inputFile.lineNumber();
  // The first byte always belongs to the name, even when it is "(".
  const std::size_t open = line.find('(', 1);
  if (open == std::string_view::npos) {
    throw FatalError::badHeader(lineNumber, HeaderFault::NoParenthesis);
  }
  if (open > MAX_NAME) throw FatalError::atLine(MessageKind::NameTooLong, lineNumber);
  std::copy_n(line.begin(), open, name.begin());
  ListCursor at(line.substr(open + 1), lineNumber);
  if constexpr (kNoting) {
    HeaderReading header{lineNumber, line, open, 0, {}};
    const bool closed = parseAttributeList<true>(at, attributes, &header.cutTypes);
    header.listEnd = open + 1 + at.position() + (closed ? 1 : 0);
    notes->headerRead(relation, header, name, attributes);
  } else {
    parseAttributeList<false>(at, attributes, nullptr);
  }
}

template <bool kNoting>
void readRowsNoting(InputFile& inputFile, Relation& relation, ReadNotes* notes) {
  [[maybe_unused]] const LineNumber firstRowLine = inputFile.lineNumber() + 1;
  bool linesAreRows = true;  // every line so far is its row's text
  while (!inputFile.atEnd()) {
    const std::string_view line = inputFile.readLine();
    if (line.empty()) break;
    const LineNumber lineNumber = inputFile.lineNumber();
    if (inputFile.lineHoldsParenthesis()) throw FatalError::atLine(MessageKind::BadRow, lineNumber);
    if (relation.rowCount() == MAX_ROWS)
      throw FatalError::tooManyRows(lineNumber, nameToString(relation.name));
    const auto commas = static_cast<std::ptrdiff_t>(countCommas(line));
    const auto cells = commas + (line.back() == ',' ? 0 : 1);  // a trailing comma starts no cell
    if (cells > MAX_ATTRIBUTES) throw FatalError::tooManyCells(lineNumber, cells);
    linesAreRows = linesAreRows && commas + 1 == relation.attributeCount();
    relation.rows.push_back(line);
  }
  if constexpr (kNoting) {
    notes->rowsRead(relation.rows, relation.attributeCount(), firstRowLine, linesAreRows);
  }
  if (linesAreRows) {
    checkRowShapes(relation);
  } else {
    rewriteRows(relation);  // checked where the builder hands the rows over
  }
}

}  // namespace

void echoFirstLine(InputFile& inputFile, ReadSink& sink) {
  if (ReadNotes* notes = sink.notes()) notes->textRead(inputFile.text());
  const std::string_view line = inputFile.readLine();
  if (line.empty()) throw FatalError(MessageKind::EmptyFirstLine);
  sink.firstLineRead(line);
}

std::int64_t countRelations(const InputFile& inputFile) {
  return inputFile.linesAfterFirstHolding('(');
}

void parseHeader(InputFile& inputFile, Name& name, std::vector<Attribute>& attributes,
                 ReadNotes* notes, std::int64_t relation) {
  if (notes == nullptr) {
    parseHeaderNoting<false>(inputFile, name, attributes, nullptr, relation);
  } else {
    parseHeaderNoting<true>(inputFile, name, attributes, notes, relation);
  }
}

void readRows(InputFile& inputFile, Relation& relation, ReadNotes* notes) {
  if (notes == nullptr) {
    readRowsNoting<false>(inputFile, relation, nullptr);
  } else {
    readRowsNoting<true>(inputFile, relation, notes);
  }
}

std::vector<Relation> loadRelations(InputFile& inputFile, std::int64_t relationCount,
                                    std::span<const Attribute> joinList, ReadSink& sink,
                                    std::vector<std::int64_t>* fileIndices) {
  std::vector<std::string_view> wanted;  // names the join reads and no kept relation carries
  for (const Attribute& entry : joinList) {
    if (std::find(wanted.begin(), wanted.end(), nameToString(entry.name)) == wanted.end()) {
      wanted.push_back(nameToString(entry.name));
    }
  }
  std::vector<Relation> kept;
  ReadNotes* const notes = sink.notes();
  for (std::int64_t i = 0; i < relationCount; ++i) {
    Relation relation;
    parseHeader(inputFile, relation.name, relation.attributes, notes, i);
    // A block's rows are the lines right after its header, up to an empty line.
    const LineNumber firstRowLine = inputFile.lineNumber() + 1;
    readRows(inputFile, relation, notes);
    sink.relationRead(relation, firstRowLine);
    const auto name = std::find(wanted.begin(), wanted.end(), nameToString(relation.name));
    if (name != wanted.end()) {
      wanted.erase(name);
      relation.rows.shrink_to_fit();  // kept for the whole run
      kept.push_back(std::move(relation));
      if (fileIndices != nullptr) fileIndices->push_back(i);
    }
  }
  // Only empty lines may follow the last block.
  while (!inputFile.atEnd()) {
    if (!inputFile.readLine().empty()) {
      throw FatalError::badHeader(inputFile.lineNumber(), HeaderFault::LineAfterLastBlock);
    }
  }
  return kept;
}

}  // namespace joinrel
