#pragma once

// Where the library puts its files: the program's display name and its XDG cache directory.

#include <string>

namespace ostrane::detail {

// The name given with OSTRANE_DISPLAY_NAME, else the executable's file name.
std::string displayName();

// $XDG_CACHE_HOME/<name>, else $HOME/.cache/<name> (home from the password database when
// HOME is unset), else /tmp/<name>-<uid>. Read anew on each call.
std::string cachesDirectory();

} // namespace ostrane::detail
