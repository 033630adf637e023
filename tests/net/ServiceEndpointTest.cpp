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
