#pragma once

// The one temporary folder a fuzz target reuses for every run.

#include <cstdlib>
#include <string>

#include <stdlib.h>

// A new folder named after `target`, memory-backed where /dev/shm exists (a disk folder costs
// most of each run); aborts when none can be made.
inline std::string makeScratchFolder(const std::string& target) {
  for (const char* parent : {"/dev/shm/", "/tmp/"}) {
    std::string name = parent + target + "-XXXXXX";
    if (::mkdtemp(name.data()) != nullptr) return name;
  }
  std::abort();
}
