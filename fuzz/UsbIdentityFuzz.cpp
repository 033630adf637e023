// Feeds sysfs attributes of a USB device to UsbSysfsIdentity::read. The input holds the files
// idVendor, idProduct, busnum, devpath and serial in turn, each as one length byte (255: the
// file is missing) and that many bytes; they are written into one temporary directory that
// every run reuses.

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ScratchFolder.h"
#include "device/UsbLocation.h"
#include "device/linux/UsbSysfsIdentity.h"

namespace {

constexpr std::array<const char*, 5> kAttributes = {"idVendor", "idProduct", "busnum", "devpath",
                                                    "serial"};
std::string directory;

void putAttribute(const char* name, const std::uint8_t* bytes, std::size_t length, bool present) {
  const std::string path = directory + "/" + name;
  if (!present) {
    ::unlink(path.c_str());
    return;
  }
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) std::abort();
  if (length > 0 && ::write(fd, bytes, length) != static_cast<ssize_t>(length)) std::abort();
  ::close(fd);
}

bool hasLineBreak(const std::string& text) { return text.find('\n') != std::string::npos; }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  directory = makeScratchFolder("usb_identity_fuzz");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::size_t pos = 0;
  for (const char* attribute : kAttributes) {
    const std::size_t wanted = pos < size ? data[pos++] : 255;
    const bool present = wanted != 255;
    const std::size_t length = present && wanted < size - pos ? wanted : present ? size - pos : 0;
    putAttribute(attribute, data + pos, length, present);
    pos += length;
  }

  const auto identity = vexhal::UsbSysfsIdentity::read(directory);
  if (!identity) return 0;
  // Bus numbers are not negative; attributes are single lines; a location id is the one
  // composed from bus and port path, with the bus in its top byte.
  if (identity->busNumber < 0) __builtin_trap();
  if (hasLineBreak(identity->devpath) || hasLineBreak(identity->serial)) __builtin_trap();
  if (identity->locationId != 0 &&
      (identity->locationId >> 24 != identity->busNumber ||
       identity->locationId !=
           vexhal::composeLocationId(identity->busNumber, identity->devpath).value_or(-1))) {
    __builtin_trap();
  }
  return 0;
}
