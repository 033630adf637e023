#include "section/camera_list/QCameraListVC.h"

#include <QHeaderView>
#include <QMetaObject>
#include <QVBoxLayout>

#include <ostrane/ostrane.h>

#include <cstdint>

#include "common/QAlertAction.h"
#include "common/QAlertController.h"
#include "common/QEmptyStateView.h"
#include "common/QNavigationController.h"
#include "common/UiStyle.h"
#include "section/QHidDelegateLink.h"
#include "section/camera_control/QCameraControlVC.h"
#include "section/camera_info/QCameraInfoVC.h"
#include "platform/QCameraAccess.h"
#include "section/camera_list/QCameraAccessHelp.h"
#include "section/camera_list/QCameraCellView.h"
#include "section/camera_list/QCameraFooterCellView.h"
#include "section/camera_list/QCameraSupportedVC.h"

namespace vexhal {

namespace {

std::string describe(const USBDevice& device) {
  return device.name() + ", " + std::to_string(device.locationID());
}

}  // namespace

QCameraListVC::QCameraListVC(Platform& platform, QSettingsKeeper& keeper, USBHidManager& manager,
                             QDataBase dataBase, QWidget* parent)
    : QViewController("QCameraListVC", parent),
      platform_(platform),
      manager_(manager),
      dataBase_(std::move(dataBase)),
      keeper_(keeper),
      tableView_(new QTableWidget(0, 1, this)),
      emptyView_(new QEmptyStateView(QStringLiteral("empty_noCamera"),
                                     QStringLiteral("Please Connect Device"), this)),
      delegateLink_(std::make_shared<QHidDelegateLink<QCameraListVC>>(this)),
      tapClock_([] { return std::chrono::steady_clock::now(); }),
      settingAction_([this] {
        QCameraAccessHelp::show(this, permissionProblem_, QCameraAccess::system(platform_));
      }) {
  setAutoFillBackground(true);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, Qt::white);
  setPalette(palette);

  connect(&keeper_, &QSettingsKeeper::channelMissing, this, [this](quint32 location) {
    std::string camera = std::to_string(location);
    for (const std::shared_ptr<USBDevice>& device : cameraArr_) {
      if (device->controlLocation() == location) camera = describe(*device);
    }
    QLog("CameraList, applyStoredUVCParams(_:), no video-control channel, giving up, " + camera);
  });

  tableView_->setObjectName(QStringLiteral("tableView"));
  tableView_->horizontalHeader()->hide();
  tableView_->verticalHeader()->hide();
  tableView_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  tableView_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  tableView_->setSelectionMode(QAbstractItemView::NoSelection);
  tableView_->setFocusPolicy(Qt::NoFocus);
  tableView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tableView_->setShowGrid(false);
  tableView_->setFrameShape(QFrame::NoFrame);
  tableView_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  tableView_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  tableView_->setStyleSheet(QStringLiteral("QTableWidget { background: white; }"));

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 16, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(tableView_);
  layout->addWidget(emptyView_);

  manager_.addDelegate(delegateLink_);
  // Cameras present at start-up get their stored image settings again.
  refreshCameraList(true);
}

QCameraListVC::~QCameraListVC() { manager_.removeDelegate(delegateLink_); }

QCameraCellView* QCameraListVC::cellAt(int row) const {
  return qobject_cast<QCameraCellView*>(tableView_->cellWidget(row, 0));
}

void QCameraListVC::refreshCameraList(bool isNeedAsyncUVC) {
  cameraArr_ = manager_.devices();
  QLog("CameraList, refreshCameraList(isNeedAsyncUVC:), " + std::to_string(cameraArr_.size()));
  reloadData();

  for (std::size_t i = 0; i < cameraArr_.size(); ++i) {
    const std::shared_ptr<USBDevice>& camera = cameraArr_[i];
    const int row = static_cast<int>(i);
    QLog("CameraList, getState");
    camera->getState([self = QPointer(this), row](std::int64_t code, std::int64_t state) {
      QLog("CameraList, getState, " + std::to_string(code) + ", " + std::to_string(state));
      if (self && code == 0) {
        self->reloadRow(row);
      }
    });
    if (isNeedAsyncUVC) {
      camera->getSerialNumber(
          [self = QPointer(this), weakCamera = std::weak_ptr<USBDevice>(camera)](
              std::int64_t /*code*/, const std::optional<std::string>& serialNumber) {
            if (self) {
              self->applyStoredUVCParams(weakCamera.lock(), serialNumber);
            }
          });
    }
  }

  tableView_->setVisible(!cameraArr_.empty());
  emptyView_->setVisible(cameraArr_.empty());
}

void QCameraListVC::reloadData() {
  tableView_->clearContents();
  if (cameraArr_.empty()) {
    tableView_->setRowCount(0);
    return;
  }
  const int cameras = static_cast<int>(cameraArr_.size());
  tableView_->setRowCount(cameras + 1);
  for (int row = 0; row < cameras; ++row) {
    auto* cell = new QCameraCellView;
    QTapThrottle::connect(
        cell->cameraBtn(), tapThrottle,
        [self = QPointer(this), weakCamera = std::weak_ptr<USBDevice>(cameraArr_[row])] {
          if (std::shared_ptr<USBDevice> camera = weakCamera.lock(); camera && self) {
            self->cameraBtnAction(camera);
          }
        },
        [this] { return tapClock_(); });
    tableView_->setCellWidget(row, 0, cell);
    tableView_->setRowHeight(row, cameraRowHeight);
    reloadRow(row);
  }
  auto* footer = new QCameraFooterCellView;
  connect(footer->supportBtn(), &QPushButton::clicked, this, [this] { supportBtnAction(); });
  tableView_->setCellWidget(cameras, 0, footer);
  tableView_->setRowHeight(cameras, footerRowHeight);
}

