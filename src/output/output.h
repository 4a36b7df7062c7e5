// The writer of the output text format.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "messages/messages.h"
#include "relation/relation.h"

namespace joinrel {

// Writes a line end and flushes, so the file is up to date after every line.
// Refuses a stream that failed ("Hiba az output fajl irasakor!").
void writeLineEnd(std::ostream& outputFile);

// Writes `text` and a line end, then flushes, refusing a failing stream as
// writeLineEnd does. The text and its line end go to the stream as one piece,
// put together in `scratch`, so that a long line too reaches the file in one
// write; callers reuse `scratch` from line to line.
void writeLine(std::ostream& outputFile, std::string_view text, std::string& scratch);

// Writes `relation`: the header "Name(attr type, attr, ...)", an empty line
// when no attribute is typed, then one line per row with its cells joined by
// ",". An attribute is typed when its type text is non-empty and does not
// start with a blank; separators are "," until the first typed attribute and
// ", " from then on. With no attributes the rows write nothing. Nothing
// follows the last row's line end. Refuses a failing stream as writeLineEnd
// does.
void writeRelation(const Relation& relation, std::ostream& outputFile);

}  // namespace joinrel
