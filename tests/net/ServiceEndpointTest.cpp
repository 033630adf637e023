#include <gtest/gtest.h>

#include "net/ServiceEndpoint.h"

namespace vexhal {
namespace {

TEST(ServiceEndpointTest, HostAndPortFormTheBase) {
  const struct {
    const char* host;
    const char* port;
    const char* base;  // nullptr: no usable address
  } rows[] = {{" updates.vexhal.example ", " 8443 ", "https://updates.vexhal.example:8443"},
              {"http://127.0.0.1:81/base/", "", "http://127.0.0.1:81/base"},
              {"http://LOCALHOST", "81", "http://localhost:81"},
              // One row for each reason to refuse.
              {"http://10.0.0.1", "80", nullptr},
              {"   ", "443", nullptr},
              {"updates.vexhal.example", "65536", nullptr},
              {"updates vexhal", "443", nullptr},
              {"http://127.0.0.1", "abc", nullptr}};
  for (const auto& row : rows) {
    const auto base = serviceBaseUrl(QString::fromUtf8(row.host), QString::fromUtf8(row.port));
    EXPECT_EQ(base ? base->toString().toStdString() : "none", row.base ? row.base : "none")
        << row.host << " " << row.port;
  }
}

// The split texts form the same address again (see serviceBaseUrl).
TEST(ServiceEndpointTest, AddressSplitsIntoHostAndPortOrIsRefusedWithAReason) {
  const struct {
    const char* address;
    const char* host;  // nullptr: refused with a reason
    const char* port;
  } rows[] = {
      {" HTTPS://updates.example.com:8443/base ", "HTTPS://updates.example.com/base", "8443"},
      {"http://[::1]:81", "http://[::1]", "81"},
      {"http://localhost", "http://localhost", "80"},
      // One row for each reason to refuse.
      {"ftp://updates.example.com", nullptr, nullptr},
      {"https://updates.example.com:0", nullptr, nullptr},
      {"https://", nullptr, nullptr},
      {"https://user@updates.example.com", nullptr, nullptr},
      {"http://10.0.0.1:8080", nullptr, nullptr}};
  for (const auto& row : rows) {
    const ServiceAddress split = parseServiceAddress(QString::fromUtf8(row.address));
    if (row.host == nullptr) {
      EXPECT_FALSE(split.problem.isEmpty()) << row.address;
    } else {
      EXPECT_EQ(
          split.problem.toStdString() + split.host.toStdString() + " " + split.port.toStdString(),
          std::string(row.host) + " " + row.port);
    }
  }
}

}  // namespace
}  // namespace vexhal
