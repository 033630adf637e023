#include "section/camera_control/QDataBase.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <set>

namespace vexhal {
namespace {

using Mode = QUVCParams::ImageMode;

class QDataBaseTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.isValid()); }

  // Writes the settings file by hand, as another program or a damaged disk could leave it.
  void writeFile(const QByteArray& text) const {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(text), text.size());
  }

  QByteArray readFile() const {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  QTemporaryDir dir;
  QString path = dir.filePath(QStringLiteral("settings.conf"));
};

// No file of this process grows past `bytes` while it lives, as on a full disk.
struct FileSizeLimit {
  explicit FileSizeLimit(rlim_t bytes) : oldHandler(std::signal(SIGXFSZ, SIG_IGN)) {
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limit = saved;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
  }
  void (*oldHandler)(int);
  rlimit saved{};
};

// ---- Decoding of stored entries, damaged ones included.

struct DecodeCase {
  const char* name;
  const char* entry;  // lines of the camera's group
  std::optional<QUVCParams> expected;
};

class Decode : public QDataBaseTest, public ::testing::WithParamInterface<DecodeCase> {};

TEST_P(Decode, MissingOrDamagedValuesReadAsTheirDefaults) {
  writeFile(QByteArray("[UVCParams]\n") + GetParam().entry);
  QDataBase store(path);
  EXPECT_EQ(store.getUVCParams(QStringLiteral("SN1")), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, Decode,
    ::testing::Values(
        DecodeCase{"Complete",
                   "SN1\\mode=1\nSN1\\brightness=138\nSN1\\contrast=127\nSN1\\saturation=130\n"
                   "SN1\\sharpness=120\n",
                   QUVCParams{Mode::bright, 138, 127, 130, 120}},
        DecodeCase{"OnlyBrightness", "SN1\\brightness=150\n",
                   QUVCParams{Mode::custom, 150, 128, 128, 128}},
        DecodeCase{"ModeZero", "SN1\\mode=0\n", QUVCParams{Mode::standard, 128, 128, 128, 128}},
        DecodeCase{"ModeTwo", "SN1\\mode=2\n", QUVCParams{Mode::vivid, 128, 128, 128, 128}},
        DecodeCase{"TextWhereANumberBelongs",
                   "SN1\\mode=0\nSN1\\brightness=bright\nSN1\\contrast=12abc\n"
                   "SN1\\saturation=1.5\nSN1\\sharpness=\n",
                   QUVCParams{Mode::standard, 128, 128, 128, 128}},
        DecodeCase{"NumbersBeyond64Bits",
                   "SN1\\brightness=99999999999999999999\nSN1\\contrast=-9223372036854775809\n"
                   "SN1\\saturation=9223372036854775807\n",
                   QUVCParams{Mode::custom, 128, 128, std::numeric_limits<std::int64_t>::max(),
                              128}},
        DecodeCase{"OtherTypes",
                   "SN1\\brightness=1, 2\nSN1\\contrast=@ByteArray(\\0\\x1)\n"
                   "SN1\\saturation=@Variant(\\0\\0\\0\\x7f\\0\\0)\nSN1\\sharpness=true\n",
                   QUVCParams{Mode::custom, 128, 128, 128, 128}},
        DecodeCase{"OutOfRangeValuesAreKept", "SN1\\brightness=-40\nSN1\\contrast=1000\n",
                   QUVCParams{Mode::custom, -40, 1000, 128, 128}},
        DecodeCase{"NestedEntryStillCounts", "SN1\\extra\\x=1\n",
                   QUVCParams{Mode::custom, 128, 128, 128, 128}},
        DecodeCase{"PlainValueIsNoRecord", "SN1=5\n", std::nullopt},
        DecodeCase{"OtherCamera", "SN2\\brightness=150\n", std::nullopt},
        DecodeCase{"CaseMatters", "sn1\\brightness=150\n", std::nullopt}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(QDataBaseTest, AnyOtherModeReadsAsCustom) {
  for (const char* mode : {"7", "3", "-1", "vivid", "18446744073709551618"}) {
    writeFile(QByteArray("[UVCParams]\nSN1\\mode=") + mode + "\n");
    EXPECT_EQ(QDataBase(path).getUVCParams(QStringLiteral("SN1")),
              (QUVCParams{Mode::custom, 128, 128, 128, 128})) << mode;
  }
}

TEST_F(QDataBaseTest, EmptyOrMissingFileHasNoRecords) {
  QDataBase missing(path);
  EXPECT_EQ(missing.getUVCParams(QStringLiteral("SN1")), std::nullopt);
  writeFile("");
  QDataBase empty(path);
  EXPECT_EQ(empty.getUVCParams(QString()), std::nullopt);
}

TEST_F(QDataBaseTest, HalfWrittenFileNeverBreaksReadingOrWriting) {
  {
    QDataBase store(path);
    ASSERT_TRUE(store.setUVCParams({Mode::vivid, 130, 128, 140, 120}, QStringLiteral("SN1")));
  }
  const std::set<std::int64_t> kSurvivors{130, 128, 140, 120, 13, 12, 14, 1};
  const QByteArray full = readFile();
  ASSERT_FALSE(full.isEmpty());
  for (qsizetype cut = 0; cut < full.size(); ++cut) {
    writeFile(full.left(cut));
    QDataBase store(path);
    const std::optional<QUVCParams> read = store.getUVCParams(QStringLiteral("SN1"));
    if (read) {
      // Whatever survived is either what was written, a cut-off number, or the default.
      for (const std::int64_t value :
           {read->brightness, read->contrast, read->saturation, read->sharpness}) {
        EXPECT_TRUE(kSurvivors.count(value) == 1) << "cut at " << cut << ": " << value;
      }
    }
    // The store stays usable: a new record replaces the damaged one.
    const QUVCParams fresh{Mode::bright, 138, 128, 130, 120};
    EXPECT_TRUE(store.setUVCParams(fresh, QStringLiteral("SN1"))) << "cut at " << cut;
    EXPECT_EQ(QDataBase(path).getUVCParams(QStringLiteral("SN1")), fresh) << "cut at " << cut;
  }
}

TEST_F(QDataBaseTest, GarbageFileReadsAsNoRecord) {
  static const char garbage[] = "\0\xff\xfe[[[=\n\\\\\\=@Variant(\n";
  writeFile(QByteArray(garbage, sizeof garbage - 1));
  QDataBase store(path);
  EXPECT_EQ(store.getUVCParams(QStringLiteral("SN1")), std::nullopt);
}

// ---- Writing: through at once, replacing, any serial number text as key.

TEST_F(QDataBaseTest, WritesThroughAtOnceAndReplacesTheWholeRecord) {
  QDataBase store(path);
  ASSERT_TRUE(store.setUVCParams({Mode::bright, 138, 128, 130, 120}, QStringLiteral("SN1")));
  EXPECT_EQ(QDataBase(path).getUVCParams(QStringLiteral("SN1")),
            (QUVCParams{Mode::bright, 138, 128, 130, 120}));
  ASSERT_TRUE(store.setUVCParams({Mode::custom, 80, 90, 100, 110}, QStringLiteral("SN1")));
  EXPECT_EQ(QDataBase(path).getUVCParams(QStringLiteral("SN1")),
            (QUVCParams{Mode::custom, 80, 90, 100, 110}));
  const QSettings raw(path, QSettings::IniFormat);
  EXPECT_EQ(raw.value(QStringLiteral("UVCParams/SN1/mode")).toString(), QStringLiteral("3"));
  EXPECT_EQ(raw.value(QStringLiteral("UVCParams/SN1/sharpness")).toString(),
            QStringLiteral("110"));
}

TEST_F(QDataBaseTest, WritingReplacesDamagedExtraEntries) {
  writeFile("[UVCParams]\nSN1\\brightness=oops\nSN1\\stale=1\nSN1\\nested\\x=2\n");
  QDataBase store(path);
  ASSERT_TRUE(store.setUVCParams({Mode::standard, 100, 101, 102, 103}, QStringLiteral("SN1")));
  QSettings raw(path, QSettings::IniFormat);
  raw.beginGroup(QStringLiteral("UVCParams/SN1"));
  EXPECT_EQ(raw.childKeys(),
            (QStringList{"brightness", "contrast", "mode", "saturation", "sharpness"}));
  EXPECT_TRUE(raw.childGroups().isEmpty());
}

TEST_F(QDataBaseTest, UnwritableStoreReportsFailure) {
  const QString blocked = dir.filePath(QStringLiteral("file/settings.conf"));
  writeFile("not a directory");
  QFile::rename(path, dir.filePath(QStringLiteral("file")));
  QDataBase store(blocked);
  EXPECT_FALSE(store.setUVCParams(QUVCParams{}, QStringLiteral("SN1")));
}

// A damaged line read before the write must not hide that the write failed; the record read
// afterwards in this process is the one still on disk.
TEST_F(QDataBaseTest, AWriteThatCannotReachTheDiskFailsEvenAfterADamagedLine) {
  for (const char* damaged : {"[broken\n", "\"broken\n"}) {
    writeFile(QByteArray("[UVCParams]\nSN1\\brightness=90\n") + damaged);
    const QByteArray before = readFile();
    bool written = true;
    {
      const FileSizeLimit full(static_cast<rlim_t>(before.size()));
      written = QDataBase(path).setUVCParams({Mode::vivid, 130, 128, 140, 120}, QStringLiteral("SN1"));
    }
    EXPECT_FALSE(written) << damaged;
    EXPECT_EQ(readFile(), before);
    EXPECT_EQ(QDataBase(path).getUVCParams(QStringLiteral("SN1")),
              (QUVCParams{Mode::custom, 90, 128, 128, 128})) << damaged;
  }
}

// The camera pads its 13-byte serial number with zero bytes: its record is kept under the text
// without them, and a record stored under the padded text is still found.
TEST_F(QDataBaseTest, APaddedSerialNumberFindsItsRecordUnderEitherForm) {
  const std::string padded("VXK31D26\0\0\0\0\0", 13);
  EXPECT_EQ(QDataBase::storageKey(padded), QStringLiteral("VXK31D26"));
  EXPECT_EQ(QDataBase::storageKey(std::string(13, '\0')), std::nullopt);
  EXPECT_EQ(QDataBase::storageKey(std::nullopt), std::nullopt);
  QDataBase store(path);
  const QUVCParams legacy{Mode::vivid, 1, 2, 3, 4};
  const QUVCParams current{Mode::bright, 5, 6, 7, 8};
  ASSERT_TRUE(store.setUVCParams(legacy, QString::fromUtf8(padded.data(), 13)));
  EXPECT_EQ(store.findUVCParams(padded), legacy);
  ASSERT_TRUE(store.setUVCParams(current, *QDataBase::storageKey(padded)));
  EXPECT_EQ(store.findUVCParams(padded), current);
  EXPECT_EQ(store.findUVCParams(std::string("VXK31D26")), current);
}

TEST_F(QDataBaseTest, EverySerialNumberTextIsItsOwnKey) {
  const QString serials[] = {
      QStringLiteral("SN0001"), QString(), QStringLiteral("a/b"),
      QStringLiteral("a_2Fb"),  // what "a/b" is written as
      QStringLiteral("a\\b"), QStringLiteral("a//b"), QStringLiteral("/"), QStringLiteral("_"),
      QString(QStringLiteral("a")) + QChar(u'\0') + QStringLiteral("b"), QString(QChar(u'\0')),
      QStringLiteral("a"), QStringLiteral("A"), QString::fromUtf8("序列号-中文"),
      QString(QChar(0xD800)), QString(QChar(0xDC00)),  // lone surrogates
      QStringLiteral("%2F"), QStringLiteral(" spaced "), QStringLiteral("[General]"),
      QStringLiteral("a=b;c#d"), QStringLiteral("\"quoted\""), QStringLiteral("line\nbreak"),
      QStringLiteral("mode"), QStringLiteral("@Variant(x)"),
  };
  {
    QDataBase store(path);
    std::int64_t value = 1;
    for (const QString& serial : serials) {
      ASSERT_TRUE(store.setUVCParams({Mode::vivid, value, value + 1, value + 2, value + 3}, serial));
      value += 10;
    }
  }
  QDataBase reopened(path);
  std::int64_t value = 1;
  for (const QString& serial : serials) {
    EXPECT_EQ(reopened.getUVCParams(serial),
              (QUVCParams{Mode::vivid, value, value + 1, value + 2, value + 3}))
        << QDataBase::groupFor(serial).toStdString();
    value += 10;
  }
  EXPECT_EQ(reopened.getUVCParams(QStringLiteral("a/b/")), std::nullopt);
  EXPECT_EQ(reopened.getUVCParams(QStringLiteral("b")), std::nullopt);
}

TEST(QDataBaseGroup, KeepsPlainSerialNumbersReadable) {
  EXPECT_EQ(QDataBase::groupFor(QStringLiteral("PE2024-0001.A")), QStringLiteral("PE2024-0001.A"));
  EXPECT_EQ(QDataBase::groupFor(QStringLiteral("a/b")), QStringLiteral("a_2Fb"));
  EXPECT_EQ(QDataBase::groupFor(QString::fromUtf8("号")), QStringLiteral("_u53F7"));
  EXPECT_EQ(QDataBase::groupFor(QString()), QStringLiteral("_"));
}

}  // namespace
}  // namespace vexhal
