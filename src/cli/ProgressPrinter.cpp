#include "cli/ProgressPrinter.h"

#include <QByteArray>

#include <algorithm>

namespace vexhal::cli {
namespace {

constexpr int kBarWidth = 40;

}  // namespace

void ProgressPrinter::show(int percent) {
  percent = std::clamp(percent, 0, 100);
  if (percent == shown_) return;
  shown_ = percent;
  const QByteArray figure = QByteArray::number(percent) + '%';
  if (!terminal_) {
    out_.write(figure + '\n');
    return;
  }
  const int filled = percent * kBarWidth / 100;
  out_.write('\r' + ('[' + QByteArray(filled, '#') + QByteArray(kBarWidth - filled, ' ') + "] ") +
             figure.rightJustified(4));
}

void ProgressPrinter::finish() {
  if (terminal_ && shown_ >= 0) out_.write("\n");
  shown_ = -1;
}

}  // namespace vexhal::cli
