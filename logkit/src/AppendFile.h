#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace ostrane::detail {

// A log file opened for appending, with a write buffer: lines collect in memory and go out in
// one write() when the buffer fills or flush() is called. Write errors (a full disk) drop the
// pending bytes; nothing throws.
class AppendFile {
public:
    static constexpr std::size_t kBufferLimit = 64 * 1024;

    AppendFile() = default;
    ~AppendFile();
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Opens (creating when missing) a regular file; truncate empties it first.
    bool open(const std::string& path, bool truncate);
    void close() noexcept;
    bool isOpen() const noexcept { return fd_ >= 0; }

    void append(std::string_view bytes, std::string_view more = {});
    void flush() noexcept;
    // Hands out the bytes not yet written, leaving none pending.
    std::string takeBuffer() noexcept { return std::exchange(buffer_, std::string()); }
    // Bytes in the file plus bytes still buffered.
    std::uint64_t size() const noexcept { return onDisk_ + buffer_.size(); }
    // True when the open file has been removed from its directory.
    bool unlinked() const noexcept;

private:
    int fd_ = -1;
    std::uint64_t onDisk_ = 0;
    std::string buffer_;
};

} // namespace ostrane::detail
