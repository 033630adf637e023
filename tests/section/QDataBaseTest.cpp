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
using P = QUVCParams;

struct QDataBaseTest : ::testing::Test {
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

// Missing or damaged values read as their defaults (keep: on); any other mode reads as custom.
TEST_F(QDataBaseTest, DamagedOrMissingValuesReadAsTheirDefaults) {
  const struct {
    const char* entry;  // lines of the camera's group; nullptr: no file
    std::optional<P> expected;
    const char* keep = "";  // lines of the keep switches' group
    bool keeps = true;
  } rows[] = {
      {nullptr, std::nullopt},
      {"SN1\\brightness=150\n", P{Mode::custom, 150, 128, 128, 128}, "SN1=false\n", false},
      {"SN1\\mode=0\nSN1\\brightness=99999999999999999999\nSN1\\contrast=@ByteArray(\\0\\x1)\n"
       "SN1\\saturation=1.5\nSN1\\sharpness=\n",
       P{Mode::standard, 128, 128, 128, 128}, "SN1=0\nSN2=false\n"},
      {"SN1\\mode=7\n", P{Mode::custom, 128, 128, 128, 128}, "SN1=@Variant(\\0\\x1)\n"},
      {"SN1=5\n", std::nullopt, "SN1\\x=false\n"},
      // Further controls: a control stored whole is read, any other is left out.
      {"SN1\\mode=1\nSN1\\controls\\gain\\value=5\nSN1\\controls\\gain\\minimum=0\n"
       "SN1\\controls\\gain\\maximum=9\nSN1\\controls\\gain\\step=1\n"
       "SN1\\controls\\gain\\default=2\nSN1\\controls\\hue\\value=x\n",
       P{Mode::bright, 128, 128, 128, 128, {{"gain", {5, 0, 9, 1, 2}}}}},
      {"\xff\xfe[[[=\n\\\\\\=@Variant(\n", std::nullopt},
  };
  for (const auto& row : rows) {
    path = dir.filePath(QString::number(&row - rows) +
                        ".conf");  // a file each: QSettings caches by name
    if (row.entry != nullptr)
      writeFile(QByteArray("[UVCParams]\n") + row.entry + "[KeepUVCParams]\n" + row.keep);
    EXPECT_EQ(QDataBase(path).getUVCParams(QStringLiteral("SN1")), row.expected)
        << (row.entry ? row.entry : "none");
    EXPECT_EQ(QDataBase(path).keepsImageSettings(QStringLiteral("SN1")), row.keeps) << row.keep;
  }
}

TEST_F(QDataBaseTest, HalfWrittenFileNeverBreaksReadingOrWriting) {
  ASSERT_TRUE(
      QDataBase(path).setUVCParams({Mode::vivid, 130, 128, 140, 120}, QStringLiteral("SN1")));
  const std::set<std::int64_t> kSurvivors{130, 128, 140, 120, 13, 12, 14, 1};
  const QByteArray full = readFile();
  ASSERT_FALSE(full.isEmpty());
  for (qsizetype cut = 0; cut < full.size(); ++cut) {
    writeFile(full.left(cut));
    QDataBase store(path);
    if (const std::optional<P> read = store.getUVCParams(QStringLiteral("SN1"))) {
      // Whatever survived is either what was written, a cut-off number, or the default.
      for (const std::int64_t value :
           {read->brightness, read->contrast, read->saturation, read->sharpness}) {
        EXPECT_EQ(kSurvivors.count(value), 1U) << "cut at " << cut << ": " << value;
      }
    }
    const P fresh{Mode::bright, 138, 128, 130, 120};
    EXPECT_TRUE(store.setUVCParams(fresh, QStringLiteral("SN1"))) << "cut at " << cut;
    EXPECT_EQ(QDataBase(path).getUVCParams(QStringLiteral("SN1")), fresh) << "cut at " << cut;
  }
}

// A write replaces the whole record, damaged and stale entries included, and is on disk at once.
TEST_F(QDataBaseTest, WritesThroughAtOnceAndReplacesTheWholeRecord) {
  writeFile("[UVCParams]\nSN1\\brightness=oops\nSN1\\stale=1\nSN1\\nested\\x=2\n");
  QDataBase store(path);
  ASSERT_TRUE(store.setUVCParams({Mode::bright, 138, 128, 130, 120}, QStringLiteral("SN1")));
  ASSERT_TRUE(store.setUVCParams({Mode::custom, 80, 90, 100, 110}, QStringLiteral("SN1")));
  EXPECT_EQ(QDataBase(path).getUVCParams(QStringLiteral("SN1")),
            (P{Mode::custom, 80, 90, 100, 110}));
  // The keep switch goes beside the record, which stays as older versions read it.
  ASSERT_TRUE(store.setKeepsImageSettings(QStringLiteral("SN1"), false));
  QSettings raw(path, QSettings::IniFormat);
  EXPECT_EQ(raw.value(QStringLiteral("KeepUVCParams/SN1")).toString(), QStringLiteral("false"));
  raw.beginGroup(QStringLiteral("UVCParams/SN1"));
  EXPECT_EQ(raw.childKeys(),
            (QStringList{"brightness", "contrast", "mode", "saturation", "sharpness"}));
  EXPECT_TRUE(raw.childGroups().isEmpty());
  EXPECT_EQ(raw.value(QStringLiteral("mode")).toString(), QStringLiteral("3"));
}

// A damaged line read before the write must not hide that the write failed; the record read
// afterwards in this process is the one still on disk.
TEST_F(QDataBaseTest, AWriteThatCannotReachTheDiskFailsEvenAfterADamagedLine) {
  for (const char* damaged : {"[broken\n", "\"broken\n"}) {
    writeFile(QByteArray("[UVCParams]\nSN1\\brightness=90\n") + damaged);
    const QByteArray before = readFile();
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit full = saved;
    full.rlim_cur = static_cast<rlim_t>(before.size());  // no file grows, as on a full disk
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &full);
    const bool written =
        QDataBase(path).setUVCParams({Mode::vivid, 130, 128, 140, 120}, QStringLiteral("SN1")) ||
        QDataBase(path).setKeepsImageSettings(QStringLiteral("SN1"), false);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written) << damaged;
    EXPECT_EQ(readFile(), before);
    EXPECT_EQ(QDataBase(path).getUVCParams(QStringLiteral("SN1")),
              (P{Mode::custom, 90, 128, 128, 128}))
        << damaged;
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
  const P legacy{Mode::vivid, 1, 2, 3, 4};
  const P current{Mode::bright, 5, 6, 7, 8};
  ASSERT_TRUE(store.setUVCParams(legacy, QString::fromUtf8(padded.data(), 13)));
  EXPECT_EQ(store.findUVCParams(padded), legacy);
  ASSERT_TRUE(store.setUVCParams(current, *QDataBase::storageKey(padded)));
  EXPECT_EQ(store.findUVCParams(padded), current);
  EXPECT_EQ(store.findUVCParams(std::string("VXK31D26")), current);
}

