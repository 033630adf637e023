#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "../../sim/SimTestSupport.h"
#include "UpdateTestSupport.h"
#include "common/Pictures.h"
#include "common/UiTestSupport.h"
#include "section/camera_info/QBrowserLink.h"
#include "section/camera_info/QUpgradeLoadingView.h"
#include "section/camera_info/QUpgradeVC.h"

namespace vexhal {
namespace {

using sim::test::waitUntil;

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
  }
  ~SheetTest() override {
    if (sheet) {
      sheet->closeSheet();
    }
    QBrowserLink::setOpener(nullptr);
    test::processDeferredDeletes();
  }
  QUpgradeVC* open(const RVersionUpgradeInfo& value, bool isApp) {
    sheet = new QUpgradeVC(QStringLiteral("PICO EDGE"), value, isApp);
    sheet->present(&host);
    return sheet;
  }

  QWidget host;
  QPointer<QUpgradeVC> sheet;
};

// Which buttons a sheet offers: a forced update hides "Cancel"; "Exit" only for a forced
// update of the program itself.
struct ButtonsCase {
  bool isApp;
  bool force;
  bool cancel;
  bool exit;
};
class SheetButtonsTest : public SheetTest, public testing::WithParamInterface<ButtonsCase> {};

TEST_P(SheetButtonsTest, ForcedUpdatesHideCancelAndOnlyTheProgramOffersExit) {
  const ButtonsCase c = GetParam();
  open(info(c.force), c.isApp);
  EXPECT_EQ(sheet->titleLabel()->text(), QStringLiteral("PICO EDGE V2.0.0"));
  EXPECT_EQ(sheet->cancelBtn()->isVisible(), c.cancel);
  EXPECT_EQ(sheet->exitBtn()->isVisible(), c.exit);
  EXPECT_TRUE(sheet->upgradeBtn()->isVisible());
  EXPECT_FALSE(sheet->progressView()->isVisible());
}

INSTANTIATE_TEST_SUITE_P(Cases, SheetButtonsTest,
                         testing::Values(ButtonsCase{false, false, true, false},
                                         ButtonsCase{false, true, false, false},
                                         ButtonsCase{true, false, true, false},
                                         ButtonsCase{true, true, false, true}));

// Progress shows size × fraction of the size text's number, and a bar capped at 248.
struct ProgressCase {
  QString packageSize;
  int percent;
  QString text;
  int barWidth;
};
class SheetProgressTest : public SheetTest, public testing::WithParamInterface<ProgressCase> {};

TEST_P(SheetProgressTest, FormatsTheDownloadedPartOfThePackageSize) {
  const ProgressCase c = GetParam();
  open(info(false, QStringLiteral("https://example.com/p"), c.packageSize), false);
  sheet->setProgress(c.percent);
  EXPECT_EQ(sheet->progressLabel()->text(), c.text);
  EXPECT_EQ(sheet->progressBar()->width(), c.barWidth);
  EXPECT_FALSE(sheet->upgradeBtn()->isVisible());
  EXPECT_TRUE(sheet->progressView()->isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SheetProgressTest,
    testing::Values(ProgressCase{QStringLiteral("10.0 MB"), 0, QStringLiteral("0.0/10.0 MB"), 0},
                    ProgressCase{QStringLiteral("10.0 MB"), 50, QStringLiteral("5.0/10.0 MB"), 124},
                    ProgressCase{QStringLiteral("10.0 MB"), 150, QStringLiteral("15.0/10.0 MB"), 248},
                    ProgressCase{QStringLiteral("big MB"), 50, QStringLiteral("0.0/big MB"), 124},
                    ProgressCase{QStringLiteral("MB"), 100, QStringLiteral("0.0/MB"), 248}));

// The program's own update opens the download address in the browser, web addresses only;
// the sheet stays open when the update is forced.
struct AppLinkCase {
  QString url;
  bool force;
  bool opened;
  bool closes;
};
class AppLinkTest : public SheetTest, public testing::WithParamInterface<AppLinkCase> {};

TEST_P(AppLinkTest, OpensOnlyWebAddresses) {
  const AppLinkCase c = GetParam();
  std::vector<QUrl> opened;
  QBrowserLink::setOpener([&](const QUrl& url) {
    opened.push_back(url);
    return true;
  });
  open(info(c.force, c.url), true);
  sheet->upgradeBtn()->click();
  EXPECT_EQ(opened.size(), c.opened ? 1U : 0U);
  EXPECT_EQ(sheet->isVisible(), !c.closes);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AppLinkTest,
    testing::Values(AppLinkCase{QStringLiteral("https://example.com/dl"), false, true, true},
                    AppLinkCase{QStringLiteral("http://example.com/dl"), true, true, false},
                    AppLinkCase{QStringLiteral("file:///etc/passwd"), false, false, false},
                    AppLinkCase{QStringLiteral("javascript:alert(1)"), false, false, false},
                    AppLinkCase{QStringLiteral("not an address"), false, false, false}));

// A download that fails offers "Try again" always and "Try again later" unless forced; the
// latter hands the failure to the caller and closes the sheet.
class DownloadFailureTest : public SheetTest, public testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    local.service.addPackage(QStringLiteral("/fw.bin"), QByteArray(4096, 'x'));
    local.service.setFault(QStringLiteral("/fw.bin"), sim::UpdateService::Fault::DropMidway);
  }
  test::LocalUpdateService local;
};

