#include "app/MainWindow.h"

#include <QEvent>
#include <QToolBar>

#include "app/X11LaunchActivation.h"
#include "common/Pictures.h"
#include "video/preview/VideoSurface.h"

namespace vexhal {
namespace {

constexpr QSize kInitialSize(900, 640);
constexpr QSize kMinimumSize(760, 560);

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), toolBar_(new QToolBar(this)) {
  setWindowTitle(QStringLiteral("VexhalTools"));
  setWindowIcon(pictureIcon(QStringLiteral("app_icon")));
  // Title, minimise and close, but no maximise button, where the window manager honours it.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setAutoFillBackground(true);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, Qt::white);
  setPalette(palette);
  setContextMenuPolicy(Qt::NoContextMenu);

  toolBar_->setObjectName(QStringLiteral("SDMainWindowToolBar"));
  toolBar_->setMovable(false);
  toolBar_->setFloatable(false);
  toolBar_->toggleViewAction()->setVisible(false);
  // A white bar without the line that separates a toolbar from the content.
  toolBar_->setStyleSheet(QStringLiteral("QToolBar { background: white; border: none; }"));
  addToolBar(Qt::TopToolBarArea, toolBar_);

  auto* contentView = new QWidget(this);
  contentView->setObjectName(QStringLiteral("contentView"));
  contentView->installEventFilter(this);
  setCentralWidget(contentView);
  resize(kInitialSize);
  setMinimumSize(kMinimumSize);
  video::prepareWindowForVideoSurfaces(this);
}

void MainWindow::setContentViewController(QWidget* screen) {
  if (screen == content_) {
    return;
  }
  QPointer<QWidget> old = content_;
  content_ = screen;
  if (screen != nullptr) {
    screen->setParent(contentView());
    screen->setGeometry(contentView()->rect());
    screen->show();
    // Overlays already on the window stay above the new screen.
    screen->lower();
  }
  if (old) {
    old->hide();
    old->deleteLater();
  }
}

void MainWindow::makeKeyAndOrderFront(const QString& activationToken, const QString& startupId) {
  if (isMinimized()) {
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  }
  show();
  raise();
  // Qt's Wayland plugin takes the token from the environment when the window asks to be
  // activated, and clears it there.
  if (!activationToken.isEmpty()) {
    qputenv("XDG_ACTIVATION_TOKEN", activationToken.toUtf8());
  }
  if (startupId.isEmpty() || !X11LaunchActivation::activate(this, startupId)) {
    activateWindow();
  }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == contentView() && event->type() == QEvent::Resize && content_) {
    content_->setGeometry(contentView()->rect());
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace vexhal
