#pragma once

#include <string>

namespace ostrane {

// One entry of a directory listing.
struct QlogFileModel {
  std::string fileName;  // path relative to the listed directory
  std::string filePath;  // listed directory + "/" + fileName
};

}  // namespace ostrane
