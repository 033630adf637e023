#pragma once

#include <zip.h>

namespace vexhal::diagnostics {

class SerialMask;

// A libzip source that reads one entry of another archive through a serial mask while the
// output is written, a piece at a time: neither the entry nor its masked copy is held whole,
// in memory or on disk.
class MaskedZipSource {
 public:
  // The source for entry `index` of `from`, which must stay open, and `mask` alive, until the
  // archive the source is added to is closed. Null when libzip could not make it.
  static zip_source_t* make(zip_t* to, zip_t* from, zip_uint64_t index, const SerialMask& mask);
};

}  // namespace vexhal::diagnostics
