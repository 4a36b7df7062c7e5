#include "explain/notes.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace joinrel {

namespace {

// A note's text is kept this long at most: a line may be megabytes long.
constexpr std::size_t kNoteTextLimit = 1000;

// The code points that show as nothing: Unicode's Default_Ignorable_Code_Point,
// which holds every bidi control and the Hangul fillers. A table, as the
// standard library has no character properties.
struct CodePointRange {
  char32_t first;
  char32_t last;
};
constexpr std::array<CodePointRange, 17> kInvisible = {{
    {0x00AD, 0x00AD},
    {0x034F, 0x034F},
    {0x061C, 0x061C},
    {0x115F, 0x1160},
    {0x17B4, 0x17B5},
    {0x180B, 0x180F},
    {0x200B, 0x200F},
    {0x202A, 0x202E},
    {0x2060, 0x206F},
    {0x3164, 0x3164},
    {0xFE00, 0xFE0F},
    {0xFEFF, 0xFEFF},
    {0xFFA0, 0xFFA0},
    {0xFFF0, 0xFFF8},
    {0x1BCA0, 0x1BCA3},
    {0x1D173, 0x1D17A},
    {0xE0000, 0xE0FFF},
}};
constexpr std::array<CodePointRange, 4> kBidiControls = {{
    {0x061C, 0x061C},
    {0x200E, 0x200F},
    {0x202A, 0x202E},
    {0x2066, 0x2069},
}};

template <std::size_t N>
bool inRanges(const std::array<CodePointRange, N>& ranges, char32_t codePoint) {
  return std::any_of(ranges.begin(), ranges.end(), [&](const CodePointRange& range) {
    return range.first <= codePoint && codePoint <= range.last;
  });
}

bool isContinuation(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

bool isBlank(char byte) { return byte == ' ' || byte == '\t'; }

// The first bytes of `text`, at most kNoteTextLimit, cut before a character
// that would lose its continuation bytes.
std::string keptText(std::string_view text) {
  if (text.size() <= kNoteTextLimit) return std::string(text);
  std::size_t cut = kNoteTextLimit;
  for (int back = 0; back < 3 && isContinuation(text[cut]); ++back) --cut;
  if (isContinuation(text[cut])) cut = kNoteTextLimit;
  return std::string(text.substr(0, cut));
}

// The bytes of a name field up to its last byte that is not a blank: the
// name as written, which a blank at its start makes read as "".
std::string_view writtenName(const Name& field) {
  const auto last = std::find_if(field.rbegin(), field.rend(), [](char c) { return c != ' '; });
  return {field.data(), static_cast<std::size_t>(field.rend() - last)};
}

// The first byte of `text` from `at` on that is 0x80 or more, or the end.
// Most input is ASCII, so blocks of 64 bytes are tested whole first, as
// eight words of eight bytes.
std::size_t nextHighByte(std::string_view text, std::size_t at) {
  constexpr std::uint64_t kHighBits = 0x8080808080808080;
  constexpr std::size_t kBlock = 8 * sizeof(std::uint64_t);
  const auto word = [&](std::size_t i) {
    std::uint64_t bytes = 0;
    std::memcpy(&bytes, text.data() + at + i * sizeof bytes, sizeof bytes);
    return bytes;
  };
  for (; at + kBlock <= text.size(); at += kBlock) {
    const std::uint64_t bits =
        word(0) | word(1) | word(2) | word(3) | word(4) | word(5) | word(6) | word(7);
    if ((bits & kHighBits) != 0) break;
  }
  while (at < text.size() && static_cast<unsigned char>(text[at]) < 0x80) ++at;
  return at;
}

}  // namespace

bool isInvisible(char32_t codePoint) { return inRanges(kInvisible, codePoint); }

bool isBidiControl(char32_t codePoint) { return inRanges(kBidiControls, codePoint); }

Decoded decodeUtf8(std::string_view bytes) {
  if (bytes.empty()) return {};
  const auto lead = static_cast<unsigned char>(bytes[0]);
  if (lead < 0x80) return {lead, 1, true};
  std::size_t length = 0;
  char32_t codePoint = 0;
  char32_t least = 0;  // the least code point of that length: shorter forms are overlong
  if ((lead & 0xE0) == 0xC0) {
    length = 2;
    codePoint = lead & 0x1F;
    least = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3;
    codePoint = lead & 0x0F;
    least = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4;
    codePoint = lead & 0x07;
    least = 0x10000;
  } else {
    return {};
  }
  if (bytes.size() < length) return {};
  for (std::size_t i = 1; i < length; ++i) {
    if (!isContinuation(bytes[i])) return {};
    codePoint = (codePoint << 6) | (static_cast<unsigned char>(bytes[i]) & 0x3F);
  }
  if (codePoint < least || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
    return {};
  }
  return {codePoint, length, true};
}

void NoteTaker::add(Note&& note) noexcept {
  const auto kind = static_cast<std::size_t>(note.kind);
  if (full(note.kind)) {
    ++leftOut_[kind];
    return;
  }
  try {
    notes_.push_back(std::move(note));
    ++kept_[kind];
  } catch (const std::bad_alloc&) {
    ++leftOut_[kind];
  }
}

// Only bytes from 0x80 on can start a character worth a note, so the text is
// searched for those and each line's number is counted only where one is.
void NoteTaker::textRead(std::string_view text) noexcept {
  std::size_t at = 0;
  if (text.starts_with("\xEF\xBB\xBF")) {
    add({.kind = NoteKind::byteOrderMark, .line = 1});
    at = 3;
  }
  try {
    LineNumber line = 1;  // the line of byte `counted`
    std::size_t counted = 0;
    std::vector<char32_t> onLine;  // the characters noted on `line`
    for (;;) {
      at = nextHighByte(text, at);
      if (at == text.size()) return;
      const Decoded character = decodeUtf8(text.substr(at));
      if (character.valid && isInvisible(character.codePoint)) {
        const auto newLines = std::count(text.begin() + static_cast<std::ptrdiff_t>(counted),
                                         text.begin() + static_cast<std::ptrdiff_t>(at), '\n');
        if (newLines > 0) onLine.clear();
        line += newLines;
        counted = at;
        if (std::find(onLine.begin(), onLine.end(), character.codePoint) == onLine.end()) {
          onLine.push_back(character.codePoint);
          add({.kind = NoteKind::invisible,
               .line = line,
               .codePoint = character.codePoint,
               .bidi = isBidiControl(character.codePoint)});
        }
      }
      at += character.length;
    }
  } catch (const std::bad_alloc&) {
    // The characters after this one go without notes.
  }
}

void NoteTaker::headerRead(std::int64_t relation, const HeaderReading& header, const Name& name,
                           std::span<const Attribute> attributes) noexcept {
  try {
    if (relation == -1) {
      joinList_.resize(attributes.size());
      std::transform(attributes.begin(), attributes.end(), joinList_.begin(),
                     [](const Attribute& entry) { return std::string(nameToString(entry.name)); });
      joined_.assign(joinList_.size(), Joined{});
    } else {
      relation_ = relation;
      relationName_ = nameToString(name);
      noteRelation(relation, header.line, relationName_);
    }
    noteNames(relation, header, name, attributes);
    const std::string_view rest = header.text.substr(std::min(header.listEnd, header.text.size()));
    if (std::any_of(rest.begin(), rest.end(), [](char c) { return c != ' '; })) {
      add({.kind = NoteKind::textAfterList,
           .line = header.line,
           .relation = relation,
           .text = keptText(rest)});
    }
    for (const int cut : header.cutTypes) {
      const Attribute& attribute = attributes[static_cast<std::size_t>(cut)];
      add({.kind = NoteKind::typeCut,
           .line = header.line,
           .relation = relation,
           .name = std::string(nameToString(attribute.name)),
           .text = keptText(attribute.type)});
    }
  } catch (const std::bad_alloc&) {
    // This header goes without its notes.
  }
}

void NoteTaker::noteNames(std::int64_t relation, const HeaderReading& header, const Name& name,
                          std::span<const Attribute> attributes) {
  if (relation != -1) {
    const std::string_view written = header.text.substr(0, header.nameEnd);
    if (written != nameToString(name)) {
      add({.kind = NoteKind::blankInName,
           .line = header.line,
           .relation = relation,
           .name = std::string(nameToString(name)),
           .text = std::string(written),
           .place = NamePlace::relation});
    }
  }
  for (const Attribute& attribute : attributes) {
    const std::string_view written = writtenName(attribute.name);
    if (written == nameToString(attribute.name)) continue;
    add({.kind = NoteKind::blankInName,
         .line = header.line,
         .relation = relation,
         .name = std::string(nameToString(attribute.name)),
         .text = std::string(written),
         .place = relation == -1 ? NamePlace::joinList : NamePlace::attribute});
  }
}

// The join reads the first relation of each name the join list carries.
void NoteTaker::noteRelation(std::int64_t relation, LineNumber line, std::string_view name) {
  const auto listed = std::find(joinList_.begin(), joinList_.end(), name);
  if (listed == joinList_.end()) {
    add({.kind = NoteKind::notJoined,
         .line = line,
         .relation = relation,
         .name = std::string(name)});
    return;
  }
  Joined& first = joined_[static_cast<std::size_t>(listed - joinList_.begin())];
  if (first.relation == -1) {
    first.relation = relation;
    return;
  }
  add({.kind = NoteKind::sameName,
       .line = line,
       .relation = relation,
       .name = std::string(name),
       .used = first.relation});
}

// A trailing comma ends the last cell and starts none, so "a,b," holds two
// cells; it still ends one, so "a," under two attributes leaves none empty
// that was not written.
void NoteTaker::rowsRead(std::span<const Row> lines, int attributeCount, LineNumber firstRowLine,
                         bool linesFit) noexcept {
  for (Joined& joined : joined_) {
    if (joined.relation != relation_ || lines.empty()) continue;
    joined.firstRowLine = firstRowLine;
    // The lines stand one after another in the text: searched at once.
    const std::string_view rows(
        lines.front().data(),
        static_cast<std::size_t>(lines.back().data() + lines.back().size() - lines.front().data()));
    joined.blanks =
        rows.find(' ') != std::string_view::npos || rows.find('\t') != std::string_view::npos;
  }
  if (linesFit) return;
  try {
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const Row line = lines[i];
      const auto commas = static_cast<int>(std::count(line.begin(), line.end(), ','));
      const int cells = commas + (line.ends_with(',') ? 0 : 1);
      const bool extra = cells > attributeCount;
      if (!extra && commas + 1 >= attributeCount) continue;
      add({.kind = extra ? NoteKind::extraCells : NoteKind::missingCells,
           .line = firstRowLine + static_cast<LineNumber>(i),
           .relation = relation_,
           .name = relationName_,
           .cells = cells,
           .attributes = attributeCount});
    }
  } catch (const std::bad_alloc&) {
    // The rows after this one go without notes.
  }
}