void QCameraListVC::reloadRow(int row) {
  QCameraCellView* cell = cellAt(row);
  if (cell == nullptr || row >= static_cast<int>(cameraArr_.size())) {
    return;
  }
  const USBDevice& camera = *cameraArr_[static_cast<std::size_t>(row)];
  if (camera.openError() != 0) {
    cell->configureNoAccess(camera.name());
  } else {
    cell->configure(camera.name(), camera.state());
  }
}

void QCameraListVC::applyStoredUVCParams(const std::shared_ptr<USBDevice>& device,
                                         const std::optional<std::string>& serialNumber) {
  if (const std::optional<std::uint32_t> location =
          device ? device->controlLocation() : std::nullopt) {
    keeper_.cameraArrived(*location, serialNumber);
  }
}

void QCameraListVC::usbHidManagerDidAttachDevice(const std::shared_ptr<USBDevice>& device) {
  QLog("CameraList, usbHidManager(_:didAttach:), " + describe(*device));
  refreshCameraList(false);
  device->getSerialNumber(
      [self = QPointer(this), weakCamera = std::weak_ptr<USBDevice>(device)](
          std::int64_t /*code*/, const std::optional<std::string>& serialNumber) {
        if (self) {
          self->applyStoredUVCParams(weakCamera.lock(), serialNumber);
        }
      });
}

void QCameraListVC::usbHidManagerDidRemoveDevice(const std::shared_ptr<USBDevice>& device) {
  QLog("CameraList, usbHidManager(_:didRemove:), " + describe(*device));
  if (const std::optional<std::uint32_t> location = device->controlLocation()) {
    keeper_.cameraRemoved(*location);
  }
  refreshCameraList(false);
}

void QCameraListVC::cameraBtnAction(const std::shared_ptr<USBDevice>& device) {
  // A camera that could not be opened goes through the access check, which explains why.
  if (device->state() == 1 || device->openError() != 0) {
    pushCameraControlVC(device);
  } else {
    pushCameraInfoVC(device);
  }
}

void QCameraListVC::pushCameraControlVC(const std::shared_ptr<USBDevice>& device) {
  std::optional<QCameraAccessProblem> problem = QCameraAccess::check(*device, platform_);
  QLog("CameraList, pushCameraControlVC(_:)");
  // The answer is handled on a later turn of the main loop, as an answer from the system is.
  QMetaObject::invokeMethod(
      this,
      [this, problem = std::move(problem), weakCamera = std::weak_ptr<USBDevice>(device)] {
        if (problem) {
          showPermissionAlert(*problem);
        } else if (std::shared_ptr<USBDevice> camera = weakCamera.lock()) {
          showCameraControlVC(camera);
        }
      },
      Qt::QueuedConnection);
}

void QCameraListVC::showCameraControlVC(const std::shared_ptr<USBDevice>& device) {
  if (QNavigationController* navigation = navigationController()) {
    navigation->push(
        new QCameraControlVC(device, platform_, manager_, dataBase_, nullptr, &keeper_), false);
  }
}

void QCameraListVC::pushCameraInfoVC(const std::shared_ptr<USBDevice>& device) {
  QLog("CameraList, pushCameraInfoVC(_:)");
  if (QNavigationController* nav = navigationController()) {
    nav->push(new QCameraInfoVC(device, platform_, manager_), false);
  }
}

void QCameraListVC::showPermissionAlert(const QCameraAccessProblem& problem) {
  if (permissionAlert_) {
    return;
  }
  QLog("CameraList, showPermissionAlert, " + problem.path.toStdString() + ", " +
       std::to_string(problem.error));
  permissionProblem_ = problem;
  // The message names the node that was refused, why, and the fix on this system.
  auto* alert =
      new QAlertController(QStringLiteral("Unable to use the camera"),
                           QCameraAccess::explain(problem, QCameraAccess::system(platform_)));
  const QFont font = ui::systemFont(14, QFont::Medium);
  alert->addAction(std::make_shared<QAlertAction>(QStringLiteral("Setting"),
                                                  QAlertAction::QAlertActionStyle::blueFilled, font,
                                                  [self = QPointer(this)](QAlertAction&) {
                                                    if (self && self->settingAction_) {
                                                      self->settingAction_();
                                                    }
                                                  }),
                   true);
  alert->addAction(
      std::make_shared<QAlertAction>(QStringLiteral("Cancel"),
                                     QAlertAction::QAlertActionStyle::grayFilled, font, nullptr),
      true);
  permissionAlert_ = alert;
  alert->present(this);
}

void QCameraListVC::supportBtnAction() {
  QLog("CameraList, supportBtnAction(_:)");
  auto* sheet = new QCameraSupportedVC;
  sheet->presentOver(this);
}

}  // namespace vexhal
