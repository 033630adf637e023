#pragma once

class QScrollArea;
class QWidget;

namespace vexhal {

// Fills `page` with a frameless scroll area showing `content`, which the area resizes, and
// returns the area. The control pages scroll their rows this way.
QScrollArea* fillWithScrollArea(QWidget* page, QWidget* content);

}  // namespace vexhal
