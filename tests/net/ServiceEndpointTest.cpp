#include <gtest/gtest.h>

#include "net/ServiceEndpoint.h"

namespace vexhal {
namespace {

struct EndpointCase {
  const char* host;
  const char* port;
  const char* base;  // nullptr: no usable address
};

class ServiceBaseUrlTest : public ::testing::TestWithParam<EndpointCase> {};

TEST_P(ServiceBaseUrlTest, HostAndPortFormTheBase) {
  const EndpointCase& c = GetParam();
  const std::optional<QUrl> base =
      serviceBaseUrl(QString::fromUtf8(c.host), QString::fromUtf8(c.port));
  if (c.base == nullptr) {
    EXPECT_FALSE(base.has_value()) << base->toString().toStdString();
  } else {
    ASSERT_TRUE(base.has_value());
    EXPECT_EQ(base->toString(), QString::fromUtf8(c.base));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Endpoints, ServiceBaseUrlTest,
    ::testing::Values(
        EndpointCase{"updates.vexhal.example", "443", "https://updates.vexhal.example:443"},
        EndpointCase{" updates.vexhal.example ", " 8443 ", "https://updates.vexhal.example:8443"},
        EndpointCase{"127.0.0.1", "9000", "https://127.0.0.1:9000"},
        EndpointCase{"http://127.0.0.1", "8080", "http://127.0.0.1:8080"},
        EndpointCase{"HTTP://127.0.0.1:81", "443", "http://127.0.0.1:81"},
        EndpointCase{"http://127.0.0.1:81/base/", "", "http://127.0.0.1:81/base"},
        EndpointCase{"https://updates.vexhal.example", "444", "https://updates.vexhal.example:444"},
        EndpointCase{"", "443", nullptr},
        EndpointCase{"   ", "443", nullptr},
        EndpointCase{"updates.vexhal.example", "", nullptr},
        EndpointCase{"updates.vexhal.example", "   ", nullptr},
        EndpointCase{"updates.vexhal.example", "0", nullptr},
        EndpointCase{"updates.vexhal.example", "65536", nullptr},
        EndpointCase{"updates.vexhal.example", "44x", nullptr},
        EndpointCase{"updates vexhal", "443", nullptr},
        EndpointCase{"host/path", "443", nullptr},
        EndpointCase{"http://", "80", nullptr},
        EndpointCase{"http://127.0.0.1", "abc", nullptr},
        EndpointCase{"http://127.0.0.1?x=1", "80", nullptr},
        EndpointCase{"http://localhost:8080", "", "http://localhost:8080"},
        EndpointCase{"http://updates.vexhal.example", "80", nullptr},
        EndpointCase{" http://10.0.0.1:8080/base", "", nullptr}));

struct AddressCase {
  const char* address;
  const char* host;  // nullptr: refused with a reason
  const char* port;
};

class ServiceAddressTest : public ::testing::TestWithParam<AddressCase> {};

// The split texts form the same address again (see serviceBaseUrl).
TEST_P(ServiceAddressTest, SplitsIntoHostAndPortOrRefuses) {
  const AddressCase& c = GetParam();
  const ServiceAddress split = parseServiceAddress(QString::fromUtf8(c.address));
  if (c.host == nullptr) {
    EXPECT_FALSE(split.problem.isEmpty()) << split.host.toStdString();
    return;
  }
  EXPECT_EQ(split.problem.toStdString(), "");
  EXPECT_EQ(split.host.toStdString(), c.host);
  EXPECT_EQ(split.port.toStdString(), c.port);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, ServiceAddressTest,
    ::testing::Values(
        AddressCase{"https://updates.example.com", "https://updates.example.com", "443"},
        AddressCase{" HTTPS://updates.example.com:8443/base ", "HTTPS://updates.example.com/base",
                    "8443"},
        AddressCase{"http://127.0.0.1:8080", "http://127.0.0.1", "8080"},
        AddressCase{"http://[::1]:81", "http://[::1]", "81"},
        AddressCase{"http://localhost", "http://localhost", "80"},
        AddressCase{"", nullptr, nullptr},
        AddressCase{"updates.example.com", nullptr, nullptr},
        AddressCase{"ftp://updates.example.com", nullptr, nullptr},
        AddressCase{"http://10.0.0.1:8080", nullptr, nullptr},
        AddressCase{"https://updates.example.com:", nullptr, nullptr},
        AddressCase{"https://updates.example.com:0", nullptr, nullptr},
        AddressCase{"https://updates.example.com: 80", nullptr, nullptr},
        AddressCase{"https://user@updates.example.com", nullptr, nullptr},
        AddressCase{"https://updates.example.com/?x=1", nullptr, nullptr},
        AddressCase{"https://", nullptr, nullptr}));

TEST(LoopbackHostTest, OnlyThisMachineCounts) {
  for (const char* host : {"127.0.0.1", "127.8.9.10", "::1", "localhost", "LOCALHOST"}) {
    EXPECT_TRUE(isLoopbackHost(QString::fromLatin1(host))) << host;
  }
  for (const char* host : {"10.0.0.1", "updates.vexhal.example", "localhost.example", "", "::2"}) {
    EXPECT_FALSE(isLoopbackHost(QString::fromLatin1(host))) << host;
  }
}

}  // namespace
}  // namespace vexhal
