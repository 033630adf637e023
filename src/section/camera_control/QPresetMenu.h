#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

#include "base/Scheduler.h"
#include "preset/QPresetStore.h"
#include "section/camera_control/QPresetQuestions.h"

class QToolButton;

namespace vexhal {

class Menu;
class QAlertController;
class QCameraFunctionControlVC;
class QCameraImageControlVC;
struct QPresetFit;

// The preset menu of the image page: the presets of the camera's model (choosing one applies
// it, the one in use is checked), "Save as Preset…", "Rename Preset…" and "Delete Preset…" for
// the one in use, "Import Presets…" and "Export Presets…". A preset's functions go through the
// function page and its image controls through the image page, fitted to this camera, so the
// control screen's save and unsaved-changes rules hold; what fitting changed is shown. Failures
// are told in a dialog, successes in a toast. Main thread only.
class QPresetMenu : public QObject {
  Q_OBJECT

 public:
  // Shows a dialog over the control screen.
  using Present = std::function<void(QAlertController* alert)>;

  // Opens its menu when `button` is clicked. The pages and the button outlive the menu.
  QPresetMenu(QToolButton* button, QCameraFunctionControlVC* functions,
              QCameraImageControlVC* image, QPresetStore store, Scheduler scheduler,
              Present present, QObject* parent = nullptr);
  ~QPresetMenu() override;

  void setQuestions(QPresetQuestions questions) { questions_ = std::move(questions); }
  Menu* menu() const { return menu_; }
  // The preset applied or saved last, empty for none.
  const QString& current() const { return current_; }

  void showMenu();
  void applyPreset(const QString& name);
  void saveAsAction();
  void renameAction();
  void deleteAction();
  void importAction();
  void exportAction();

 private:
  void save(const QString& name);
  // A name no preset has: `name`, else "name (2)", "name (3)"…
  QString freeName(const QString& name) const;
  void toast(const QString& text);
  void tell(const QString& title, const QString& message);

  QToolButton* button_;
  QPointer<QCameraFunctionControlVC> functions_;
  QPointer<QCameraImageControlVC> image_;
  QPresetStore store_;
  Scheduler scheduler_;
  Present present_;
  QPresetQuestions questions_ = QPresetQuestions::dialogs();
  Menu* menu_;
  QString current_;
};

}  // namespace vexhal
