// Notes on what a run takes in as it is, though whoever wrote the input may
// not expect it: cells that nothing keeps or that come out empty, header text
// that is never read, names and compared cells with blanks at an edge,
// relations the join does not read, characters that show as nothing or turn
// a line around. Gathered only for a watcher; the run is the same either way.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "input/input.h"
#include "messages/messages.h"
#include "relation/relation.h"

namespace joinrel {

enum class NoteKind {
  extraCells,      // a row line with more cells than its relation has attributes
  missingCells,    // a row line with fewer pieces than attributes: the rest are empty
  textAfterList,   // bytes of a header line after the end of its list, never read
  typeCut,         // a type text holding "(" that a comma ended, ending the attribute too
  blankInName,     // a name that starts or ends with a blank, read as its bytes before the first
  blankInKeyCell,  // a cell of a compared attribute that starts or ends with a blank or tab
  notJoined,       // a relation whose name the join list does not carry
  sameName,        // a relation whose name an earlier relation the join reads carries
  byteOrderMark,   // the file starts with the bytes of U+FEFF
  invisible,       // a character that shows as nothing, or a bidi control
};

inline constexpr std::size_t kNoteKinds = 10;

// Each kind's name in the report, in the order of NoteKind.
inline constexpr std::array<std::string_view, kNoteKinds> kNoteKindIds = {
    "extraCells",     "missingCells", "textAfterList", "typeCut",       "blankInName",
    "blankInKeyCell", "notJoined",    "sameName",      "byteOrderMark", "invisible"};

// Where a name with a blank stands.
enum class NamePlace { relation, attribute, joinList };

// One note. Which fields a kind fills is said by each field.
struct Note {
  NoteKind kind = NoteKind::extraCells;
  LineNumber line = 0;
  // The relation, from 0 in file order, the line belongs to; -1 for the
  // first line, and for byteOrderMark and invisible.
  std::int64_t relation = -1;
  // The relation's name (extraCells, missingCells, notJoined, sameName), the
  // attribute's (typeCut, blankInKeyCell), the name as the run reads it
  // (blankInName).
  std::string name{};
  // The bytes never read (textAfterList), the type text as read (typeCut),
  // the cell (blankInKeyCell), the name as written (blankInName).
  std::string text{};
  int cells = 0;                          // extraCells, missingCells: the cells the line holds
  int attributes = 0;                     // extraCells, missingCells: the relation's attributes
  NamePlace place = NamePlace::relation;  // blankInName
  int step = 0;                           // blankInKeyCell: the step comparing it, from 1
  std::int64_t used = -1;                 // sameName: the relation the join reads for the name
  char32_t codePoint = 0;                 // invisible
  bool bidi = false;                      // invisible: a bidi control, which turns text around
};

// At most this many notes of each kind are kept; the others are counted.
inline constexpr std::size_t kNotesOfEachKind = 20;

// True for a code point that shows as nothing: a default-ignorable code
// point (Hangul fillers and bidi controls among them).
bool isInvisible(char32_t codePoint);
// True for a bidi control: U+061C, U+200E, U+200F, U+202A to U+202E, U+2066
// to U+2069.
bool isBidiControl(char32_t codePoint);

// The first UTF-8 character of `bytes` and its length in bytes; a byte that
// starts no well-formed character (an overlong form, a surrogate, a code
// point past U+10FFFF included) is one byte long and gives none.
struct Decoded {
  char32_t codePoint = 0;
  std::size_t length = 1;
  bool valid = false;
};
Decoded decodeUtf8(std::string_view bytes);

// Hears the reader and the join for the notes; keeps at most
// kNotesOfEachKind of each kind and counts the rest. Memory running out
// leaves a note out, and the run goes on.
class NoteTaker final : public ReadNotes {
 public:
  void textRead(std::string_view text) noexcept override;
  void headerRead(std::int64_t relation, const HeaderReading& header, const Name& name,
                  std::span<const Attribute> attributes) noexcept override;
  void rowsRead(std::span<const Row> lines, int attributeCount, LineNumber firstRowLine,
                bool linesFit) noexcept override;

  // Row `row` of relation `relation` (file order) holds `cell`, the cell of
  // its column `column`, attribute `attribute`, which step `step` compares.
  // Noted when the cell starts or ends with a blank or a tab, once a cell.
  // The relation must be one the join reads.
  void keyCell(std::int64_t relation, int row, int column, std::string_view attribute, int step,
               std::string_view cell) noexcept;

  // False when no row of relation `relation` (file order), one the join
  // reads, holds a blank or a tab: none of its cells needs keyCell().
  bool mayHoldBlankEdges(std::int64_t relation) const;

  // The notes kept, ordered by line (in the order heard on a line).
  std::vector<Note> notes() const;
  // How many notes of `kind` were not kept.
  std::size_t leftOut(NoteKind kind) const { return leftOut_[static_cast<std::size_t>(kind)]; }

 private:
  // Keeps `note` when its kind has room, else counts it.
  void add(Note&& note) noexcept;
  // True when a note of `kind` would be counted rather than kept.
  bool full(NoteKind kind) const {
    return kept_[static_cast<std::size_t>(kind)] >= kNotesOfEachKind;
  }
  void noteNames(std::int64_t relation, const HeaderReading& header, const Name& name,
                 std::span<const Attribute> attributes);
  void noteRelation(std::int64_t relation, LineNumber line, std::string_view name);

  std::vector<Note> notes_;
  std::array<std::size_t, kNoteKinds> kept_{};
  std::array<std::size_t, kNoteKinds> leftOut_{};
  std::vector<std::string> joinList_;  // the names the first line carries
  // A relation the join reads: the first carrying a join list name.
  struct Joined {
    std::int64_t relation = -1;  // -1 until one is read
    LineNumber firstRowLine = 0;
    bool blanks = false;  // whether its rows hold a blank or a tab anywhere
  };
  std::vector<Joined> joined_;  // by join list name
  std::int64_t relation_ = -1;  // the relation whose header was heard last
  std::string relationName_;
  std::set<std::tuple<std::int64_t, int, int>> keyCellsNoted_;  // relation, row, column
};

}  // namespace joinrel
