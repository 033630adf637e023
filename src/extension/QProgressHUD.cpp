#include "extension/QProgressHUD.h"

#include <QLabel>
#include <QPainter>

#include <algorithm>

#include "common/QFillParent.h"
#include "extension/QSpinnerView.h"

namespace vexhal {
namespace {

constexpr int kLabelGap = 10;
constexpr int kAvoidGap = 24;  // between a moved bezel and the edge or widget it stays clear of

}  // namespace

QProgressHUD::QProgressHUD(QWidget* view)
    : QWidget(view), spinner_(new QSpinnerView(this)), label_(new QLabel(this)) {
  label_->setAlignment(Qt::AlignCenter);
  label_->setWordWrap(true);
  label_->hide();
  setAttribute(Qt::WA_NoSystemBackground);
  QFillParent::attach(this);
  relayout();
}

QProgressHUD::~QProgressHUD() = default;

void QProgressHUD::setMode(Mode mode) {
  mode_ = mode;
  relayout();
}

void QProgressHUD::setMargin(int margin) {
  margin_ = margin;
  relayout();
}

void QProgressHUD::setBezelColor(const QColor& color) {
  bezelColor_ = color;
  update();
}

void QProgressHUD::setBezelRadius(int radius) {
  bezelRadius_ = radius;
  update();
}

void QProgressHUD::setMinSize(QSize size) {
  minSize_ = size;
  relayout();
}

void QProgressHUD::setLabelText(const QString& text) {
  label_->setText(text);
  label_->setVisible(!text.isEmpty());
  relayout();
}

void QProgressHUD::setLabelFont(const QFont& font) {
  label_->setFont(font);
  relayout();
}

void QProgressHUD::setLabelColor(const QColor& color) {
  QPalette palette = label_->palette();
  palette.setColor(QPalette::WindowText, color);
  label_->setPalette(palette);
}

void QProgressHUD::setCustomView(QWidget* view) {
  if (customView_ && customView_ != view) {
    customView_->deleteLater();
  }
  customView_ = view;
  if (view != nullptr) {
    view->setParent(this);
    view->show();
  }
  relayout();
}

void QProgressHUD::setBlocksInput(bool blocks) {
  setAttribute(Qt::WA_TransparentForMouseEvents, !blocks);
}

void QProgressHUD::setAvoidedWidgets(const QList<QWidget*>& widgets) {
  avoided_.clear();
  for (QWidget* widget : widgets) {
    avoided_.append(widget);
  }
  relayout();
}

QRect QProgressHUD::placeBezel(QSize size) const {
  QRect bezel(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
  QList<QRect> areas;
  for (const QPointer<QWidget>& widget : avoided_) {
    if (widget && widget->isVisible()) {
      areas.append(QRect(mapFromGlobal(widget->mapToGlobal(QPoint(0, 0))), widget->size()));
    }
  }
  const auto covers = [&](const QRect& r) {
    return std::any_of(areas.cbegin(), areas.cend(),
                       [&](const QRect& a) { return a.intersects(r); });
  };
  if (!covers(bezel)) {
    return bezel;
  }
  bezel.moveBottom(height() - 1 - kAvoidGap);
  for (const QRect& area : std::as_const(areas)) {
    if (area.intersects(bezel)) {
      bezel.moveBottom(area.top() - 1 - kAvoidGap);
    }
  }
  bezel.moveTop(std::max(0, bezel.top()));
  return bezel;
}

void QProgressHUD::hideAnimated(bool) {
  QWidget::hide();
  deleteLater();
}

void QProgressHUD::hideAfterDelay(double seconds, const Scheduler& scheduler) {
  QPointer<QProgressHUD> self(this);
  scheduler(this, static_cast<int>(seconds * 1000), [self] {
    if (self) {
      self->hideAnimated(false);
    }
  });
}

void QProgressHUD::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  relayout();
}

void QProgressHUD::paintEvent(QPaintEvent*) {
  if (bezelColor_.alpha() == 0) {
    return;
  }
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(bezelColor_);
  painter.drawRoundedRect(QRectF(bezel_), bezelRadius_, bezelRadius_);
}

// Stacks the indicator (spinner or custom view) above the label in a bezel centred in the
// overlay, `margin` inside the bezel's edge.
void QProgressHUD::relayout() {
  spinner_->setVisible(mode_ == Mode::indeterminate);
  if (customView_) {
    customView_->setVisible(mode_ == Mode::customView);
  }
  QWidget* indicator = nullptr;
  if (mode_ == Mode::indeterminate) {
    indicator = spinner_;
  } else if (mode_ == Mode::customView && customView_) {
    indicator = customView_;
  }
  const QSize indicatorSize = indicator != nullptr ? indicator->sizeHint() : QSize();
  const bool hasLabel = !label_->text().isEmpty();
  const int maxLabelWidth = std::max(0, width() - 4 * margin_);
  QSize labelSize;
  if (hasLabel) {
    const int natural = label_->sizeHint().width();
    const int labelWidth = std::min(natural, maxLabelWidth);
    labelSize = QSize(labelWidth, label_->heightForWidth(labelWidth));
  }
  int contentWidth = std::max(indicatorSize.width(), labelSize.width());
  int contentHeight = indicatorSize.height() + labelSize.height();
  if (indicator != nullptr && hasLabel) {
    contentHeight += kLabelGap;
  }
  const int bezelWidth = std::max(contentWidth + 2 * margin_, minSize_.width());
  const int bezelHeight = std::max(contentHeight + 2 * margin_, minSize_.height());
  bezel_ = placeBezel(QSize(bezelWidth, bezelHeight));
  int y = bezel_.top() + (bezelHeight - contentHeight) / 2;
  if (indicator != nullptr) {
    indicator->setGeometry(bezel_.left() + (bezelWidth - indicatorSize.width()) / 2, y,
                           indicatorSize.width(), indicatorSize.height());
    y += indicatorSize.height() + (hasLabel ? kLabelGap : 0);
  }
  if (hasLabel) {
    label_->setGeometry(bezel_.left() + (bezelWidth - labelSize.width()) / 2, y, labelSize.width(),
                        labelSize.height());
  }
  update();
}

}  // namespace vexhal
