#pragma once

#include <QDialog>
#include <QPointer>

#include <functional>

#include "net/RNetResponse.h"
#include "common/QAlertController.h"
#include "net/RVersionUpgradeInfo.h"
#include "platform/Platform.h"

class QLabel;
class QPushButton;
class QScrollArea;

namespace vexhal {

// The update sheet, shown window-modal when the service offers a newer version. For firmware
// (`isApp` false) it downloads the package to firmwarePackagePath() with visible progress and
// hands the outcome to `completedBlock`; for the program itself it opens the download address
// in the browser. A forced update hides "Cancel" (and, for the program, shows "Exit").
// Main thread only; download progress and completion that arrive after the sheet has gone are
// ignored.
class QUpgradeVC : public QDialog {
  Q_OBJECT

 public:
  using CompletedBlock = std::function<void(const RNetResponse& response)>;

  // The program's download address opens in `platform`'s browser.
  QUpgradeVC(const Platform& platform, QString versionTitle, RVersionUpgradeInfo versionInfo,
             bool isApp = false, QWidget* parent = nullptr);

  void setCompletedBlock(CompletedBlock block) { completedBlock_ = std::move(block); }
  // What "Confirm" in the exit dialog ends; the application unless a test says otherwise.
  void setTerminator(std::function<void()> terminator) { terminator_ = std::move(terminator); }

  // Shows the sheet inside the window of `askingScreen`, centred, over its dimmed and blocked
  // content (a QSheetOverlay); without an asking screen, as a window of its own.
  void present(QWidget* askingScreen);
  // Closes the sheet without calling `completedBlock`; it is deleted afterwards.
  void closeSheet();

  void upgradeBtnAction();
  void cancelBtnAction();
  void exitBtnAction();
  void setProgress(int percent);

  const RVersionUpgradeInfo& versionInfo() const { return versionInfo_; }
  bool isApp() const { return isApp_; }
  QLabel* titleLabel() const { return titleLabel_; }
  QLabel* detailLabel() const { return detailLabel_; }
  QLabel* progressLabel() const { return progressLabel_; }
  QWidget* progressView() const { return progressView_; }
  QWidget* progressBar() const { return progressBar_; }
  QPushButton* upgradeBtn() const { return upgradeBtn_; }
  QPushButton* cancelBtn() const { return cancelBtn_; }
  QPushButton* exitBtn() const { return exitBtn_; }
  // The download-failure or exit dialog while it is shown.
  QAlertController* alert() const { return alert_; }

  static constexpr int sheetWidth = 360;
  static constexpr int barWidth = 248;
  static constexpr int barHeight = 6;
  // Least space between the sheet and its window's top and bottom edges.
  static constexpr int windowMargin = 24;

 protected:
  void reject() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void fitToWindow();
  void downloadCompleted(const RNetResponse& response);
  void showDownloadFailure(const RNetResponse& response);

  const Platform& platform_;
  RVersionUpgradeInfo versionInfo_;
  QString versionTitle_;
  bool isApp_;
  CompletedBlock completedBlock_;
  std::function<void()> terminator_;
  QLabel* titleLabel_;
  QScrollArea* detailScroll_;
  QLabel* detailLabel_;
  QWidget* progressView_;
  QWidget* progressTrack_;
  QWidget* progressBar_;
  QLabel* progressLabel_;
  QPushButton* upgradeBtn_;
  QPushButton* cancelBtn_;
  QPushButton* exitBtn_;
  QPointer<QAlertController> alert_;
  bool closed_ = false;
};

}  // namespace vexhal
