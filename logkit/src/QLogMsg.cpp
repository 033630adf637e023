#include <ostrane/QLogMsg.h>

#include <ostrane/QLogger.h>

#include <charconv>

namespace ostrane {
namespace {

void appendNumber(std::string& out, std::uint64_t value) {
  char buf[24];
  const auto res = std::to_chars(buf, buf + sizeof(buf), value);
  out.append(buf, res.ptr);
}

}  // namespace

void QLogMsg::appendFormatted(std::string& out) const {
  const auto slash = file.rfind('/');
  const std::string_view fileName = slash == std::string::npos
                                        ? std::string_view(file)
                                        : std::string_view(file).substr(slash + 1);
  const std::string_view levelText = QLogger::levelText(level);
  out.reserve(out.size() + date.size() + content.size() + fileName.size() + method.size() + 64 +
              (tag ? tag->size() : 0));
  out += '[';
  out += date;
  out += "] [";
  out += levelText;
  out += ']';
  if (tag && !tag->empty()) {
    out += " [";
    out += *tag;
    out += ']';
  }
  out += ": ";
  out += content;
  out += " [";
  appendNumber(out, threadId);
  out += "] [";
  appendNumber(out, pId);
  out += "] [";
  out += fileName;
  out += ':';
  out += line;
  out += "] [";
  out += method;
  out += ']';
}

std::string QLogMsg::formatLog() const {
  std::string out;
  appendFormatted(out);
  return out;
}

}  // namespace ostrane
