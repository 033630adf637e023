#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>

#include "../camera_info/UpdateTestSupport.h"
#include "common/QNavigationController.h"
#include "section/about/QAboutVC.h"
#include "section/about/QServiceVC.h"

namespace vexhal {
namespace {

using test::waitUntil;

// The about screen on a stack over a root screen, one virtual camera plugged in, and the local
// update service as the endpoint.
struct AboutTest : testing::Test, test::TwoCameras {
  AboutTest() : nav(new QViewController("RootScreen")) {
    plug(first);
    nav.resize(900, 600);
    nav.show();
    about = new QAboutVC(platform, manager);
    nav.push(about, false);
  }
  ~AboutTest() override {
    if (QUpgradeVC* sheet = test::shown<QUpgradeVC>()) sheet->closeSheet();
    nav.popToRoot(false);
    test::processDeferredDeletes();
  }
  QServiceVC* typeAddress(const QString& address) {
    QTest::mouseClick(about->serviceSettingsBtn(), Qt::LeftButton);
    auto* service = qobject_cast<QServiceVC*>(nav.topViewController());
    QTest::keyClick(service->addressTF(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(service->addressTF(), address);
    return service;
  }
  bool onRoot() const { return nav.topViewController() == nav.rootViewController(); }

  test::LocalUpdateService local;
  QNavigationController nav;
  QPointer<QAboutVC> about;
};

// Clicked links open the store's pages; without a browser, a dialog shows the address and copies
// it.
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
  for (const auto& [name, address] :
       {std::pair{"termsBtn", terms}, std::pair{"privacyBtn", privacy}}) {
    click(name);
    QAlertController* alert = test::shown<QAlertController>();
    ASSERT_NE(alert, nullptr) << name;
    EXPECT_TRUE(alert->messageLabel()->text().contains(address));
    QGuiApplication::clipboard()->clear();
    QTest::mouseClick(alert->actions().first()->button, Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), address);
    test::processDeferredDeletes();
  }
}

// Removing a camera returns to the camera list, even while the service has not answered: the
// busy overlay goes with the screen.
TEST_F(AboutTest, RemovingACameraReturnsToTheListAndTakesTheBusyOverlayAway) {
  local.holdVersionChecks();
  QTest::mouseClick(about->checkVersionBtn(), Qt::LeftButton);
  ASSERT_NE(QHudOverlay::busyOverlay(&nav), nullptr);
  first.unplug();
  ASSERT_TRUE(waitUntil([&] { return onRoot(); }));
  test::processDeferredDeletes();
  EXPECT_EQ(QHudOverlay::busyOverlay(&nav), nullptr);
  EXPECT_TRUE(waitUntil(test::versionChecksAnswered));
}

TEST_F(AboutTest, AnswersOfTheProgramsCheckAreShown) {
  QTest::mouseClick(about->checkVersionBtn(),
                    Qt::LeftButton);  // the product is unknown yet: its message
  ASSERT_TRUE(waitUntil([&] { return test::toastText(&nav).has_value(); }));
  EXPECT_EQ(QHudOverlay::busyOverlay(&nav), nullptr);
  local.service.setAnswer(QStringLiteral("KVR"), QStringLiteral("*"),
                          sim::UpdateService::upToDate());
  QTest::mouseClick(about->checkVersionBtn(), Qt::LeftButton);
  ASSERT_TRUE(
      waitUntil([&] { return test::toastText(&nav) == QStringLiteral("Software is up to date"); }));
  local.service.setAnswer(
      QStringLiteral("KVR"), QStringLiteral("*"),
      sim::UpdateService::offer(QStringLiteral("9.9.9"), QStringLiteral("https://example.com/get"),
                                QStringLiteral("New"), "pkg", false));
  QTest::mouseClick(about->checkVersionBtn(), Qt::LeftButton);
  ASSERT_TRUE(waitUntil([] { return test::shown<QUpgradeVC>() != nullptr; }));
  EXPECT_TRUE(test::shown<QUpgradeVC>()->isApp());
  EXPECT_EQ(test::shown<QUpgradeVC>()->titleLabel()->text(), QStringLiteral("VexhalTools V9.9.9"));
  EXPECT_TRUE(
      test::logged("About, needVersionUpgrade, true, false, 9.9.9, https://example.com/get)"));
}

// The address is checked as it is typed: Save only for a usable one, and the reason otherwise.
struct AddressCase {
  const char* typed;
  const char* problem;  // part of the reason shown; nullptr: usable, nothing shown
};
class ServiceAddressTest : public AboutTest, public testing::WithParamInterface<AddressCase> {};

TEST_P(ServiceAddressTest, TypedAddressEnablesSaveOrSaysWhy) {
  QServiceVC* service = typeAddress(QString::fromUtf8(GetParam().typed));
  const bool usable = GetParam().problem == nullptr;
  EXPECT_EQ(service->saveBtn()->isEnabled(), usable);
  EXPECT_EQ(service->problemLab()->isVisible(), !usable);
  EXPECT_TRUE(usable ||
              service->problemLab()->text().contains(QString::fromUtf8(GetParam().problem)));
  const QString before = serviceHost;
  QTest::mouseClick(service->saveBtn(), Qt::LeftButton);
  EXPECT_EQ(nav.topViewController() == service, !usable);
  EXPECT_EQ(serviceHost == before, !usable);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ServiceAddressTest,
    testing::Values(AddressCase{"https://updates.example.com", nullptr},
                    AddressCase{"http://127.0.0.1:8080", nullptr},
                    AddressCase{"http://updates.example.com", "only for this computer"},
                    AddressCase{"updates.example.com", "must begin with https://"},
                    AddressCase{"https://updates.example.com:65536", "port"},
                    AddressCase{"https://updates example.com", "not a valid address"}));

// Saved addresses are split into host and port, and the next check goes there.
TEST_F(AboutTest, SavedAddressSendsTheNextCheckToTheNewEndpoint) {
  const QString localAddress = QStringLiteral("http://127.0.0.1:%1").arg(local.service.httpPort());
  const auto checksAt = [&](const QString& address) {
    QTest::mouseClick(typeAddress(address)->saveBtn(), Qt::LeftButton);
    EXPECT_TRUE(onRoot());
    about = new QAboutVC(platform, manager);
    nav.push(about, false);
    const auto before = local.service.requests().size();
    if (QHudOverlay::toast(&nav) != nullptr) QHudOverlay::toast(&nav)->hideAnimated();
    QTest::mouseClick(about->checkVersionBtn(), Qt::LeftButton);
    waitUntil([&] { return test::toastText(&nav).has_value(); });
    return local.service.requests().size() - before;
  };
  EXPECT_EQ(checksAt(QStringLiteral("http://127.0.0.1:1")), 0);  // nothing listens
  EXPECT_EQ(serviceHost, QStringLiteral("http://127.0.0.1"));
  EXPECT_EQ(servicePort, QStringLiteral("1"));
  EXPECT_EQ(checksAt(localAddress), 1);
  QTest::mouseClick(about->serviceSettingsBtn(), Qt::LeftButton);
  EXPECT_EQ(qobject_cast<QServiceVC*>(nav.topViewController())->addressTF()->text(), localAddress);
}

}  // namespace
}  // namespace vexhal
