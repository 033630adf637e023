#pragma once

// Where the library puts its files: the program's display name and its XDG cache directory.

#include <string>

namespace ostrane::detail {

// The name given with OSTRANE_DISPLAY_NAME, else the executable's file name; always one safe
// path component (safeComponent).
std::string displayName();

// `name` as one path component: "/" and control characters become "_", "." and ".." become
// "_" and "__", and it is cut to 200 bytes without splitting a UTF-8 character.
std::string safeComponent(std::string name);

// $XDG_CACHE_HOME/<name>, else $HOME/.cache/<name> (home from the password database when
// HOME is unset), else privateTempDirectory("/tmp", name). Read anew on each call.
std::string cachesDirectory();

// root/<name>-<uid>, made with mode 0700 when missing. One that is a link, not a directory,
// owned by someone else or writable by others is refused; a fresh private directory
// root/<name>-<uid>-XXXXXX is made instead and kept for the rest of the process. When none can
// be made, a path that can never be created, so lines are dropped rather than put elsewhere.
std::string privateTempDirectory(const std::string& root, const std::string& name);

}  // namespace ostrane::detail
