#include <ostrane/LogItems.h>

#include <cstdio>
#include <sstream>

namespace ostrane::detail {

void appendStreamed(LineWriter& out, StreamFn fn, const void* value) {
  std::ostringstream stream;
  fn(stream, value);
  out.append(stream.view());
}

// Shortest text that reads back as the same value: 0.1 gives "0.1", 1e21 gives "1e+21".
void appendDouble(LineWriter& out, double value) {
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof(buf), value);
  out.append(std::string_view(buf, static_cast<std::size_t>(res.ptr - buf)));
}

void appendPointer(LineWriter& out, const void* value) {
  if (!value) {
    out.append("nil");
    return;
  }
  char buf[32];
  const int n = std::snprintf(buf, sizeof(buf), "%p", value);
  out.append(std::string_view(buf, n > 0 ? static_cast<std::size_t>(n) : 0));
}

}  // namespace ostrane::detail
