// The names a user may have meant: for a join list name that no relation
// carries, the loaded relations' names close to it, so that "Ismeretlen
// relacio" can be shown with the names worth checking.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace joinrel {

// At most this many names are offered: beyond a handful, a list helps no one.
inline constexpr std::size_t kSimilarNamesOffered = 5;

// Returns the names of `loaded` that `name` may have meant, each once:
// those equal to it apart from the letter case of ASCII letters; when there
// are none, those within two edits of it (a byte inserted, deleted or
// replaced), the nearer first. Ties keep the order of `loaded`. At most
// kSimilarNamesOffered; none equal to `name` itself.
std::vector<std::string> similarNames(std::string_view name, std::span<const std::string> loaded);

}  // namespace joinrel