TEST_P(DownloadFailureTest, OffersTryAgainAndLaterOnlyWhenNotForced) {
  const bool force = GetParam();
  std::optional<RNetResponse> handed;
  open(info(force, local.url(QStringLiteral("/fw.bin"))), false);
  sheet->setCompletedBlock([&](const RNetResponse& response) { handed = response; });
  sheet->upgradeBtn()->click();
  ASSERT_TRUE(waitUntil([&] { return sheet->alert() != nullptr; }));
  EXPECT_EQ(sheet->alert()->alertMessage(), QStringLiteral("Downloading failed. Please try again."));
  const QStringList expected = force ? QStringList{QStringLiteral("Try again")}
                                     : QStringList{QStringLiteral("Try again later"),
                                                   QStringLiteral("Try again")};
  ASSERT_EQ(test::actionTitles(sheet->alert()), expected);
  EXPECT_FALSE(handed.has_value());
  if (!force) {
    sheet->alert()->actions().front()->button->click();
    ASSERT_TRUE(handed.has_value());
    EXPECT_NE(handed->code, 0);
    EXPECT_FALSE(sheet->isVisible());
  }
}

INSTANTIATE_TEST_SUITE_P(ForcedOrNot, DownloadFailureTest, testing::Bool());

// Texts of the service are shown as they stand, never read as markup.
TEST_F(SheetTest, ShowsTheServicesTextsAsTheyStand) {
  RVersionUpgradeInfo value = info(false, QStringLiteral("https://example.com/p"),
                                   QStringLiteral("<b>9</b> MB"));
  value.version = QStringLiteral("<img src=x>2.0");
  open(value, false);
  for (QLabel* label : {sheet->titleLabel(), sheet->progressLabel()}) {
    EXPECT_TRUE(Qt::mightBeRichText(label->text()));
    EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
  }
}

// Long release notes scroll inside a sheet that stays within its window, so that even a
// forced update can be taken.
TEST_F(SheetTest, LongNotesScrollInsideASheetThatFitsTheWindow) {
  std::vector<QUrl> opened;
  QBrowserLink::setOpener([&](const QUrl& url) {
    opened.push_back(url);
    return true;
  });
  RVersionUpgradeInfo value = info(true);
  QStringList lines;
  for (int line = 1; line <= 80; ++line) {
    lines << QStringLiteral("Line %1 of the release notes").arg(line);
  }
  value.details = lines.join(QLatin1Char('\n'));
  open(value, true);
  const QRect window(host.mapToGlobal(QPoint(0, 0)), host.size());
  EXPECT_TRUE(window.contains(sheet->frameGeometry())) << sheet->height();
  QPushButton* upgrade = sheet->upgradeBtn();
  EXPECT_TRUE(window.contains(QRect(upgrade->mapToGlobal(QPoint(0, 0)), upgrade->size())));
  auto* notes = sheet->findChild<QScrollArea*>();
  ASSERT_NE(notes, nullptr);
  EXPECT_GT(notes->verticalScrollBar()->maximum(), 0);
  host.resize(800, 400);
  EXPECT_TRUE(QRect(host.mapToGlobal(QPoint(0, 0)), host.size()).contains(sheet->frameGeometry()));
  QTest::mouseClick(upgrade, Qt::LeftButton);
  EXPECT_EQ(opened.size(), 1U);
}

TEST_F(SheetTest, ExitAsksAndConfirmEndsTheProgram) {
  int terminated = 0;
  open(info(true), true);
  sheet->setTerminator([&] { ++terminated; });
  sheet->exitBtn()->click();
  ASSERT_NE(sheet->alert(), nullptr);
  EXPECT_EQ(test::actionTitles(sheet->alert()),
            (QStringList{QStringLiteral("Cancel"), QStringLiteral("Confirm")}));
  sheet->alert()->actions().back()->button->click();
  EXPECT_EQ(terminated, 1);
  EXPECT_FALSE(sheet->isVisible());
}

TEST(UpgradeLoadingViewTest, CyclesItsFourteenFramesWhileShown) {
  for (int frame = 0; frame < QUpgradeLoadingView::frameCount; ++frame) {
    EXPECT_FALSE(picture(QStringLiteral("upgrade_%1").arg(frame)).isNull()) << frame;
  }
  EXPECT_TRUE(picture(QStringLiteral("upgrade_14")).isNull());
  QUpgradeLoadingView view;
  view.startLoading();
  EXPECT_TRUE(waitUntil([&] { return view.currentFrame() == QUpgradeLoadingView::frameCount - 1; }));
  EXPECT_TRUE(waitUntil([&] { return view.currentFrame() == 0; }));
  view.stopLoading();
  EXPECT_FALSE(view.isLoading());
}

}  // namespace
}  // namespace vexhal
