#include "LogFileName.h"

#include <charconv>

namespace ostrane::detail {

std::string logFileName(std::string_view displayName, std::string_view stamp, std::int64_t slice) {
  std::string name;
  name.append(displayName)
      .append("_")
      .append(stamp)
      .append("_")
      .append(std::to_string(slice))
      .append(".log");
  return name;
}

std::int64_t sliceOfLogFileName(std::string_view path) {
  const auto slash = path.rfind('/');
  const auto dot = path.rfind('.');
  if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash))
    path = path.substr(0, dot);
  const auto underscore = path.rfind('_');
  std::string_view piece =
      underscore == std::string_view::npos ? path : path.substr(underscore + 1);
  if (!piece.empty() && piece.front() == '+') {
    piece.remove_prefix(1);
    if (!piece.empty() && piece.front() == '-') return 0;
  }
  if (piece.empty()) return 0;
  std::int64_t value = 0;
  const auto res = std::from_chars(piece.data(), piece.data() + piece.size(), value);
  if (res.ec != std::errc() || res.ptr != piece.data() + piece.size()) return 0;
  return value;
}

bool isLogFileName(std::string_view name, std::string_view displayName) {
  constexpr std::string_view stampShape = "dddd-dd-dd dd:dd:dd";
  constexpr std::string_view suffix = ".log";
  if (!name.starts_with(displayName) || !name.ends_with(suffix)) return false;
  name = name.substr(displayName.size(), name.size() - displayName.size() - suffix.size());
  // What is left: "_" stamp "_" slice digits.
  if (name.size() < stampShape.size() + 3 || name[0] != '_' || name[stampShape.size() + 1] != '_')
    return false;
  for (std::size_t i = 0; i < stampShape.size(); ++i) {
    const char c = name[1 + i];
    const bool digit = c >= '0' && c <= '9';
    if (stampShape[i] == 'd' ? !digit : c != stampShape[i]) return false;
  }
  for (const char c : name.substr(stampShape.size() + 2))
    if (c < '0' || c > '9') return false;
  return true;
}

}  // namespace ostrane::detail
