#include "section/root/QRootVC.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <ostrane/ostrane.h>

#include "common/Menu.h"
#include "common/Pictures.h"
#include "common/QNavigationController.h"
#include "common/UiStyle.h"
#include "extension/QHudOverlay.h"
#include "platform/AutostartEntry.h"
#include "section/about/QAboutVC.h"
#include "section/about/QDiagnosticsSupport.h"
#include "section/camera_list/QCameraListVC.h"

namespace vexhal {

QRootVC::QRootVC(Platform& platform, QSettingsKeeper& keeper, QDiagnosticsSupport* diagnostics,
                 QWidget* parent)
    : QViewController("QRootVC", parent),
      headerView_(new QWidget(this)),
      moreBtn_(new QToolButton(headerView_)),
      myMenu_(new Menu(this)),
      demoBtn_(new QToolButton(headerView_)),
      demoMenu_(new Menu(this)),
      platform_(platform),
      diagnostics_(diagnostics),
      navVC_(nullptr),
      quitHandler_([] { QApplication::quit(); }) {
  setAutoFillBackground(true);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, Qt::white);
  setPalette(palette);

  headerView_->setObjectName(QStringLiteral("headerView"));
  headerView_->setFixedHeight(headerHeight);
  headerView_->setAttribute(Qt::WA_StyledBackground);
  headerView_->setStyleSheet(
      QStringLiteral("#headerView { background: white; border-bottom: 1px solid #eeeeee; }"));
  auto* header = new QHBoxLayout(headerView_);
  header->setContentsMargins(20, 0, 14, 0);
  header->setSpacing(10);
  auto* logo = new QLabel(headerView_);
  logo->setPixmap(picture(QStringLiteral("logo_small")));
  header->addWidget(logo);
  auto* title = new QLabel(QStringLiteral("VexhalTools"), headerView_);
  title->setFont(ui::systemFont(16, QFont::DemiBold));
  QPalette titlePalette = title->palette();
  titlePalette.setColor(QPalette::WindowText, ui::ink());
  title->setPalette(titlePalette);
  header->addWidget(title);
  header->addStretch();

  demoBtn_->setObjectName(QStringLiteral("demoBtn"));
  demoBtn_->setText(QStringLiteral("Demo"));
  demoBtn_->setFont(ui::systemFont(13, QFont::DemiBold));
  demoBtn_->setFixedHeight(36);
  demoBtn_->setCursor(Qt::PointingHandCursor);
  demoBtn_->setToolTip(QStringLiteral("Unplug the virtual camera or give it a fault"));
  ui::styleHeaderButton(demoBtn_);
  demoBtn_->hide();
  connect(demoBtn_, &QToolButton::clicked, this, &QRootVC::demoBtnAction);
  header->addWidget(demoBtn_);

  moreBtn_->setObjectName(QStringLiteral("moreBtn"));
  moreBtn_->setIcon(pictureIcon(QStringLiteral("icon_more")));
  moreBtn_->setIconSize(QSize(32, 32));
  moreBtn_->setFixedSize(36, 36);
  moreBtn_->setCursor(Qt::PointingHandCursor);
  moreBtn_->setToolTip(QStringLiteral("More"));
  ui::styleHeaderButton(moreBtn_);
  connect(moreBtn_, &QToolButton::clicked, this, [this] { moreBtnAction(moreBtn_); });
  header->addWidget(moreBtn_);

  navVC_ = new QNavigationController(new QCameraListVC(platform_, keeper), this);
  navVC_->setObjectName(QStringLiteral("navVC"));
  // A closed screen's memory (the preview's frames above all) goes back to the system once the
  // screen and its capture are gone.
  connect(navVC_, &QNavigationController::screenReleased, this, [this] {
    if (memoryReleaseDue_) {
      return;
    }
    memoryReleaseDue_ = true;
    platform_.scheduler()(this, kMemoryReleaseDelayMs, [this] {
      memoryReleaseDue_ = false;
      platform_.releaseFreedMemory();
    });
  });

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(headerView_);
  layout->addWidget(navVC_, 1);
}

