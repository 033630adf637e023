#include "section/camera_info/QCameraInfoVC.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <ostrane/ostrane.h>

#include "common/QAlertAction.h"
#include "common/QAlertButton.h"
#include "common/QAlertController.h"
#include "common/QFillParent.h"
#include "common/QNavigationController.h"
#include "common/QScreenHeader.h"
#include "common/UiStyle.h"
#include "extension/QHudOverlay.h"
#include "net/RNetManager.h"
#include "section/QHidDelegateLink.h"
#include "section/camera_info/QUpgradeLoadingView.h"
#include "section/camera_info/QUpgradeVC.h"
#include "section/camera_info/UpgradeState.h"

namespace vexhal {

namespace {

using Style = QAlertAction::QAlertActionStyle;

const QString kUpdateFailed = QStringLiteral("Updating failed. Please try again.");
const QString kVersionUnknown = QStringLiteral(
    "The camera's firmware version could not be read, so the update was not installed. "
    "Reconnect the camera and check for updates again.");

std::string flag(bool value) { return value ? "true" : "false"; }

QLabel* valueLabel(QWidget* parent, const char* name) {
  auto* label = new QLabel(QStringLiteral("--"), parent);
  label->setObjectName(QLatin1String(name));
  label->setFont(ui::systemFont(14));
  label->setTextFormat(Qt::PlainText);  // the camera's texts, shown as they are
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return label;
}

}  // namespace

QCameraInfoVC::QCameraInfoVC(const std::shared_ptr<USBDevice>& device, Platform& platform,
                             USBHidManager& manager, QWidget* parent)
    : QViewController("QCameraInfoVC", parent),
      platform_(platform),
      manager_(manager),
      installation_(device, platform),
      delegateLink_(std::make_shared<QHidDelegateLink<QCameraInfoVC>>(this)),
      nameLabel_(valueLabel(this, "nameLabel")),
      serialLabel_(valueLabel(this, "serialLabel")),
      versionLabel_(valueLabel(this, "versionLabel")),
      checkVersionBtn_(new QAlertButton(QStringLiteral("Check for Updates"),
                                        QAlertAction::look(Style::blueFilled), std::nullopt,
                                        this)) {
  setAutoFillBackground(true);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, Qt::white);
  setPalette(palette);

  auto* form = new QFormLayout;
  form->setHorizontalSpacing(32);
  form->setVerticalSpacing(18);
  form->setLabelAlignment(Qt::AlignLeft);
  for (auto [caption, label] :
       {std::pair{"Device name", nameLabel_}, std::pair{"Serial number", serialLabel_},
        std::pair{"Firmware version", versionLabel_}}) {
    auto* captionLabel = new QLabel(QLatin1String(caption), this);
    captionLabel->setFont(ui::systemFont(14));
    captionLabel->setStyleSheet(QStringLiteral("color: #666666;"));
    form->addRow(captionLabel, label);
  }

  checkVersionBtn_->setObjectName(QStringLiteral("checkVersionBtn"));
  checkVersionBtn_->setFont(ui::systemFont(14, QFont::Medium));
  checkVersionBtn_->setFixedSize(180, 40);
  checkVersionBtn_->setCursor(Qt::PointingHandCursor);
  // Built without update checks, the program leaves firmware to the distribution's packages.
  checkVersionBtn_->setVisible(VEXHAL_UPDATE_CHECKS != 0);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 16, 24, 32);
  layout->setSpacing(0);
  layout->addWidget(new QScreenHeader(
      QStringLiteral("Device Info"), [this] { backBtnAction(); }, this));
  layout->addSpacing(40);
  auto* centred = new QHBoxLayout;
  centred->addStretch(1);
  centred->addLayout(form);
  centred->addStretch(1);
  layout->addLayout(centred);
  layout->addSpacing(48);
  layout->addWidget(checkVersionBtn_, 0, Qt::AlignHCenter);
  layout->addStretch(1);

  connect(checkVersionBtn_, &QPushButton::clicked, this, &QCameraInfoVC::checkVersionBtnAction);
  connect(&installation_, &FirmwareInstallation::serialNumberRead, serialLabel_, &QLabel::setText);
  connect(&installation_, &FirmwareInstallation::versionRead, versionLabel_, &QLabel::setText);
  connect(&installation_, &FirmwareInstallation::refusedForUnknownVersion, this,
          [this] { showToast(kVersionUnknown); });
  connect(&installation_, &FirmwareInstallation::transferStarted, this,
          &QCameraInfoVC::showLoadingView);
  connect(&installation_, &FirmwareInstallation::verifying, this,
          &QCameraInfoVC::removeLoadingView);
  connect(&installation_, &FirmwareInstallation::failed, this, &QCameraInfoVC::upgradeFailed);
  connect(&installation_, &FirmwareInstallation::completed, this,
          [this] { closeOnTop(QStringLiteral("Update Complete")); });
  connect(&installation_, &FirmwareInstallation::timedOut, this, [this] {
    removeLoadingView();
    closeOnTop(kUpdateFailed);
  });
  connect(&installation_, &FirmwareInstallation::cameraLeft, this, [this] {
    if (!isTopScreen()) {
      return;
    }
    if (updateVC_) {
      updateVC_->closeSheet();
    }
    if (failureAlert_) {
      failureAlert_->dismissController();
    }
    popToRoot();
  });

  manager_.addDelegate(delegateLink_);
  refreshInfo();
}

