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

}  // namespace

FatalError::FatalError(MessageKind kind, LineNumber line, std::string message)
    : kind_(kind), line_(line), message_(std::make_shared<const std::string>(std::move(message))) {}

FatalError::FatalError(MessageKind kind)
    : FatalError(kind, 0, std::string(messageEntry(kind).text)) {}

FatalError FatalError::atLine(MessageKind kind, LineNumber lineNumber) {
  return {kind, lineNumber,
          std::string(messageEntry(kind).text) + ": " + std::to_string(lineNumber) + ". sor!"};
}

FatalError FatalError::withName(MessageKind kind, std::string_view name) {
  return {kind, 0, std::string(messageEntry(kind).text) + std::string(name) + "!"};
}

}  // namespace joinrel
