#include <QCryptographicHash>

#include "NetTestSupport.h"

namespace vexhal::test {
namespace {

QByteArray sha256Of(const QByteArray& bytes) {
  return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

const QString kPackagePath = QStringLiteral("/packages/firmware.bin");

class DownloadTest : public NetTest {
 protected:
  void SetUp() override {
    NetTest::SetUp();
    quint32 state = 0x2545f491;
    for (char& byte : package_)
      byte = static_cast<char>((state = state * 1664525u + 1013904223u) >> 24);
    service_.addPackage(kPackagePath, package_);
  }

  QByteArray package_ = QByteArray(3 * 1024 * 1024 + 17, Qt::Uninitialized);
};

// Whatever the server's way of answering, the package lands byte for byte over the previous
// file, and progress only rises.
TEST_F(DownloadTest, PackageLandsByteForByteFromServersThatDifferInTheirAnswer) {
  const struct {
    UpdateService::Fault fault;
    const char* saveAs;
    bool secure;
  } rows[] = {{UpdateService::Fault::None, "firmware.bin", true},
              {UpdateService::Fault::NoLength, "firmware.bin", true},
              {UpdateService::Fault::Compressed, "firmware.bin", true},
              {UpdateService::Fault::None, "a/b/firmware.bin", false}};  // missing folders are made
  ASSERT_TRUE(writeFile(scratchPath("firmware.bin"), "the previous package"));
  for (const auto& row : rows) {
    SCOPED_TRACE(static_cast<int>(row.fault));
    service_.setFault(kPackagePath, row.fault);
    const QString save = scratchPath(QString::fromUtf8(row.saveAs));
    // The expected checksum's case does not matter.
    const Outcome outcome = download(manager_, service_.url(kPackagePath, row.secure), save,
                                     sha256Of(package_).toUpper());
    EXPECT_EQ(outcome.response.code, 0) << outcome.response.message.toStdString();
    EXPECT_EQ(readFile(save), package_);
    ASSERT_FALSE(outcome.progress.empty());
    EXPECT_TRUE(std::adjacent_find(outcome.progress.begin(), outcome.progress.end(),
                                   std::greater_equal<>()) == outcome.progress.end());
    EXPECT_EQ(outcome.progress.back(), 100);
  }
  EXPECT_EQ(scratchFiles(), QStringList{"firmware.bin"});
}

struct FailureCase {
  const char* name;
  UpdateService::Fault fault;
  bool expectSha;      // the download expects the good package's sha256
  std::int64_t limit;  // package size limit; 0 keeps the default
  std::int64_t code;
  bool secure;
};

class DownloadFailureTest : public DownloadTest,
                            public ::testing::WithParamInterface<FailureCase> {};

TEST_P(DownloadFailureTest, FailureLeavesThePreviousFile) {
  const FailureCase& c = GetParam();
  service_.setFault(kPackagePath, c.fault);
  // Only the held-back answer waits for the idle timeout; the others keep the default, so a
  // busy machine does not turn them into timeouts.
  if (c.fault == UpdateService::Fault::Slow)
    manager_.setIdleTimeout(std::chrono::milliseconds(300));
  if (c.limit > 0) manager_.setMaxPackageSize(c.limit);
  const QString save = scratchPath("firmware.bin");
  const QString fresh = scratchPath("fresh.bin");
  ASSERT_TRUE(writeFile(save, "the previous package"));
  const auto sha = c.expectSha ? std::optional<QByteArray>(sha256Of(package_)) : std::nullopt;

  for (const QString& path : {save, fresh}) {
    const Outcome outcome = download(manager_, service_.url(kPackagePath, c.secure), path, sha);
    EXPECT_EQ(outcome.response.code, c.code) << outcome.response.message.toStdString();
    EXPECT_FALSE(outcome.response.message.isEmpty());
    EXPECT_TRUE(std::is_sorted(outcome.progress.begin(), outcome.progress.end()));
  }
  EXPECT_EQ(readFile(save), "the previous package");
  EXPECT_EQ(scratchFiles(), QStringList{"firmware.bin"});
}

// The cut-off answers once per transport, where TLS and plain TCP end differently.
using F = UpdateService::Fault;
using R = RNetResponse;
// clang-format off
INSTANTIATE_TEST_SUITE_P(Faults, DownloadFailureTest, ::testing::Values(
    FailureCase{"ServerError", F::ServerError, false, 0, R::kHttpStatus, true},
    FailureCase{"DropMidwayHttps", F::DropMidway, false, 0, R::kDownloadCut, true},
    FailureCase{"DropMidwayHttp", F::DropMidway, false, 0, R::kDownloadCut, false},
    FailureCase{"Slow", F::Slow, false, 0, R::kTimeout, true},
    FailureCase{"TruncatedHttps", F::Truncated, true, 0, R::kChecksumMismatch, true},
    FailureCase{"TruncatedHttp", F::Truncated, true, 0, R::kChecksumMismatch, false},
    FailureCase{"DeclaredTooLarge", F::HugeLength, false, 0, R::kTooLarge, false},
    FailureCase{"DeclaredBelowZero", F::NegativeLength, false, 0, R::kBadAnswer, false},
    FailureCase{"CountedTooLarge", F::NoLength, false, 1024 * 1024, R::kTooLarge, true},
    FailureCase{"UnaskedEncoding", F::UnaskedEncoding, false, 0, R::kBadAnswer, true}),
    [](const auto& p) { return std::string(p.param.name); });
// clang-format on

TEST_F(DownloadTest, ChecksumFromTheVersionCheckIsExpectedAndARetrySucceeds) {
  const QString url = service_.url(kPackagePath, true);
  service_.setAnswer("VX-1", "1.0", UpdateService::offer("2.0", url, "notes", package_, false));
  service_.setFault(kPackagePath, UpdateService::Fault::Damaged);
  useService(manager_, true);
  const Outcome checked = check(manager_, "VX-1", "1.0");
  ASSERT_TRUE(checked.data.has_value());
  ASSERT_EQ(checked.data->sha256, sha256Of(package_));
  const QString save = scratchPath("firmware.bin");

  EXPECT_EQ(download(manager_, url, save).response.code, RNetResponse::kChecksumMismatch);
  EXPECT_FALSE(QFile::exists(save));

  service_.setFault(kPackagePath, UpdateService::Fault::None);
  EXPECT_EQ(download(manager_, url, save).response.code, 0);
  EXPECT_EQ(readFile(save), package_);
  EXPECT_EQ(scratchFiles(), QStringList{"firmware.bin"});
}

TEST_F(DownloadTest, UnsafeAddressesAndAFolderAsTargetAreRefusedWithoutARequest) {
  for (const char* url :
       {"http://updates.vexhal.example/firmware.bin", "https:///x.bin", "file:///etc/passwd"}) {
    EXPECT_EQ(download(manager_, QString::fromUtf8(url), scratchPath("x")).response.code,
              RNetResponse::kBadAddress)
        << url;
  }
  const QString folder = scratchPath("folder");
  ASSERT_TRUE(QDir().mkpath(folder));
  EXPECT_EQ(download(manager_, service_.url(kPackagePath, false), folder).response.code,
            RNetResponse::kFileError);
  EXPECT_TRUE(QFileInfo(folder).isDir());
  EXPECT_TRUE(service_.requests().isEmpty());
  EXPECT_TRUE(scratchFiles().isEmpty());
}

TEST_F(DownloadTest, RedirectionsLeadOnlyToSafeAddresses) {
  const struct {
    const char* location;  // "%1" stands for the service's own HTTPS port
    std::int64_t code;
  } rows[] = {{"https://127.0.0.1:%1/packages/firmware.bin", 0},
              {"http://updates.vexhal.example/firmware.bin", RNetResponse::kBadAddress},
              {"file:///etc/hostname", RNetResponse::kBadAddress},
              {"https://127.0.0.1:%1/latest.bin", RNetResponse::kRedirectFailure}};  // a loop
  for (const auto& row : rows) {
    SCOPED_TRACE(row.location);
    service_.setRedirect("/latest.bin", QString::fromUtf8(row.location).arg(service_.httpsPort()));
    const QString save = scratchPath("firmware.bin");
    QFile::remove(save);
    const Outcome outcome = download(manager_, service_.url("/latest.bin", true), save);
    EXPECT_EQ(outcome.response.code, row.code) << outcome.response.message.toStdString();
    EXPECT_EQ(QFile::exists(save), row.code == 0);
  }
}

}  // namespace
}  // namespace vexhal::test
