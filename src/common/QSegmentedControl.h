#pragma once

#include <QButtonGroup>
#include <QStringList>
#include <QWidget>

namespace vexhal {

// A row of mutually exclusive items ("60°", "90°", "120°"). A user's click selects an item and
// emits segmentSelected(index); setSelectedIndex() from code selects without emitting.
class QSegmentedControl : public QWidget {
  Q_OBJECT

 public:
  explicit QSegmentedControl(QWidget* parent = nullptr);

  void setItems(const QStringList& titles);
  QStringList items() const;
  int count() const;
  // The selected item, or -1.
  int selectedIndex() const;
  // Selects item `index`; an index outside the items is ignored.
  void setSelectedIndex(int index);

 Q_SIGNALS:
  void segmentSelected(int index);

 private:
  QButtonGroup group_;
};

}  // namespace vexhal
