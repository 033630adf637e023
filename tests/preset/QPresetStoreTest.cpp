#include "preset/QPresetStore.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "preset/QPresetFile.h"
#include "preset/QPresetFit.h"

namespace vexhal {
namespace {

struct QPresetStoreTest : ::testing::Test {
  QPresetStore store(std::uint16_t product = 0xb215) const {
    return QPresetStore(QPresetStore::modelKey(0xb206, product), path);
  }
  QStringList names() const {
    QStringList list;
    for (const QPreset& p : store().presets()) list << p.name;
    return list;
  }

  QTemporaryDir dir;
  QString path = dir.filePath(QStringLiteral("settings.conf"));
};

TEST_F(QPresetStoreTest, APresetSavedFromOneCameraAppliesToAnotherOfTheModelUnchanged) {
  VideoControl gain;
  gain.key = "gain";
  gain.minimum = 0;
  gain.maximum = 255;
  gain.value = 77;
  const QPreset saved{
      QStringLiteral("Evening/2"), {false, 1, true, 60, true, 30}, controlValues({gain})};
  ASSERT_TRUE(store().save(saved));
  EXPECT_EQ(QPresetStore::modelKey(0xb206, 0xb215), QStringLiteral("b206-b215"));
  const std::optional<QPreset> read = store().find(saved.name);
  ASSERT_EQ(read, saved);
  const QPresetFit fit = fitPreset(read->controls, {gain});
  EXPECT_EQ(fit.settings, (std::vector<QPresetFit::Setting>{{0, "gain", 77}}));
  EXPECT_TRUE(fit.adjustments.empty());
  EXPECT_TRUE(store(0xb216).presets().empty());
}

TEST_F(QPresetStoreTest, NamesStaySortedAndUniqueAndDamagedEntriesAreLeftOut) {
  for (const char* name : {"b", "A", "c"}) ASSERT_TRUE(store().save({name, {}, {}}));
  {
    QSettings raw(path, QSettings::IniFormat);
    raw.setValue(QStringLiteral("Presets/b206-b215/x"), QStringLiteral("{\"format\":"));
    raw.setValue(QStringLiteral("Presets/b206-b215/y"),
                 QString::fromUtf8(QPresetFile::toJson({{"z", {}, {}}})));
  }
  EXPECT_EQ(names(), (QStringList{"A", "b", "c"}));
  QString error;
  EXPECT_FALSE(store().rename(QStringLiteral("A"), QStringLiteral("b"), &error));
  EXPECT_EQ(error, QStringLiteral("A preset named \"b\" already exists."));
  EXPECT_FALSE(store().rename(QStringLiteral("A"), QStringLiteral(" "), &error));
  EXPECT_EQ(error, QStringLiteral("A preset needs a name."));
  EXPECT_FALSE(store().remove(QStringLiteral("q"), &error));
  EXPECT_EQ(error, QStringLiteral("There is no preset named \"q\"."));
  ASSERT_TRUE(store().rename(QStringLiteral("A"), QStringLiteral("d")));
  ASSERT_TRUE(store().remove(QStringLiteral("b")));
  EXPECT_EQ(names(), (QStringList{"c", "d"}));
}

TEST_F(QPresetStoreTest, AStoreThatCannotBeWrittenSaysSoAndKeepsWhatItHad) {
  path = dir.path();  // a directory: no settings file can be written there
  QString error;
  EXPECT_FALSE(store().save({QStringLiteral("P"), {}, {}}, &error));
  EXPECT_TRUE(error.contains(QLatin1String("could not be saved"))) << error.toStdString();
  EXPECT_FALSE(store().find(QStringLiteral("P")));
}

}  // namespace
}  // namespace vexhal
