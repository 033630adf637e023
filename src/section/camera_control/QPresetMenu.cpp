#include "section/camera_control/QPresetMenu.h"

#include <QDir>
#include <QStandardPaths>
#include <QToolButton>

#include <ostrane/ostrane.h>

#include "common/Menu.h"
#include "common/QAlertAction.h"
#include "common/QAlertController.h"
#include "common/UiStyle.h"
#include "extension/QHudOverlay.h"
#include "preset/QPresetFile.h"
#include "preset/QPresetFit.h"
#include "section/camera_control/QCameraFunctionControlVC.h"
#include "section/camera_control/QCameraImageControlVC.h"

namespace vexhal {

namespace {

using Style = QAlertAction::QAlertActionStyle;

QString quoted(const QString& name) { return QStringLiteral("\u201C%1\u201D").arg(name); }

std::shared_ptr<QAlertAction> action(const QString& title, Style style,
                                     QAlertAction::Handler handler = nullptr) {
  return std::make_shared<QAlertAction>(title, style, ui::systemFont(12), std::move(handler));
}

}  // namespace

QPresetMenu::QPresetMenu(QToolButton* button, QCameraFunctionControlVC* functions,
                         QCameraImageControlVC* image, QPresetStore store, Scheduler scheduler,
                         Present present, QObject* parent)
    : QObject(parent),
      button_(button),
      functions_(functions),
      image_(image),
      store_(std::move(store)),
      scheduler_(std::move(scheduler)),
      present_(std::move(present)),
      menu_(new Menu(this)) {
  connect(button_, &QToolButton::clicked, this, &QPresetMenu::showMenu);
}

QPresetMenu::~QPresetMenu() = default;

void QPresetMenu::showMenu() {
  QLog("CameraControl, presetsBtnAction(_:)");
  const std::vector<QPreset> presets = store_.presets();
  QList<MenuItem> items;
  for (const QPreset& preset : presets) {
    items.push_back(MenuItem{QUuid::createUuid(), preset.name,
                             [this, name = preset.name] { applyPreset(name); },
                             preset.name == current_});
  }
  const auto entry = [&items, this](const char* title, void (QPresetMenu::*run)()) {
    items.push_back(MenuItem{QUuid::createUuid(), QString::fromUtf8(title),
                             [this, run] { (this->*run)(); }, std::nullopt});
  };
  if (!items.isEmpty()) {
    items.push_back(MenuItem{QUuid::createUuid(), QString(), nullptr, std::nullopt});
  }
  entry("Save as Preset…", &QPresetMenu::saveAsAction);
  if (!current_.isEmpty() && store_.find(current_)) {
    entry("Rename Preset…", &QPresetMenu::renameAction);
    entry("Delete Preset…", &QPresetMenu::deleteAction);
  }
  entry("Import Presets…", &QPresetMenu::importAction);
  if (!presets.empty()) {
    entry("Export Presets…", &QPresetMenu::exportAction);
  }
  menu_->setItems(items);
  menu_->showAt(button_);
}

void QPresetMenu::applyPreset(const QString& name) {
  QLog("CameraControl, applyPreset(_:), " + name.toStdString());
  const std::optional<QPreset> preset = store_.find(name);
  if (!preset || !functions_ || !image_) {
    return;
  }
  functions_->applyPreset(preset->functions);
  const QPresetFit fit = image_->applyPresetControls(preset->controls);
  current_ = name;
  const QStringList changes = fit.describe();
  if (changes.isEmpty()) {
    toast(QStringLiteral("Applied ") + quoted(name));
    return;
  }
  tell(QStringLiteral("Preset fitted to this camera"),
       quoted(name) + QStringLiteral(" was applied with these changes:\n") +
           changes.join(QLatin1Char('\n')));
}

void QPresetMenu::saveAsAction() {
  questions_.name(image_, QStringLiteral("Save as Preset"), current_,
                  [self = QPointer(this)](const std::optional<QString>& answer) {
                    const QString name = answer.value_or(QString()).trimmed();
                    if (!self || name.isEmpty()) return;
                    if (!self->store_.find(name)) return self->save(name);
                    auto* alert = new QAlertController(
                        std::nullopt, QStringLiteral("Replace the preset %1?").arg(quoted(name)));
                    alert->addAction(action(QStringLiteral("Cancel"), Style::grayFilled), true);
                    alert->addAction(action(QStringLiteral("Replace"), Style::blueFilled,
                                            [self, name](QAlertAction&) {
                                              if (self) self->save(name);
                                            }),
                                     true);
                    self->present_(alert);
                  });
}

void QPresetMenu::save(const QString& name) {
  if (!functions_ || !image_) {
    return;
  }
  const QFunctionControlModel& functions = functions_->model();
  QPreset preset{name,
                 functions.changeCameraParams().value_or(
                     functions.cameraParams().value_or(QHIDParams::defaultParams())),
                 image_->presetControls()};
  QString error;
  if (!store_.save(preset, &error)) {
    QLog("CameraControl, savePreset, failed, " + error.toStdString());
    return tell(QStringLiteral("The preset was not saved"), error);
  }
  current_ = name;
  toast(QStringLiteral("Saved ") + quoted(name));
}

void QPresetMenu::renameAction() {
  questions_.name(image_, QStringLiteral("Rename Preset"), current_,
                  [self = QPointer(this), from = current_](const std::optional<QString>& answer) {
                    const QString to = answer.value_or(QString()).trimmed();
                    if (!self || to.isEmpty() || to == from) return;
                    QString error;
                    if (!self->store_.rename(from, to, &error)) {
                      return self->tell(QStringLiteral("The preset was not renamed"), error);
                    }
                    if (self->current_ == from) self->current_ = to;
                    self->toast(QStringLiteral("Renamed to ") + quoted(to));
                  });
}

void QPresetMenu::deleteAction() {
  auto* alert = new QAlertController(std::nullopt,
                                     QStringLiteral("Delete the preset %1?").arg(quoted(current_)));
  alert->addAction(action(QStringLiteral("Cancel"), Style::grayFilled), true);
  alert->addAction(action(QStringLiteral("Delete"), Style::blueFilled,
                          [self = QPointer(this), name = current_](QAlertAction&) {
                            if (!self) return;
                            QString error;
                            if (!self->store_.remove(name, &error)) {
                              return self->tell(QStringLiteral("The preset was not deleted"),
                                                error);
                            }
                            if (self->current_ == name) self->current_.clear();
                            self->toast(QStringLiteral("Deleted ") + quoted(name));
                          }),
                   true);
  present_(alert);
}

void QPresetMenu::importAction() {
  questions_.openFile(image_, [self = QPointer(this)](const std::optional<QString>& path) {
    if (!self || !path || !self->image_) return;
    QLog("CameraControl, importPresets, " + path->toStdString());
    QString error;
    const std::optional<std::vector<QPreset>> presets = QPresetFile::read(*path, &error);
    if (!presets) {
      return self->tell(QStringLiteral("Presets not imported"), error);
    }
    QStringList report;
    for (QPreset preset : *presets) {
      preset.name = self->freeName(preset.name);
      if (!self->store_.save(preset, &error)) {
        return self->tell(QStringLiteral("Presets not imported"), error);
      }
      report << quoted(preset.name);
      for (const QString& line : fitPreset(preset.controls, self->image_->controls()).describe()) {
        report << QStringLiteral("    ") + line;
      }
    }
    if (report.size() == static_cast<qsizetype>(presets->size())) {
      return self->toast(presets->size() == 1
                             ? QStringLiteral("Imported ") + report.front()
                             : QStringLiteral("Imported %1 presets").arg(presets->size()));
    }
    self->tell(QStringLiteral("Presets imported"),
               QStringLiteral("These presets will be fitted to this camera:\n") +
                   report.join(QLatin1Char('\n')));
  });
}

void QPresetMenu::exportAction() {
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  const QString proposal = QDir(documents).filePath(QStringLiteral("VexhalTools presets") +
                                                    QString::fromLatin1(QPresetFile::kSuffix));
  questions_.saveFile(
      image_, proposal, [self = QPointer(this)](const std::optional<QString>& answer) {
        if (!self || !answer || answer->isEmpty()) return;
        QString path = *answer;
        const QString suffix = QString::fromLatin1(QPresetFile::kSuffix);
        if (!path.endsWith(suffix)) path += suffix;
        QLog("CameraControl, exportPresets, " + path.toStdString());
        QString error;
        if (!QPresetFile::write(path, self->store_.presets(), &error)) {
          return self->tell(QStringLiteral("Presets not exported"), error);
        }
        self->toast(QStringLiteral("Presets exported to ") + QDir::toNativeSeparators(path));
      });
}

QString QPresetMenu::freeName(const QString& name) const {
  QString candidate = name;
  for (int n = 2; store_.find(candidate); ++n) {
    candidate = QStringLiteral("%1 (%2)").arg(name).arg(n);
  }
  return candidate;
}

void QPresetMenu::toast(const QString& text) {
  QHudOverlay::showToast(button_->window(), text, scheduler_);
}

void QPresetMenu::tell(const QString& title, const QString& message) {
  auto* alert = new QAlertController(title, message, Qt::AlignLeft);
  alert->addAction(action(QStringLiteral("OK"), Style::blueFilled), true);
  present_(alert);
}

}  // namespace vexhal
