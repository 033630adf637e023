#include "section/about/QAboutVC.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <ostrane/ostrane.h>

#include "common/Pictures.h"
#include "common/QAlertAction.h"
#include "common/QAlertButton.h"
#include "common/QBrowserLink.h"
#include "common/QNavigationController.h"
#include "common/QScreenHeader.h"
#include "common/UiStyle.h"
#include "extension/QHudOverlay.h"
#include "net/RNetManager.h"
#include "section/QHidDelegateLink.h"
#include "section/about/QAppVersion.h"
#include "section/about/QDiagnosticsSupport.h"
#include "section/about/QServiceVC.h"
#include "section/camera_info/QUpgradeVC.h"

namespace vexhal {

namespace {

QPushButton* linkButton(const QString& title, const char* name, QWidget* parent) {
  auto* button = new QPushButton(title, parent);
  button->setObjectName(QLatin1String(name));
  button->setFlat(true);
  button->setCursor(Qt::PointingHandCursor);
  button->setFont(ui::systemFont(13));
  button->setStyleSheet(QStringLiteral("QPushButton { color: %1; border: none; padding: 2px; }"
                                       "QPushButton:hover { text-decoration: underline; }")
                            .arg(ui::blueText().name()));
  return button;
}

std::string flag(bool value) { return value ? "true" : "false"; }

}  // namespace

QAboutVC::QAboutVC(Platform& platform, USBHidManager& manager, QDiagnosticsSupport* diagnostics,
                   QWidget* parent)
    : QViewController("QAboutVC", parent),
      platform_(platform),
      manager_(manager),
      diagnostics_(diagnostics),
      delegateLink_(std::make_shared<QHidDelegateLink<QAboutVC>>(this)),
      logoImg_(new QLabel(this)),
      versionLab_(new QLabel(this)),
      checkVersionBtn_(new QAlertButton(
          QStringLiteral("Check for Updates"),
          QAlertAction::look(QAlertAction::QAlertActionStyle::blueFilled), std::nullopt, this)),
      serviceSettingsBtn_(
          linkButton(QStringLiteral("Service Settings"), "serviceSettingsBtn", this)),
      logFolderLab_(new QLabel(this)),
      logFolderBtn_(linkButton(QStringLiteral("Open Log Folder"), "logFolderBtn", this)),
      exportBtn_(linkButton(QStringLiteral("Export Diagnostics…"), "exportBtn", this)) {
  setAutoFillBackground(true);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, Qt::white);
  setPalette(palette);

  logoImg_->setObjectName(QStringLiteral("logoImg"));
  logoImg_->setPixmap(picture(QStringLiteral("app_icon_64")));
  logoImg_->setAlignment(Qt::AlignCenter);
  auto* name = new QLabel(QAppVersion::displayName(), this);
  name->setFont(ui::systemFont(18, QFont::DemiBold));
  name->setAlignment(Qt::AlignCenter);
  versionLab_->setObjectName(QStringLiteral("versionLab"));
  versionLab_->setFont(ui::systemFont(13));
  versionLab_->setStyleSheet(QStringLiteral("color: #666666;"));
  versionLab_->setAlignment(Qt::AlignCenter);
  versionLab_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  versionLab_->setText(versionText(QAppVersion::shortVersion(), QAppVersion::gitVersion()));

  checkVersionBtn_->setObjectName(QStringLiteral("checkVersionBtn"));
  checkVersionBtn_->setFont(ui::systemFont(14, QFont::Medium));
  checkVersionBtn_->setFixedSize(180, 40);
  checkVersionBtn_->setCursor(Qt::PointingHandCursor);
  auto* updatesNote = new QLabel(
      QStringLiteral("Updates of this program come from your distribution's packages."), this);
  updatesNote->setObjectName(QStringLiteral("updatesNote"));
  updatesNote->setFont(ui::systemFont(12));
  updatesNote->setStyleSheet(QStringLiteral("color: #666666;"));
  updatesNote->setAlignment(Qt::AlignCenter);
  updatesNote->setWordWrap(true);
  const bool updateChecks = VEXHAL_UPDATE_CHECKS != 0;
  checkVersionBtn_->setVisible(updateChecks);
  updatesNote->setVisible(!updateChecks);
  serviceSettingsBtn_->setVisible(updateChecks);

  // Support: where the logs are, and the one file that holds them with the report.
  const QString logs = diagnostics != nullptr ? diagnostics->logFolder() : QString();
  logFolderLab_->setObjectName(QStringLiteral("logFolderLab"));
  logFolderLab_->setFont(ui::systemFont(12));
  logFolderLab_->setStyleSheet(QStringLiteral("color: #666666;"));
  logFolderLab_->setAlignment(Qt::AlignCenter);
  logFolderLab_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  logFolderLab_->setText(QStringLiteral("Logs: ") + QDir::toNativeSeparators(logs));
  logFolderLab_->setVisible(!logs.isEmpty());
  logFolderBtn_->setVisible(!logs.isEmpty());
  exportBtn_->setVisible(diagnostics != nullptr);
  auto* support = new QHBoxLayout;
  support->addStretch(1);
  support->addWidget(logFolderBtn_);
  support->addSpacing(16);
  support->addWidget(exportBtn_);
  support->addStretch(1);