void QRootVC::moreBtnAction(QWidget* sender) {
  QLog("Root, moreBtnAction(_:)");
  const bool atLogin = autostartEntry().isEnabled();
  QList<MenuItem> items{MenuItem{QUuid::createUuid(), QStringLiteral("About"),
                                 [this] { aboutMenuAction(); }, std::nullopt}};
  if (diagnostics_ != nullptr) {
    items.push_back(MenuItem{QUuid::createUuid(), QStringLiteral("Export Diagnostics…"),
                             [this] { exportDiagnosticsMenuAction(); }, std::nullopt});
  }
  items.push_back(MenuItem{QUuid::createUuid(), QStringLiteral("Start at login"),
                           [this, atLogin] { startAtLoginMenuAction(!atLogin); }, atLogin});
  items.push_back(MenuItem{QUuid::createUuid(), QStringLiteral("Quit"),
                           [this] { exitMenuAction(); }, std::nullopt});
  myMenu_->setItems(items);
  myMenu_->showAt(sender != nullptr ? sender : moreBtn_);
}

void QRootVC::setDemoCommands(std::function<QString(const QString&)> commands) {
  demoCommands_ = std::move(commands);
  demoBtn_->setVisible(static_cast<bool>(demoCommands_));
}

void QRootVC::demoBtnAction() {
  if (!demoCommands_) return;
  QLog("Root, demoBtnAction()");
  const bool attached =
      demoCommands_(QStringLiteral("status")).startsWith(QLatin1String("ok attached"));
  const auto item = [this](const QString& title, const QString& line,
                           std::optional<bool> checked = std::nullopt) {
    return MenuItem{QUuid::createUuid(), title, [this, line] { runDemoCommand(line); }, checked};
  };
  // A transfer of the demo's firmware takes a few hundred packets: this cuts it midway.
  demoMenu_->setItems(
      {item(QStringLiteral("Camera plugged in"),
            attached ? QStringLiteral("unplug") : QStringLiteral("plug"), attached),
       item(QStringLiteral("Slow answers (3 s)"), QStringLiteral("fault slow 3000")),
       item(QStringLiteral("Unplugged during firmware transfer"),
            QStringLiteral("fault detach-after 100")),
       item(QStringLiteral("Clear faults"), QStringLiteral("fault clear"))});
  demoMenu_->showAt(demoBtn_);
}

void QRootVC::runDemoCommand(const QString& line) {
  const QString said = demoCommands_ ? demoCommands_(line) : QString();
  QLog("Root, demo:", line.toStdString(), "->", said.toStdString());
  if (!said.startsWith(QLatin1String("ok"))) {
    QHudOverlay::showToast(window(), QStringLiteral("The virtual camera refused: ") + said,
                           platform_.scheduler(), 4.0);
  }
}

void QRootVC::aboutMenuAction() {
  QLog("Root, aboutMenuAction()");
  if (qobject_cast<QAboutVC*>(navVC_->topViewController()) == nullptr) {
    navVC_->push(new QAboutVC(platform_, USBHidManager::shared(), diagnostics_), false);
  }
}

void QRootVC::exportDiagnosticsMenuAction() {
  QLog("Root, exportDiagnosticsMenuAction()");
  if (diagnostics_ != nullptr) {
    diagnostics_->startExport(this);
  }
}

void QRootVC::startAtLoginMenuAction(bool on) {
  AutostartEntry entry = autostartEntry();
  QString error;
  if (entry.setEnabled(on, &error)) {
    QLog("Root, startAtLoginMenuAction(_:), " + std::string(on ? "on, " : "off, ") +
         entry.filePath().toStdString());
    return;
  }
  QLog("Root, startAtLoginMenuAction(_:), failed, " + error.toStdString());
  QHudOverlay::showToast(window(), QStringLiteral("Start at login could not be changed: ") + error,
                         platform_.scheduler(), 4.0);
}

AutostartEntry QRootVC::autostartEntry() const {
  return AutostartEntry(platform_.autostartDirectory(), QCoreApplication::applicationFilePath());
}

void QRootVC::exitMenuAction() {
  QLog("Root, exitMenuAction()");
  if (quitHandler_) {
    quitHandler_();
  }
}

void QRootVC::setQuitHandler(std::function<void()> handler) { quitHandler_ = std::move(handler); }

}  // namespace vexhal
