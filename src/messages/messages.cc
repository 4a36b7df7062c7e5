#include "messages/messages.h"

#include <utility>

namespace joinrel {

namespace {

// Each kind stands at its own index, so messageEntry() needs no search.
constexpr bool catalogueInKindOrder() {
  for (std::size_t i = 0; i < kMessageCatalogue.size(); ++i) {
    if (static_cast<std::size_t>(kMessageCatalogue[i].kind) != i) return false;
  }
  return true;
}
static_assert(catalogueInKindOrder());

// "<text>: <lineNumber>. sor!"
std::string atLineText(MessageKind kind, LineNumber lineNumber) {
  return std::string(messageEntry(kind).text) + ": " + std::to_string(lineNumber) + ". sor!";
}

}  // namespace

FatalError::FatalError(MessageKind kind, LineNumber line, std::string message,
                       const Particulars& particulars)
    : kind_(kind),
      line_(line),
      details_(std::make_shared<const Details>(Details{std::move(message), particulars})) {}

FatalError::FatalError(MessageKind kind)
    : FatalError(kind, 0, std::string(messageEntry(kind).text), {}) {}

FatalError FatalError::atLine(MessageKind kind, LineNumber lineNumber) {
  return {kind, lineNumber, atLineText(kind, lineNumber), {}};
}

FatalError FatalError::withName(MessageKind kind, std::string_view name) {
  Particulars fields;
  fields.name = name;
  return {kind, 0, std::string(messageEntry(kind).text) + std::string(name) + "!", fields};
}

FatalError FatalError::unknownRelation(std::string_view name, std::vector<std::string> similar) {
  const FatalError named = withName(MessageKind::UnknownRelation, name);
  Particulars fields = named.particulars();
  fields.similarNames = std::move(similar);
  return {MessageKind::UnknownRelation, 0, std::string(named.message()), fields};
}

FatalError FatalError::badHeader(LineNumber lineNumber, HeaderFault fault) {
  Particulars fields;
  fields.headerFault = fault;
  return {MessageKind::BadHeader, lineNumber, atLineText(MessageKind::BadHeader, lineNumber),
          fields};
}

FatalError FatalError::tooManyCells(LineNumber lineNumber, std::int64_t cells) {
  Particulars fields;
  fields.cells = cells;
  return {MessageKind::TooManyCells, lineNumber, atLineText(MessageKind::TooManyCells, lineNumber),
          fields};
}

FatalError FatalError::tooManyRows(LineNumber lineNumber, std::string_view relationName) {
  Particulars fields;
  fields.name = relationName;
  return {MessageKind::TooManyRows, lineNumber, atLineText(MessageKind::TooManyRows, lineNumber),
          fields};
}

FatalError FatalError::resultTooLarge(std::string_view rightName, int step, StepLimit limit,
                                      std::int64_t found) {
  Particulars fields;
  fields.name = rightName;
  fields.step = step;
  fields.limit = limit;
  fields.found = found;
  return {
      MessageKind::ResultTooLarge, 0,
      std::string(messageEntry(MessageKind::ResultTooLarge).text) + std::string(rightName) + "!",
      fields};
}

}  // namespace joinrel
