#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>

#include "../camera_info/UpdateTestSupport.h"
#include "section/about/QAboutVC.h"
#include "section/about/QServiceVC.h"

namespace vexhal {
namespace {

using test::waitUntil;

// The about screen on a stack over a root screen, with the local update service.
struct AboutTest : testing::Test, test::Cameras, test::ScreenStack {
  AboutTest() {
    about = new QAboutVC(platform, manager);
    nav.push(about, false);
  }

  QPointer<QAboutVC> about;
};

// Links open the store's pages; without a browser, a dialog shows the address and copies it.
TEST_F(AboutTest, TermsAndPrivacyOpenTheStoresPagesOrShowTheAddress) {
  std::vector<QString> opened;
  bool browser = true;
  platform.setBrowserOpener([&](const QUrl& url) {
    opened.push_back(url.toString());
    return browser;
  });
  const QString terms = QStringLiteral("https://store.vexhal.example/pages/terms-of-service");
  const QString privacy = QStringLiteral("https://store.vexhal.example/pages/privacy-policy");
  const auto click = [&](const char* name) {
    QTest::mouseClick(about->findChild<QPushButton*>(QLatin1String(name)), Qt::LeftButton);
  };
  click("termsBtn");
  click("privacyBtn");
  EXPECT_EQ(opened, (std::vector<QString>{terms, privacy}));
  EXPECT_EQ(test::shown<QAlertController>(), nullptr);
  browser = false;
  click("privacyBtn");
  QAlertController* alert = test::shown<QAlertController>();
  ASSERT_NE(alert, nullptr);
  EXPECT_TRUE(alert->messageLabel()->text().contains(privacy));
  QGuiApplication::clipboard()->clear();
  QTest::mouseClick(alert->actions().first()->button, Qt::LeftButton);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), privacy);
  test::processDeferredDeletes();
}

// The program's check shows the service's answers; removing a camera while the service has not
// answered returns to the camera list, and the busy overlay goes with the screen.
TEST_F(AboutTest, AnswersOfTheProgramsCheckAreShownAndARemovalLeavesWhileOneWaits) {
  // The product is unknown yet: its message, and the busy overlay goes.
  QTest::mouseClick(about->checkVersionBtn(), Qt::LeftButton);
  ASSERT_TRUE(waitUntil([&] { return test::toastText(&nav).has_value(); }));
  EXPECT_EQ(QHudOverlay::busyOverlay(&nav), nullptr);
  local.service.setAnswer(
      QStringLiteral("KVR"), QStringLiteral("*"),
      sim::UpdateService::offer(QStringLiteral("9.9.9"), QStringLiteral("https://example.com/get"),
                                QStringLiteral("New"), "pkg", false));
  QTest::mouseClick(about->checkVersionBtn(), Qt::LeftButton);
  ASSERT_TRUE(waitUntil([] { return test::shown<QUpgradeVC>() != nullptr; }));
  EXPECT_TRUE(test::shown<QUpgradeVC>()->isApp());
  EXPECT_EQ(test::shown<QUpgradeVC>()->titleLabel()->text(), QStringLiteral("VexhalTools V9.9.9"));
  test::shown<QUpgradeVC>()->closeSheet();

  unplugWhileACheckWaits(first, about->checkVersionBtn());
}

// A typed address is checked (the endpoint's tests have the rules): Save stays off for a refused
// one, with the reason; a saved one is split into host and port and takes the next check.
TEST_F(AboutTest, TheTypedAddressIsCheckedAndTheSavedOneTakesTheNextCheck) {
  QTest::mouseClick(about->serviceSettingsBtn(), Qt::LeftButton);
  auto* service = qobject_cast<QServiceVC*>(nav.topViewController());
  ASSERT_NE(service, nullptr);
  const auto type = [&](const QString& address) {
    QTest::keyClick(service->addressTF(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(service->addressTF(), address);
  };
  type(QStringLiteral("http://updates.example.com"));
  EXPECT_FALSE(service->saveBtn()->isEnabled());
  EXPECT_TRUE(service->problemLab()->text().contains(QStringLiteral("only for this computer")));
  type(QStringLiteral("http://127.0.0.1:1"));  // nothing listens there
  EXPECT_FALSE(service->problemLab()->isVisible());
  QTest::mouseClick(service->saveBtn(), Qt::LeftButton);
  ASSERT_TRUE(onRoot());
  EXPECT_EQ(serviceHost, QStringLiteral("http://127.0.0.1"));
  EXPECT_EQ(servicePort, QStringLiteral("1"));
  about = new QAboutVC(platform, manager);
  nav.push(about, false);
  QTest::mouseClick(about->checkVersionBtn(), Qt::LeftButton);
  ASSERT_TRUE(waitUntil([&] { return test::toastText(&nav).has_value(); }));
  EXPECT_TRUE(local.service.requests().isEmpty());
  QTest::mouseClick(about->serviceSettingsBtn(), Qt::LeftButton);
  EXPECT_EQ(qobject_cast<QServiceVC*>(nav.topViewController())->addressTF()->text(),
            QStringLiteral("http://127.0.0.1:1"));
}

}  // namespace
}  // namespace vexhal