  QPushButton* terms = linkButton(QStringLiteral("Terms of Service"), "termsBtn", this);
  QPushButton* privacy = linkButton(QStringLiteral("Privacy Policy"), "privacyBtn", this);
  auto* links = new QHBoxLayout;
  links->addStretch(1);
  links->addWidget(terms);
  links->addSpacing(16);
  links->addWidget(privacy);
  links->addSpacing(16);
  links->addWidget(serviceSettingsBtn_);
  links->addStretch(1);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 16, 24, 32);
  layout->setSpacing(0);
  layout->addWidget(new QScreenHeader(
      QStringLiteral("About"), [this] { backBtnAction(); }, this));
  layout->addStretch(1);
  layout->addWidget(logoImg_);
  layout->addSpacing(12);
  layout->addWidget(name);
  layout->addSpacing(6);
  layout->addWidget(versionLab_);
  layout->addSpacing(32);
  layout->addWidget(checkVersionBtn_, 0, Qt::AlignHCenter);
  layout->addWidget(updatesNote);
  layout->addStretch(2);
  layout->addWidget(logFolderLab_);
  layout->addSpacing(4);
  layout->addLayout(support);
  layout->addSpacing(16);
  layout->addLayout(links);

  connect(checkVersionBtn_, &QPushButton::clicked, this, &QAboutVC::checkVersionBtnAction);
  connect(terms, &QPushButton::clicked, this, &QAboutVC::serviceBtnAction);
  connect(privacy, &QPushButton::clicked, this, &QAboutVC::privacyBtnAction);
  connect(serviceSettingsBtn_, &QPushButton::clicked, this, &QAboutVC::clicked);
  connect(logFolderBtn_, &QPushButton::clicked, this, &QAboutVC::logFolderBtnAction);
  if (diagnostics != nullptr) {
    connect(exportBtn_, &QPushButton::clicked, diagnostics,
            [this, diagnostics] { diagnostics->startExport(this); });
  }

  manager_.addDelegate(delegateLink_);
}

QAboutVC::~QAboutVC() { manager_.removeDelegate(delegateLink_); }

QString QAboutVC::versionText(const QString& shortVersion, const QString& gitVersion) {
  QString text = QStringLiteral("Version：") + shortVersion;
  if (!gitVersion.isEmpty()) {
    text += QStringLiteral("（") + gitVersion + QStringLiteral("）");
  }
  return text;
}

void QAboutVC::checkVersionBtnAction() {
  if (VEXHAL_UPDATE_CHECKS == 0) {
    return;
  }
  QLog("About, needVersionUpgrade");
  busy_.show(this);
  RNetManager::share().needVersionUpgrade(
      QStringLiteral("KVR"), QAppVersion::shortVersion(),
      [self = QPointer(this)](const RNetResponse& response,
                              const std::optional<RVersionUpgradeInfo>& answer) {
        if (!self) {
          return;
        }
        self->busy_.done();
        QLog("About, needVersionUpgrade, " + std::to_string(response.code));
        if (!response.ok()) {
          QHudOverlay::showToast(self->window(), response.message, self->platform_.scheduler(),
                                 2.0);
          return;
        }
        if (!answer) {
          return;
        }
        QLog("About, needVersionUpgrade, " + flag(answer->needUpgrade) + ", " +
             flag(answer->forceStatus) + ", " + answer->version.toStdString() + ", " +
             answer->downLoadUrl.toStdString() + ")");
        if (!answer->needUpgrade) {
          QHudOverlay::showToast(self->window(), QStringLiteral("Software is up to date"),
                                 self->platform_.scheduler(), 2.0);
          return;
        }
        auto* sheet = new QUpgradeVC(self->platform_, QAppVersion::displayName(), *answer, true);
        sheet->present(self);
      });
}

void QAboutVC::serviceBtnAction() {
  QBrowserLink::openOrShowAddress(
      QUrl(QLatin1String(storeHost) + QStringLiteral("/pages/terms-of-service")),
      platform_.browserOpener(), this);
}

void QAboutVC::privacyBtnAction() {
  QBrowserLink::openOrShowAddress(
      QUrl(QLatin1String(storeHost) + QStringLiteral("/pages/privacy-policy")),
      platform_.browserOpener(), this);
}

void QAboutVC::logFolderBtnAction() {
  if (diagnostics_ != nullptr) {
    diagnostics_->openLogFolder(this);
  }
}

void QAboutVC::clicked() {
  if (QNavigationController* nav = navigationController()) {
    nav->push(new QServiceVC, false);
  }
}

void QAboutVC::backBtnAction() {
  if (QNavigationController* nav = navigationController()) {
    nav->pop(false);
  }
}

void QAboutVC::usbHidManagerDidAttachDevice(const std::shared_ptr<USBDevice>& /*device*/) {}

void QAboutVC::usbHidManagerDidRemoveDevice(const std::shared_ptr<USBDevice>& /*device*/) {
  QNavigationController* nav = navigationController();
  if (nav != nullptr && nav->topViewController() == this) {
    nav->popToRoot(false);
  }
}

}  // namespace vexhal