QCameraInfoVC::~QCameraInfoVC() {
  manager_.removeDelegate(delegateLink_);
  removeLoadingView();
  if (updateVC_) {
    updateVC_->closeSheet();
  }
}

void QCameraInfoVC::refreshInfo() {
  nameLabel_->setText(QString::fromStdString(device()->name()));
  installation_.readInfo();
}

void QCameraInfoVC::checkVersionBtnAction() {
  if (VEXHAL_UPDATE_CHECKS == 0) {
    return;
  }
  QLog("CameraInfo, needVersionUpgrade");
  busy_.show(this);
  installation_.rereadVersion([this] { needVersionUpgradeRequest(); });
}

void QCameraInfoVC::needVersionUpgradeRequest() {
  const QString model = QString::fromStdString(device()->modelName());
  const QString version = installation_.reportedVersion();
  RNetManager::share().needVersionUpgrade(
      model, version,
      [self = QPointer(this)](const RNetResponse& response,
                              const std::optional<RVersionUpgradeInfo>& answer) {
        if (!self) {
          return;
        }
        self->busy_.done();
        QLog("CameraInfo, needVersionUpgrade, " + std::to_string(response.code));
        if (!response.ok()) {
          self->showToast(response.message);
          return;
        }
        if (!answer) {
          return;
        }
        QLog("CameraInfo, needVersionUpgrade, " + flag(answer->needUpgrade) + ", " +
             flag(answer->forceStatus) + ", " + answer->version.toStdString() + ", " +
             answer->downLoadUrl.toStdString() + ")");
        self->versionInfo_ = answer;
        if (!answer->needUpgrade) {
          self->showToast(QStringLiteral("Software is up to date"));
          return;
        }
        if (self->updateVC_) {
          self->updateVC_->closeSheet();
        }
        auto* sheet = new QUpgradeVC(
            self->platform_, QString::fromStdString(self->device()->name()), *answer, false);
        sheet->setCompletedBlock([screen = self](const RNetResponse& result) {
          if (screen && result.ok()) {
            screen->showInstallHud();
          }
        });
        self->updateVC_ = sheet;
        sheet->present(self);
      });
}

void QCameraInfoVC::showInstallHud() { installation_.install(); }

void QCameraInfoVC::showLoadingView() {
  if (!loadingView_) {
    loadingView_ = new QUpgradeLoadingView;
  }
  // The whole window, toolbar included, is blocked and dimmed.
  loadingView_->setParent(window());
  QFillParent::attach(loadingView_);
  loadingView_->keepClearOf(checkVersionBtn_->isVisible() ? static_cast<QWidget*>(checkVersionBtn_)
                                                          : versionLabel_);
  loadingView_->show();
  loadingView_->raise();
  loadingView_->startLoading();
}

void QCameraInfoVC::removeLoadingView() {
  if (loadingView_) {
    loadingView_->stopLoading();
    loadingView_->hide();
    loadingView_->deleteLater();
    loadingView_ = nullptr;
  }
}

void QCameraInfoVC::usbHidManagerDidAttachDevice(const std::shared_ptr<USBDevice>& device) {
  if (isTopScreen()) {
    installation_.cameraAttached(device);
  }
}

void QCameraInfoVC::usbHidManagerDidRemoveDevice(const std::shared_ptr<USBDevice>& device) {
  installation_.cameraRemoved(device);
}

void QCameraInfoVC::upgradeFailed() {
  removeLoadingView();
  if (failureAlert_) {
    failureAlert_->dismissController();
  }
  auto* alert = new QAlertController(std::nullopt, kUpdateFailed);
  if (versionInfo_ && !versionInfo_->forceStatus) {
    alert->addAction(
        std::make_shared<QAlertAction>(QStringLiteral("Later"), Style::grayFilled, std::nullopt,
                                       [self = QPointer(this)](QAlertAction&) {
                                         if (self) {
                                           self->popToRoot();
                                         }
                                       }),
        true);
  }
  alert->addAction(
      std::make_shared<QAlertAction>(QStringLiteral("Retry"), Style::blueFilled, std::nullopt,
                                     [self = QPointer(this)](QAlertAction&) {
                                       if (self) {
                                         self->showInstallHud();
                                       }
                                     }),
      true);
  failureAlert_ = alert;
  alert->present(this);
}

void QCameraInfoVC::backBtnAction() {
  if (QNavigationController* nav = navigationController()) {
    nav->pop(false);
  }
}

bool QCameraInfoVC::isTopScreen() const {
  const QNavigationController* nav = navigationController();
  return nav != nullptr && nav->topViewController() == this;
}

void QCameraInfoVC::popToRoot() {
  if (QNavigationController* nav = navigationController()) {
    nav->popToRoot(false);
  }
}

// The toast shows on the window, which outlives this screen.
void QCameraInfoVC::closeOnTop(const QString& toast) {
  QWidget* top = window();
  popToRoot();
  QHudOverlay::showToast(top, toast, platform_.scheduler(), 2.0);
}

void QCameraInfoVC::showToast(const QString& text) {
  QHudOverlay::showToast(window(), text, platform_.scheduler(), 2.0);
}

}  // namespace vexhal
