#pragma once

// The one temporary folder a fuzz target reuses for every run.

#include <cstdlib>
#include <filesystem>
#include <string>

#include <stdlib.h>

// A new folder named after `target`, memory-backed where /dev/shm exists (a disk folder costs
// most of each run) and removed at exit; aborts when none can be made.
inline std::string makeScratchFolder(const std::string& target) {
  static std::string made;
  for (const char* parent : {"/dev/shm/", "/tmp/"}) {
    std::string name = parent + target + "-XXXXXX";
    if (::mkdtemp(name.data()) == nullptr) continue;
    made = name;
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(made, ignored);
    });
    return name;
  }
  std::abort();
}