TEST_F(QDataBaseTest, EverySerialNumberTextIsItsOwnKey) {
  // "a_2Fb" is what "a/b" is written as.
  QStringList serials = {"SN0001", "a/b",         "a_2Fb",     "a\\b",       "a//b",
                         "/",      "_",           "a",         "A",          "%2F",
                         "mode",   "序列号-中文", "[General]", "line\nbreak"};
  serials << QString() << QStringLiteral("a") + QChar(u'\0') + QStringLiteral("b")
          << QString(QChar(u'\0')) << QString(QChar(0xD800)) << QString(QChar(0xDC00));

  const auto record = [](qsizetype i) {
    return P{Mode::vivid, i, i + 1, i + 2, i + 3, {{"gain", {i, -1, i + 9, 2, 3}}}};
  };
  QDataBase store(path);
  for (qsizetype i = 0; i < serials.size(); ++i)
    ASSERT_TRUE(store.setUVCParams(record(i), serials[i]));
  QDataBase reopened(path);
  for (qsizetype i = 0; i < serials.size(); ++i)
    EXPECT_EQ(reopened.getUVCParams(serials[i]), record(i))
        << QDataBase::groupFor(serials[i]).toStdString();
  EXPECT_EQ(reopened.getUVCParams(QStringLiteral("a/b/")), std::nullopt);
  EXPECT_EQ(reopened.getUVCParams(QStringLiteral("b")), std::nullopt);
}

}  // namespace
}  // namespace vexhal
