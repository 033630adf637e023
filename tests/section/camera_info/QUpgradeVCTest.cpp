
#include "UpdateTestSupport.h"

namespace vexhal {
namespace {

RVersionUpgradeInfo info(bool force, QString url = QStringLiteral("https://example.com/p"),
                         QString packageSize = QStringLiteral("10.0 MB")) {
  RVersionUpgradeInfo value;
  value.needUpgrade = true;
  value.forceStatus = force;
  value.version = QStringLiteral("2.0.0");
  value.downLoadUrl = std::move(url);
  value.details = QStringLiteral("Notes");
  value.packageSize = std::move(packageSize);
  return value;
}

struct SheetTest : testing::Test {
  SheetTest() {
    host.resize(800, 600);
    host.show();
    platform.setBrowserOpener([this](const QUrl& url) {
      opened.push_back(url);
      return true;
    });
  }
  ~SheetTest() override {
    if (sheet) sheet->closeSheet();
    test::processDeferredDeletes();
  }
  void open(const RVersionUpgradeInfo& value, bool isApp) {
    sheet = new QUpgradeVC(platform, QStringLiteral("PICO EDGE"), value, isApp);
    sheet->present(&host);
  }

  Platform platform;
  QWidget host;
  QPointer<QUpgradeVC> sheet;
  std::vector<QUrl> opened;
};

// A forced update hides "Cancel"; "Exit" only for a forced update of the program itself.
TEST_F(SheetTest, ForcedUpdatesHideCancelAndOnlyTheProgramOffersExit) {
  for (const bool isApp : {false, true}) {
    for (const bool force : {false, true}) {
      open(info(force), isApp);
      EXPECT_EQ(sheet->titleLabel()->text(), QStringLiteral("PICO EDGE V2.0.0"));
      EXPECT_EQ(sheet->cancelBtn()->isVisible(), !force);
      EXPECT_EQ(sheet->exitBtn()->isVisible(), force && isApp);
      EXPECT_TRUE(sheet->upgradeBtn()->isVisible());
      EXPECT_FALSE(sheet->progressView()->isVisible());
      sheet->closeSheet();
    }
  }
}

// The program's own update opens the download address in the browser, web addresses only; the
// sheet stays open when the update is forced.
TEST_F(SheetTest, TheProgramsUpdateOpensOnlyWebAddresses) {
  const struct {
    const char* url;
    bool force, opens, closes;
  } rows[] = {{"https://example.com/dl", false, true, true},
              {"http://example.com/dl", true, true, false},
              {"file:///etc/passwd", false, false, false},
              {"javascript:alert(1)", false, false, false},
              {"not an address", false, false, false}};
  for (const auto& row : rows) {
    opened.clear();
    open(info(row.force, QString::fromLatin1(row.url)), true);
    QTest::mouseClick(sheet->upgradeBtn(), Qt::LeftButton);
    EXPECT_EQ(opened.size(), row.opens ? 1U : 0U) << row.url;
    EXPECT_EQ(sheet->isVisible(), !row.closes) << row.url;
    if (sheet) sheet->closeSheet();
  }
}

// A download that fails offers "Try again" always and "Try again later" unless forced; the
// latter hands the failure to the caller and closes the sheet.
TEST_F(SheetTest, AFailedDownloadOffersTryAgainAndLaterOnlyWhenNotForced) {
  test::LocalUpdateService local;
  local.service.addPackage(QStringLiteral("/fw.bin"), QByteArray(4096, 'x'));
  local.service.setFault(QStringLiteral("/fw.bin"), sim::UpdateService::Fault::DropMidway);
  std::optional<RNetResponse> handed;
  for (const bool force : {true, false}) {
    open(info(force, local.url(QStringLiteral("/fw.bin"))), false);
    sheet->setCompletedBlock([&](const RNetResponse& response) { handed = response; });
    QTest::mouseClick(sheet->upgradeBtn(), Qt::LeftButton);
    ASSERT_TRUE(test::waitUntil([&] { return sheet->alert() != nullptr; }));
    EXPECT_EQ(sheet->alert()->alertMessage(),
              QStringLiteral("Downloading failed. Please try again."));
    const QStringList titles =
        force ? QStringList{"Try again"} : QStringList{"Try again later", "Try again"};
    EXPECT_EQ(test::actionTitles(sheet->alert()), titles);
    EXPECT_FALSE(handed.has_value());
    if (force) sheet->closeSheet();
  }
  test::choose(sheet->alert(), QStringLiteral("Try again later"));
  ASSERT_TRUE(handed.has_value());
  EXPECT_NE(handed->code, 0);
  EXPECT_FALSE(sheet->isVisible());
}

// Texts of the service are shown as they stand, never read as markup.
TEST_F(SheetTest, ShowsTheServicesTextsAsTheyStand) {
  RVersionUpgradeInfo value =
      info(false, QStringLiteral("https://example.com/p"), QStringLiteral("<b>9</b> MB"));
  value.version = QStringLiteral("<img src=x>2.0");
  open(value, false);
  for (QLabel* label : {sheet->titleLabel(), sheet->progressLabel()}) {
    EXPECT_TRUE(Qt::mightBeRichText(label->text()));
    EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
  }
}

}  // namespace
}  // namespace vexhal
