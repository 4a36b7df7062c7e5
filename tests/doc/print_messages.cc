// Prints every message of the catalogue, one a line, as the program builds
// it, with N standing for the line number and NAME for the relation name, as
// the README and the manual page write them.
#include <iostream>
#include <string>

#include "messages/messages.h"

namespace {

std::string shownForm(const joinrel::MessageEntry& entry) {
  using joinrel::FatalError;
  switch (entry.form) {
    case joinrel::MessageForm::Fixed:
      return std::string(FatalError(entry.kind).message());
    case joinrel::MessageForm::AtLine: {
      constexpr joinrel::LineNumber kLine = 918273;  // found nowhere else in a message
      std::string message(FatalError::atLine(entry.kind, kLine).message());
      const std::string number = std::to_string(kLine);
      return message.replace(message.find(number), number.size(), "N");
    }
    case joinrel::MessageForm::WithName:
      return std::string(FatalError::withName(entry.kind, "NAME").message());
  }
  return "";
}

}  // namespace

int main() {
  for (const joinrel::MessageEntry& entry : joinrel::kMessageCatalogue) {
    std::cout << shownForm(entry) << '\n';
  }
}
