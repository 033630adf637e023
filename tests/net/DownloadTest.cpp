#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include "NetTestSupport.h"

namespace vexhal::test {
namespace {

using sim::UpdateService;

QByteArray packageBytes(qsizetype size) {
  QByteArray bytes(size, Qt::Uninitialized);
  quint32 state = 0x2545f491;
  for (qsizetype i = 0; i < size; ++i) {
    state = state * 1664525u + 1013904223u;
    bytes[i] = static_cast<char>(state >> 24);
  }
  return bytes;
}

QByteArray sha256Of(const QByteArray& bytes) {
  return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

bool writeFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

const QString kPackagePath = QStringLiteral("/packages/firmware.bin");

class DownloadTest : public NetTest {
 protected:
  void SetUp() override {
    NetTest::SetUp();
    package_ = packageBytes(3 * 1024 * 1024 + 17);
    service_.addPackage(kPackagePath, package_);
  }

  QByteArray package_;
};

class GoodDownloadTest : public DownloadTest, public ::testing::WithParamInterface<bool> {};

TEST_P(GoodDownloadTest, PackageLandsWholeWithRisingProgress) {
  const QString save = scratchPath("firmware.bin");
  ASSERT_TRUE(writeFile(save, "the previous package"));

  // The expected checksum's case does not matter.
  const QByteArray sha = GetParam() ? sha256Of(package_).toUpper() : sha256Of(package_);
  const DownloadOutcome outcome = download(manager_, service_.url(kPackagePath, GetParam()), save, sha);

  EXPECT_EQ(outcome.calls, 1);
  EXPECT_FALSE(outcome.offMainThread);
  EXPECT_EQ(outcome.response.code, 0) << outcome.response.message.toStdString();
  EXPECT_EQ(readFile(save), package_);
  EXPECT_EQ(scratchFiles(), QStringList{"firmware.bin"});
  ASSERT_GE(outcome.progress.size(), 2u);
  for (std::size_t i = 1; i < outcome.progress.size(); ++i) {
    EXPECT_LT(outcome.progress[i - 1], outcome.progress[i]);
  }
  EXPECT_GE(outcome.progress.front(), 0);
  EXPECT_EQ(outcome.progress.back(), 100);
}

INSTANTIATE_TEST_SUITE_P(Schemes, GoodDownloadTest, ::testing::Bool(),
                         [](const auto& p) { return p.param ? "Https" : "Http"; });

struct VariantCase {
  const char* name;
  UpdateService::Fault fault;
  const char* saveAs;
  std::optional<std::vector<int>> progress;  // when it is fixed
};

class DownloadVariantTest : public DownloadTest, public ::testing::WithParamInterface<VariantCase> {};

TEST_P(DownloadVariantTest, PackageLandsByteForByte) {
  const VariantCase& c = GetParam();
  service_.setFault(kPackagePath, c.fault);
  const QString save = scratchPath(QString::fromUtf8(c.saveAs));

  const DownloadOutcome outcome = download(manager_, service_.url(kPackagePath, true), save);

  EXPECT_EQ(outcome.response.code, 0) << outcome.response.message.toStdString();
  EXPECT_EQ(readFile(save), package_);
  if (c.progress) {
    EXPECT_EQ(outcome.progress, *c.progress);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Variants, DownloadVariantTest,
    ::testing::Values(
        VariantCase{"WithoutLengthEndsAtFullProgress", UpdateService::Fault::NoLength,
                    "firmware.bin", std::vector<int>{100}},
        VariantCase{"FromACompressingServer", UpdateService::Fault::Compressed, "firmware.bin", {}},
        VariantCase{"MissingFoldersOfTheSavePathAreMade", UpdateService::Fault::None,
                    "a/b/firmware.bin", {}}),
    [](const auto& p) { return std::string(p.param.name); });

struct FailureCase {
  const char* name;
  UpdateService::Fault fault;
  bool expectSha;      // the download expects the good package's sha256
  std::int64_t limit;  // package size limit; 0 keeps the default
  std::int64_t code;
};

class DownloadFailureTest : public DownloadTest,
                            public ::testing::WithParamInterface<std::tuple<FailureCase, bool>> {};

TEST_P(DownloadFailureTest, FailureLeavesThePreviousFile) {
  const auto& [c, secure] = GetParam();
  service_.setFault(kPackagePath, c.fault);
  // Only the held-back answer waits for the idle timeout; the others keep the default, so a
  // busy machine does not turn them into timeouts.
  if (c.fault == UpdateService::Fault::Slow) {
    manager_.setIdleTimeout(std::chrono::milliseconds(300));
  }
  if (c.limit > 0) {
    manager_.setMaxPackageSize(c.limit);
  }
  const QString save = scratchPath("firmware.bin");
  const QString fresh = scratchPath("fresh.bin");
  ASSERT_TRUE(writeFile(save, "the previous package"));
  const auto sha = c.expectSha ? std::optional<QByteArray>(sha256Of(package_)) : std::nullopt;

  const DownloadOutcome over = download(manager_, service_.url(kPackagePath, secure), save, sha);
  const DownloadOutcome first = download(manager_, service_.url(kPackagePath, secure), fresh, sha);

  for (const DownloadOutcome* outcome : {&over, &first}) {
    EXPECT_EQ(outcome->calls, 1);
    EXPECT_EQ(outcome->response.code, c.code) << outcome->response.message.toStdString();
    EXPECT_FALSE(outcome->response.message.isEmpty());
    EXPECT_TRUE(std::is_sorted(outcome->progress.begin(), outcome->progress.end()));
  }
  EXPECT_EQ(readFile(save), "the previous package");
  EXPECT_FALSE(QFile::exists(fresh));
  EXPECT_EQ(scratchFiles(), QStringList{"firmware.bin"});
}

INSTANTIATE_TEST_SUITE_P(
    Faults, DownloadFailureTest,
    ::testing::Combine(
        ::testing::Values(
            FailureCase{"ServerError", UpdateService::Fault::ServerError, false, 0,
                        RNetResponse::kHttpStatus},
            FailureCase{"DropMidway", UpdateService::Fault::DropMidway, false, 0,
                        RNetResponse::kDownloadCut},
            FailureCase{"Slow", UpdateService::Fault::Slow, false, 0, RNetResponse::kTimeout},
            FailureCase{"Damaged", UpdateService::Fault::Damaged, true, 0,
                        RNetResponse::kChecksumMismatch},
            FailureCase{"Truncated", UpdateService::Fault::Truncated, true, 0,
                        RNetResponse::kChecksumMismatch},
            FailureCase{"DeclaredTooLarge", UpdateService::Fault::HugeLength, false, 0,
                        RNetResponse::kTooLarge},
            FailureCase{"LargerThanLimit", UpdateService::Fault::None, false, 1024 * 1024,
                        RNetResponse::kTooLarge},
            FailureCase{"CountedTooLarge", UpdateService::Fault::NoLength, false, 1024 * 1024,
                        RNetResponse::kTooLarge},
            FailureCase{"UnaskedEncoding", UpdateService::Fault::UnaskedEncoding, false, 0,
                        RNetResponse::kBadAnswer}),
        ::testing::Bool()),
    [](const auto& p) {
      return std::string(std::get<0>(p.param).name) +
             (std::get<1>(p.param) ? "Https" : "Http");
    });

TEST_F(DownloadTest, DefaultLimitIs512MiB) {
  EXPECT_EQ(RNetManager::kMaxPackageSize, 512LL * 1024 * 1024);
  service_.addPackage("/small.bin", "x");
  service_.setFault("/small.bin", UpdateService::Fault::HugeLength);  // announces 600 MiB

  const DownloadOutcome outcome =
      download(manager_, service_.url("/small.bin", false), scratchPath("small.bin"));

  EXPECT_EQ(outcome.response.code, RNetResponse::kTooLarge);
  EXPECT_TRUE(scratchFiles().isEmpty());
}

TEST_F(DownloadTest, MissingPackageIsHttpStatus) {
  const DownloadOutcome outcome =
      download(manager_, service_.url("/packages/none.bin", true), scratchPath("x.bin"));

  EXPECT_EQ(outcome.response.code, RNetResponse::kHttpStatus);
  EXPECT_TRUE(outcome.response.message.contains("404"));
  EXPECT_TRUE(scratchFiles().isEmpty());
}

TEST_F(DownloadTest, ChecksumFromTheVersionCheckIsExpected) {
  const QString url = service_.url(kPackagePath, true);
  service_.setAnswer("VX-1", "1.0", UpdateService::offer("2.0", url, "notes", package_, false));
  service_.setFault(kPackagePath, UpdateService::Fault::Damaged);
  useService(manager_, true);
  const CheckOutcome checked = check(manager_, "VX-1", "1.0");
  ASSERT_TRUE(checked.data.has_value());
  ASSERT_EQ(checked.data->sha256, sha256Of(package_));
  const QString save = scratchPath("firmware.bin");

  EXPECT_EQ(download(manager_, url, save).response.code, RNetResponse::kChecksumMismatch);
  EXPECT_FALSE(QFile::exists(save));

  service_.setFault(kPackagePath, UpdateService::Fault::None);
  EXPECT_EQ(download(manager_, url, save).response.code, 0);
  EXPECT_EQ(readFile(save), package_);
}

TEST_F(DownloadTest, UnsafeAddressesAreRefusedWithoutARequest) {
  for (const char* url : {"http://updates.vexhal.example/firmware.bin", "ftp://127.0.0.1/x.bin",
                          "not an address", "", "https:///x.bin", "file:///etc/passwd"}) {
    const DownloadOutcome outcome = download(manager_, QString::fromUtf8(url), scratchPath("x"));
    EXPECT_EQ(outcome.calls, 1) << url;
    EXPECT_EQ(outcome.response.code, RNetResponse::kBadAddress) << url;
  }
  EXPECT_TRUE(service_.requests().isEmpty());
  EXPECT_TRUE(scratchFiles().isEmpty());
}

TEST_F(DownloadTest, UntrustedCertificateIsTlsFailure) {
  RNetManager stranger;
  const QString save = scratchPath("firmware.bin");
  ASSERT_TRUE(writeFile(save, "kept"));

  const DownloadOutcome outcome = download(stranger, service_.url(kPackagePath, true), save);

  EXPECT_EQ(outcome.response.code, RNetResponse::kTlsFailure);
  EXPECT_EQ(readFile(save), "kept");
  EXPECT_EQ(scratchFiles(), QStringList{"firmware.bin"});
}

TEST_F(DownloadTest, NothingListeningIsNoConnection) {
  const QString url = QStringLiteral("http://127.0.0.1:%1/x.bin").arg(closedPort());

  EXPECT_EQ(download(manager_, url, scratchPath("x.bin")).response.code,
            RNetResponse::kNoConnection);
  EXPECT_TRUE(scratchFiles().isEmpty());
}

TEST_F(DownloadTest, SavePathThatIsAFolderIsAFileError) {
  const QString save = scratchPath("folder");
  ASSERT_TRUE(QDir().mkpath(save));

  const DownloadOutcome outcome = download(manager_, service_.url(kPackagePath, false), save);

  EXPECT_EQ(outcome.response.code, RNetResponse::kFileError);
  EXPECT_TRUE(QFileInfo(save).isDir());
  EXPECT_TRUE(service_.requests().isEmpty());
}

TEST_F(DownloadTest, RetryAfterAFailureSucceeds) {
  const QString save = scratchPath("firmware.bin");
  const QString url = service_.url(kPackagePath, true);
  service_.setFault(kPackagePath, UpdateService::Fault::DropMidway);
  ASSERT_EQ(download(manager_, url, save).response.code, RNetResponse::kDownloadCut);

  service_.setFault(kPackagePath, UpdateService::Fault::None);
  const DownloadOutcome retry = download(manager_, url, save);

  EXPECT_EQ(retry.response.code, 0);
  EXPECT_EQ(readFile(save), package_);
  EXPECT_EQ(scratchFiles(), QStringList{"firmware.bin"});
}

struct RedirectCase {
  const char* name;
  const char* location;  // "%1" stands for the service's own HTTPS port
  std::int64_t code;
};

class DownloadRedirectTest : public DownloadTest,
                             public ::testing::WithParamInterface<RedirectCase> {};

TEST_P(DownloadRedirectTest, RedirectionsLeadOnlyToSafeAddresses) {
  const RedirectCase& c = GetParam();
  service_.setRedirect("/latest.bin",
                       QString::fromUtf8(c.location).arg(service_.httpsPort()));
  const QString save = scratchPath("firmware.bin");

  const DownloadOutcome outcome = download(manager_, service_.url("/latest.bin", true), save);

  EXPECT_EQ(outcome.response.code, c.code) << outcome.response.message.toStdString();
  EXPECT_EQ(QFile::exists(save), c.code == 0);
}

INSTANTIATE_TEST_SUITE_P(
    Redirects, DownloadRedirectTest,
    ::testing::Values(
        RedirectCase{"ToHttpsPath", "https://127.0.0.1:%1/packages/firmware.bin", 0},
        RedirectCase{"ToPlainHttpElsewhere", "http://updates.vexhal.example/firmware.bin",
                     RNetResponse::kBadAddress},
        RedirectCase{"ToFile", "file:///etc/hostname", RNetResponse::kBadAddress},
        RedirectCase{"InALoop", "https://127.0.0.1:%1/latest.bin",
                     RNetResponse::kRedirectFailure}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace vexhal::test
