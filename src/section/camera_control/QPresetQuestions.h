#pragma once

#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace vexhal {

// What the preset menu asks a person: a preset's name, a file to import, where to export. Each
// question answers once, with nothing when cancelled. The dialogs are window-modal and return
// at once; tests put their own answers in.
struct QPresetQuestions {
  using Answer = std::function<void(const std::optional<QString>& answer)>;

  // A name, with `title` over the question and `proposal` filled in.
  std::function<void(QWidget* screen, const QString& title, const QString& proposal, Answer)> name;
  std::function<void(QWidget* screen, Answer)> openFile;
  std::function<void(QWidget* screen, const QString& proposal, Answer)> saveFile;

  static QPresetQuestions dialogs();
};

}  // namespace vexhal
