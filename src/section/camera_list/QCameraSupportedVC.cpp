#include "section/camera_list/QCameraSupportedVC.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>

#include "common/Pictures.h"
#include "common/QFillParent.h"
#include "common/QSheetOverlay.h"
#include "common/UiStyle.h"
#include "section/camera_list/QCameraSupportedDevice.h"

namespace vexhal {
namespace {

constexpr int kPanelWidth = 380;
constexpr int kHeaderHeight = 56;
constexpr int kSidePadding = 24;

QLabel* makeLabel(const QString& text, int pixelSize, const QColor& color, QFont::Weight weight,
                  QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setFont(ui::systemFont(pixelSize, weight));
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, color);
  label->setPalette(palette);
  return label;
}

// One catalogue entry: the model's name above its category. Rows cannot be selected.
QWidget* makeRow(const QCameraSupportedDevice& device, bool last, QWidget* parent) {
  auto* row = new QWidget(parent);
  row->setObjectName(QStringLiteral("supportedRow"));
  row->setFixedHeight(QCameraSupportedVC::rowHeight);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(kSidePadding, 0, kSidePadding, 0);
  layout->setSpacing(14);
  auto* icon = new QLabel(row);
  icon->setPixmap(picture(QStringLiteral("logo_small")));
  layout->addWidget(icon);
  auto* texts = new QVBoxLayout;
  texts->setSpacing(4);
  texts->addStretch();
  auto* name = makeLabel(device.name, 14, ui::ink(), QFont::Medium, row);
  name->setObjectName(QStringLiteral("deviceName"));
  auto* type = makeLabel(rawValue(device.type), 12, ui::gray(), QFont::Normal, row);
  type->setObjectName(QStringLiteral("deviceType"));
  texts->addWidget(name);
  texts->addWidget(type);
  texts->addStretch();
  layout->addLayout(texts, 1);
  if (!last) {
    auto* line = new QWidget(row);
    line->setObjectName(QStringLiteral("rowSeparator"));
    line->setStyleSheet(QStringLiteral("background: #eeeeee;"));
    line->setGeometry(kSidePadding, QCameraSupportedVC::rowHeight - 1,
                      kPanelWidth - 2 * kSidePadding, 1);
  }
  return row;
}

}  // namespace

QCameraSupportedVC::QCameraSupportedVC(QWidget* parent)
    : QViewController("QCameraSupportedVC", parent),
      panel_(new QWidget(this)),
      panelEffect_(new QGraphicsOpacityEffect(panel_)) {
  panel_->setObjectName(QStringLiteral("supportedPanel"));
  panel_->setAttribute(Qt::WA_StyledBackground);
  panel_->setStyleSheet(
      QStringLiteral("#supportedPanel { background: white; border-radius: 8px; }"));
  panel_->setGraphicsEffect(panelEffect_);

  auto* layout = new QVBoxLayout(panel_);
  layout->setContentsMargins(0, 0, 0, 12);
  layout->setSpacing(0);
  auto* header = new QWidget(panel_);
  header->setFixedHeight(kHeaderHeight);
  auto* headerLayout = new QHBoxLayout(header);
  headerLayout->setContentsMargins(kSidePadding, 0, 12, 0);
  headerLayout->addWidget(
      makeLabel(QStringLiteral("Supported Devices"), 16, ui::ink(), QFont::DemiBold, header));
  headerLayout->addStretch();
  auto* close = new QToolButton(header);
  close->setObjectName(QStringLiteral("closeBtn"));
  close->setIcon(pictureIcon(QStringLiteral("icon_close")));
  close->setIconSize(QSize(24, 24));
  close->setCursor(Qt::PointingHandCursor);
  ui::styleHeaderButton(close);
  connect(close, &QToolButton::clicked, this, &QCameraSupportedVC::closeBtnAction);
  headerLayout->addWidget(close);
  layout->addWidget(header);

  const QList<QCameraSupportedDevice> catalogue = QCameraSupportedDevice::catalogue();
  for (qsizetype i = 0; i < catalogue.size(); ++i) {
    layout->addWidget(makeRow(catalogue.at(i), i + 1 == catalogue.size(), panel_));
  }
  panel_->setFixedWidth(kPanelWidth);
  panel_->adjustSize();
  setProgress(0);
}

void QCameraSupportedVC::presentOver(QWidget* askingScreen) {
  if (QSheetOverlay* overlay = QSheetOverlay::present(this, askingScreen)) {
    // The sheet's own mask dims the window, fading with the panel.
    overlay->setDimming(Qt::transparent);
    QFillParent::attach(this);
  } else {
    show();
  }
  fadeTo(1.0, false);
}

void QCameraSupportedVC::closeBtnAction() {
  if (closing_) {
    return;
  }
  closing_ = true;
  fadeTo(0.0, true);
}

qreal QCameraSupportedVC::panelOpacity() const { return panelEffect_->opacity(); }

void QCameraSupportedVC::fadeTo(qreal target, bool removeWhenDone) {
  if (fade_) {
    fade_->stop();
    delete fade_;
  }
  auto* fade = new QVariantAnimation(this);
  fade->setDuration(fadeMs);
  fade->setStartValue(progress_);
  fade->setEndValue(target);
  connect(fade, &QVariantAnimation::valueChanged, this,
          [this](const QVariant& value) { setProgress(value.toReal()); });
  connect(fade, &QVariantAnimation::finished, this, [this, target, removeWhenDone] {
    setProgress(target);
    if (removeWhenDone) {
      hide();
      deleteLater();
    }
  });
  fade_ = fade;
  fade->start();
}

// Progress 0 is hidden, 1 fully shown: the mask reaches half opacity, the panel full.
void QCameraSupportedVC::setProgress(qreal progress) {
  progress_ = progress;
  maskOpacity_ = dimmedOpacity * progress;
  panelEffect_->setOpacity(progress);
  update();
}

void QCameraSupportedVC::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QColor mask(Qt::black);
  mask.setAlphaF(static_cast<float>(maskOpacity_));
  painter.fillRect(rect(), mask);
}

// A click on the mask outside the panel closes the sheet, as its close button does.
void QCameraSupportedVC::mousePressEvent(QMouseEvent* event) {
  if (!panel_->geometry().contains(event->position().toPoint())) {
    closeBtnAction();
  }
  event->accept();
}

// Escape closes the sheet, as its close button does.
void QCameraSupportedVC::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    closeBtnAction();
    event->accept();
    return;
  }
  QViewController::keyPressEvent(event);
}

void QCameraSupportedVC::resizeEvent(QResizeEvent* event) {
  QViewController::resizeEvent(event);
  panel_->move((width() - panel_->width()) / 2, (height() - panel_->height()) / 2);
}

}  // namespace vexhal
