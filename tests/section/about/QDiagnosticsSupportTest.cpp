// The diagnostics export as a person reaches it: the root menu's entry and the about screen's
// buttons, with the save dialog answered through its seam and the export made on the virtual
// camera.
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>

#include "../ScreenTestSupport.h"
#include "common/Menu.h"
#include "common/QNavigationController.h"
#include "diagnostics/DiagnosticsExport.h"
#include "section/about/QAboutVC.h"
#include "section/about/QDiagnosticsSupport.h"
#include "section/camera_control/QSettingsKeeper.h"
#include "section/root/QRootVC.h"

namespace vexhal {
namespace {

using test::waitUntil;

struct DiagnosticsSupportTest : testing::Test, test::Cameras {
  DiagnosticsSupportTest() {
    platform.setScheduler(test::immediateScheduler());
    support.setFileQuestion([this](QWidget*, const diagnostics::ExportOptions& proposal,
                                   const QDiagnosticsSupport::Answer& answer) {
      proposals.push_back(proposal);
      answer(reply);
    });
  }
  ~DiagnosticsSupportTest() override { test::processDeferredDeletes(); }

  QTemporaryDir folder;
  diagnostics::DiagnosticsExport exporter{manager, platform, nullptr};
  QDiagnosticsSupport support{exporter, platform, folder.filePath(QStringLiteral("QLogs"))};
  // What the save dialog is answered, and what it was asked.
  std::optional<diagnostics::ExportOptions> reply;
  std::vector<diagnostics::ExportOptions> proposals;
};

// The menu's entry, chosen at its place in the open menu, proposes the dated zip in the
// documents folder; the zip chosen is written while the busy overlay shows, and a toast says
// where.
TEST_F(DiagnosticsSupportTest, TheMenuEntryExportsToTheChosenZip) {
  QSettingsKeeper keeper(platform.uvcTransportFactory(), platform.scheduler());
  QRootVC root(platform, keeper, &support);
  root.resize(900, 600);
  root.show();
  const QString target = folder.filePath(QStringLiteral("support.zip"));
  reply = diagnostics::ExportOptions{target, true};
  QTest::mouseClick(root.moreBtn(), Qt::LeftButton);
  QMenu* menu = root.myMenu()->popup();
  ASSERT_NE(menu, nullptr);
  QAction* entry = menu->actions().at(1);
  EXPECT_EQ(entry->text(), QStringLiteral("Export Diagnostics…"));
  QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(entry).center());
  ASSERT_TRUE(waitUntil([&] { return !proposals.empty(); }));
  EXPECT_EQ(QFileInfo(proposals[0].target).fileName(),
            diagnostics::DiagnosticsExport::defaultFileName(QDate::currentDate()));
  EXPECT_NE(QHudOverlay::busyOverlay(&root), nullptr);
  ASSERT_TRUE(waitUntil([&] { return test::toastText(&root).has_value(); }));
  EXPECT_EQ(*test::toastText(&root), QStringLiteral("Diagnostics saved to ") + target);
  EXPECT_GT(QFile(target).size(), 0);
  EXPECT_EQ(QHudOverlay::busyOverlay(&root), nullptr);
}

// About shows the log folder and opens it through the desktop; without a file manager a toast
// says so. Its export button asks the same question; a target that cannot be written ends in
// a dialog with the reason.
TEST_F(DiagnosticsSupportTest, AboutOpensTheLogFolderAndReportsAFailedExport) {
  QNavigationController nav(new QViewController("root"));
  nav.resize(900, 600);
  nav.show();
  auto* about = new QAboutVC(platform, manager, &support);
  nav.push(about, false);
  const QString logs = folder.filePath(QStringLiteral("QLogs"));
  EXPECT_TRUE(about->logFolderLab()->text().contains(QDir::toNativeSeparators(logs)));
  std::vector<QString> opened;
  bool fileManager = true;
  platform.setFolderOpener([&](const QString& path) {
    opened.push_back(path);
    return fileManager;
  });
  QTest::mouseClick(about->logFolderBtn(), Qt::LeftButton);
  fileManager = false;
  QTest::mouseClick(about->logFolderBtn(), Qt::LeftButton);
  EXPECT_EQ(opened, (std::vector<QString>{logs, logs}));
  EXPECT_TRUE(test::toastText(&nav).value_or(QString()).contains(logs));

  // A file stands where the zip's folder should be.
  ASSERT_TRUE(QFile(folder.filePath(QStringLiteral("blocker"))).open(QIODevice::WriteOnly));
  reply = diagnostics::ExportOptions{folder.filePath(QStringLiteral("blocker/support.zip")), false};
  QTest::mouseClick(about->exportBtn(), Qt::LeftButton);
  ASSERT_TRUE(waitUntil([] { return test::shown<QAlertController>() != nullptr; }));
  QAlertController* alert = test::shown<QAlertController>();
  EXPECT_EQ(alert->alertTitle(), QStringLiteral("Diagnostics not exported"));
  EXPECT_FALSE(alert->alertMessage().value_or(QString()).isEmpty());
  test::choose(alert, QStringLiteral("OK"));
  EXPECT_EQ(QHudOverlay::busyOverlay(&nav), nullptr);
}

}  // namespace
}  // namespace vexhal
