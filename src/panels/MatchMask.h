// File-name masks of the select and unselect commands: "?" stands for any one character, "*"
// for any run of characters, everything else for itself; letter case is ignored.
#pragma once

#include <string_view>

namespace kq::panels {

// Whether name matches mask. Both are upper-cased by the console code page's rules first. An
// empty name or mask never matches, nor does a mask longer than the name by two or more
// characters. Only the most recent "*" is retried when the rest fails to match: a star skips to
// the next occurrence of the character behind it, and a later failure moves that occurrence on.
bool MatchMask(std::string_view name, std::string_view mask);

}  // namespace kq::panels
