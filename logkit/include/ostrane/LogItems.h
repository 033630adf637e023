#pragma once

// How the logging functions turn their items into one text, and how they learn the call site.
// The call site comes from std::source_location default arguments of the small types below,
// evaluated where the caller writes the call.

#include <ostrane/Export.h>

#include <charconv>
#include <concepts>
#include <cstdint>
#include <cstring>
#include <iosfwd>
#include <optional>
#include <ranges>
#include <source_location>
#include <string>
#include <string_view>
#include <type_traits>

namespace ostrane {

// A message category: WarnLog(ostrane::Tag{"HID"}, "x", 1). Takes the call site when made.
struct Tag {
  template <typename T>
  requires std::is_convertible_v<const T&, std::string_view>
  explicit Tag(const T& text, std::source_location where = std::source_location::current()) noexcept
      : value(text), site(where) {}

  std::string_view value;
  std::source_location site;
};

// A thread id given by the caller: QLog(ostrane::ThreadId{tid}, "x"). Takes the call site.
// Explicit, so that QLog(42, "x") and QLog(true) log their first item rather than a thread id.
struct ThreadId {
  template <std::integral I>
  explicit ThreadId(I id, std::source_location where = std::source_location::current()) noexcept
      : value(static_cast<std::uint64_t>(id)), site(where) {}

  std::uint64_t value;
  std::source_location site;
};

namespace detail {

// Collects a message's text; short texts stay on the stack.
class LineWriter {
 public:
  LineWriter() = default;
  LineWriter(const LineWriter&) = delete;
  LineWriter& operator=(const LineWriter&) = delete;

  void append(std::string_view text) {
    if (text.empty()) return;
    if (heap_.empty() && size_ + text.size() <= sizeof(inline_)) {
      std::memcpy(inline_ + size_, text.data(), text.size());
      size_ += text.size();
      return;
    }
    if (heap_.empty()) heap_.assign(inline_, size_);
    heap_.append(text);
  }
  std::string_view view() const noexcept {
    return heap_.empty() ? std::string_view(inline_, size_) : std::string_view(heap_);
  }

 private:
  char inline_[240];
  std::size_t size_ = 0;
  std::string heap_;
};

using StreamFn = void (*)(std::ostream&, const void*);
// Renders a value through its operator<< (kept out of line so hosts need not pull in <sstream>).
OSTRANE_EXPORT void appendStreamed(LineWriter& out, StreamFn fn, const void* value);
OSTRANE_EXPORT void appendDouble(LineWriter& out, double value);
OSTRANE_EXPORT void appendPointer(LineWriter& out, const void* value);

template <typename T>
concept Streamable = requires(std::ostream& os, const T& v) {
  os << v;
};

template <typename T>
inline constexpr bool isText = std::is_convertible_v<const T&, std::string_view>;

template <typename T>
struct IsOptional : std::false_type {};
template <typename T>
struct IsOptional<std::optional<T>> : std::true_type {};

template <typename T>
void appendItem(LineWriter& out, const T& value);

template <typename T>
void appendInteger(LineWriter& out, T value) {
  char buf[48];
  auto res = std::to_chars(buf, buf + sizeof(buf), value);
  out.append(std::string_view(buf, static_cast<std::size_t>(res.ptr - buf)));
}

// Text as itself, bool as true/false, integers and floats in decimal, an empty optional as
// "nil", enums as their number, other pointers in hex, ranges as [a, b], the rest through <<.
template <typename T>
void appendItem(LineWriter& out, const T& value) {
  using U = std::remove_cvref_t<T>;
  if constexpr (std::is_same_v<U, char*> || std::is_same_v<U, const char*>) {
    out.append(value ? std::string_view(value) : std::string_view("(null)"));
  } else if constexpr (isText<U>) {
    out.append(std::string_view(value));
  } else if constexpr (std::is_same_v<U, bool>) {
    out.append(value ? "true" : "false");
  } else if constexpr (std::is_same_v<U, char>) {
    out.append(std::string_view(&value, 1));
  } else if constexpr (std::is_integral_v<U>) {
    appendInteger(out, value);
  } else if constexpr (std::is_floating_point_v<U>) {
    appendDouble(out, static_cast<double>(value));
  } else if constexpr (std::is_enum_v<U> && !Streamable<U>) {
    appendInteger(out, static_cast<std::underlying_type_t<U>>(value));
  } else if constexpr (IsOptional<U>::value) {
    if (value)
      appendItem(out, *value);
    else
      out.append("nil");
  } else if constexpr (std::is_pointer_v<U> && std::is_object_v<std::remove_pointer_t<U>>) {
    appendPointer(out, static_cast<const void*>(value));
  } else if constexpr (Streamable<U>) {
    appendStreamed(
        out, [](std::ostream& os, const void* p) { os << *static_cast<const U*>(p); }, &value);
  } else if constexpr (std::ranges::input_range<const U>) {
    out.append("[");
    bool first = true;
    for (const auto& element : value) {
      if (!first) out.append(", ");
      first = false;
      appendItem(out, element);
    }
    out.append("]");
  } else {
    static_assert(sizeof(U) == 0,
                  "ostrane: this item type cannot be rendered; give it an operator<<");
  }
}

template <typename... Items>
void appendItems(LineWriter& out, const Items&... items) {
  bool first = true;
  ((first ? void(first = false) : out.append(" "), appendItem(out, items)), ...);
}

template <typename T>
void appendErased(LineWriter& out, const void* value) {
  appendItem(out, *static_cast<const T*>(value));
}

// The first item of an untagged call. Converting any value into it records the call site.
class FirstItem {
 public:
  template <typename T>
  requires(!std::is_same_v<std::remove_cvref_t<T>, Tag> &&
           !std::is_same_v<std::remove_cvref_t<T>, ThreadId>)
      FirstItem(const T& value, std::source_location where = std::source_location::current())
  noexcept : value_(static_cast<const void*>(&value)), render_(&appendErased<T>), site(where) {}

  void appendTo(LineWriter& out) const { render_(out, value_); }

 private:
  const void* value_;
  void (*render_)(LineWriter&, const void*);

 public:
  std::source_location site;
};

}  // namespace detail
}  // namespace ostrane
