#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrane::detail {

// A log file opened for appending, with a write buffer: lines collect in memory and go out in
// one write() when the owner flushes (at the latest once bufferFull()). A failed write (full
// disk, file-size limit) drops whole lines only: a line cut short is cut back off the file.
// Lines lost so, or offered while no file is open, are counted; the next flush that can write
// puts the line "N lines lost: <reason>" before the others. Nothing throws.
class AppendFile {
 public:
  static constexpr std::size_t kBufferLimit = 64 * 1024;

  enum class Mode {
    openOrCreate,  // append to the file, creating it when missing
    createNew,     // only a file this call creates; EEXIST when the name is taken
  };
  // Turns the text of a loss notice into the finished line (without "\n").
  using NoticeMaker = std::function<std::string(std::string text)>;

  // Lines buffered for a file and not yet written, so that they can move to another file.
  struct Pending {
    std::string bytes;
    std::vector<std::size_t> ends;  // end offset of each line in bytes
  };

  explicit AppendFile(NoticeMaker notice) : notice_(std::move(notice)) {}
  ~AppendFile();
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;

  // Opens a regular file; returns 0 or the error, which also becomes the reason given for
  // lines lost while no file is open.
  int open(const std::string& path, Mode mode);
  void close() noexcept;
  bool isOpen() const noexcept { return fd_ >= 0; }
  // Whether the last successful open made the file rather than finding it.
  bool created() const noexcept { return created_; }

  // Buffers one line and its "\n"; without an open file the line is counted as lost.
  void appendLine(std::string_view text);
  bool bufferFull() const noexcept { return buffer_.size() >= kBufferLimit; }
  void flush() noexcept;

  Pending takePending() noexcept;
  void restorePending(Pending pending);

  // Bytes in the file plus bytes still buffered.
  std::uint64_t size() const noexcept { return onDisk_ + buffer_.size(); }
  // True when the open file has been removed from its directory.
  bool unlinked() const noexcept;

  // "N lines lost: <reason>".
  static std::string lossText(std::uint64_t lines, int error);

 private:
  void countLost(std::uint64_t lines, int error) noexcept;
  bool prependNotice() noexcept;

  NoticeMaker notice_;
  int fd_ = -1;
  bool created_ = false;
  int openError_ = 0;
  std::uint64_t onDisk_ = 0;
  std::string buffer_;
  std::vector<std::size_t> ends_;
  std::uint64_t lostLines_ = 0;
  int lostError_ = 0;
};

}  // namespace ostrane::detail
