#pragma once

#include <QIODevice>

namespace vexhal::cli {

// Shows how far a firmware transfer or a download has come: on a terminal one bar redrawn in
// place, elsewhere (a log, a pipe) a "42%" line each time the figure changes.
class ProgressPrinter {
 public:
  ProgressPrinter(QIODevice& out, bool terminal) : out_(out), terminal_(terminal) {}

  void show(int percent);
  // Ends the bar's line, so what follows starts on a line of its own.
  void finish();

 private:
  QIODevice& out_;
  bool terminal_;
  int shown_ = -1;
};

}  // namespace vexhal::cli