void NoteTaker::keyCell(std::int64_t relation, int row, int column, std::string_view attribute,
                        int step, std::string_view cell) noexcept {
  if (cell.empty() || (!isBlank(cell.front()) && !isBlank(cell.back()))) return;
  const auto found = std::find_if(joined_.begin(), joined_.end(), [&](const Joined& joined) {
    return joined.relation == relation;
  });
  if (found == joined_.end()) return;
  try {
    if (!keyCellsNoted_.emplace(relation, row, column).second) return;
    add({.kind = NoteKind::blankInKeyCell,
         .line = found->firstRowLine + row,
         .relation = relation,
         .name = std::string(attribute),
         .text = keptText(cell),
         .step = step});
  } catch (const std::bad_alloc&) {
    // The cell goes without its note.
  }
}

bool NoteTaker::mayHoldBlankEdges(std::int64_t relation) const {
  return std::any_of(joined_.begin(), joined_.end(), [&](const Joined& joined) {
    return joined.relation == relation && joined.blanks;
  });
}

std::vector<Note> NoteTaker::notes() const {
  std::vector<Note> notes = notes_;
  std::stable_sort(notes.begin(), notes.end(),
                   [](const Note& a, const Note& b) { return a.line < b.line; });
  return notes;
}

}  // namespace joinrel
