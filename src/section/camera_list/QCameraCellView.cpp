#include "section/camera_list/QCameraCellView.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "common/Pictures.h"
#include "common/UiStyle.h"

namespace vexhal {

namespace {

// The button's style sheet reaches its labels, so their colour is a style sheet rule too.
void setTextColor(QLabel* label, const QColor& color) {
  label->setStyleSheet(QStringLiteral("color: %1; background: transparent;").arg(color.name()));
}

}  // namespace

QCameraCellView::QCameraCellView(QWidget* parent)
    : QWidget(parent),
      cameraBtn_(new QPushButton(this)),
      iconLabel_(new QLabel(cameraBtn_)),
      nameLabel_(new QLabel(cameraBtn_)),
      stateLabel_(new QLabel(cameraBtn_)),
      repairHintLabel_(
          new QLabel(QStringLiteral("Firmware needs repair, click to repair"), cameraBtn_)) {
  cameraBtn_->setObjectName(QStringLiteral("cameraBtn"));
  cameraBtn_->setCursor(Qt::PointingHandCursor);
  cameraBtn_->setFocusPolicy(Qt::TabFocus);
  cameraBtn_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  cameraBtn_->setStyleSheet(QStringLiteral(
      "#cameraBtn { background: #fafafa; border: 1px solid #e6e6e6; border-radius: 12px; }"
      "#cameraBtn:hover { background: #f2f7ff; border-color: #c9dcff; }"
      "#cameraBtn:pressed { background: #e6efff; }"
      "#cameraBtn:focus { border-color: #3476ff; }"));

  // The labels sit on the button and let every click through to it.
  for (QLabel* label : {iconLabel_, nameLabel_, stateLabel_, repairHintLabel_}) {
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
  }
  iconLabel_->setPixmap(picture(QStringLiteral("app_icon_64")));
  iconLabel_->setFixedSize(64, 64);
  iconLabel_->setScaledContents(true);
  nameLabel_->setFont(ui::systemFont(18, QFont::DemiBold));
  nameLabel_->setTextFormat(Qt::PlainText);
  setTextColor(nameLabel_, ui::ink());
  stateLabel_->setFont(ui::systemFont(14));
  repairHintLabel_->setFont(ui::systemFont(13));
  setTextColor(repairHintLabel_, ui::gray());
  repairHintLabel_->hide();

  auto* chevron = new QLabel(QStringLiteral("\u203A"), cameraBtn_);
  chevron->setAttribute(Qt::WA_TransparentForMouseEvents);
  chevron->setFont(ui::systemFont(30));
  setTextColor(chevron, ui::gray());

  auto* texts = new QVBoxLayout;
  texts->setSpacing(6);
  texts->addStretch();
  texts->addWidget(nameLabel_);
  auto* state = new QHBoxLayout;
  state->setSpacing(10);
  state->addWidget(stateLabel_);
  state->addWidget(repairHintLabel_);
  state->addStretch();
  texts->addLayout(state);
  texts->addStretch();

  auto* card = new QHBoxLayout(cameraBtn_);
  card->setContentsMargins(20, 0, 22, 0);
  card->setSpacing(18);
  card->addWidget(iconLabel_);
  card->addLayout(texts, 1);
  card->addWidget(chevron);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 8, 24, 8);
  layout->addWidget(cameraBtn_);
}

void QCameraCellView::configure(const std::string& name, std::int64_t state) {
  nameLabel_->setText(QString::fromStdString(name));
  stateLabel_->setText(stateText(state));
  setTextColor(stateLabel_, stateColor(state));
  repairHintLabel_->setVisible(state == 2);
  cameraBtn_->setAccessibleName(
      nameLabel_->text() + QLatin1Char(' ') + stateLabel_->text() +
      (state == 2 ? QStringLiteral(", ") + repairHintLabel_->text() : QString()));
}

void QCameraCellView::configureNoAccess(const std::string& name) {
  configure(name, 0);
  stateLabel_->setText(QStringLiteral("No access"));
  setTextColor(stateLabel_, ui::red());
  cameraBtn_->setAccessibleName(nameLabel_->text() + QLatin1Char(' ') + stateLabel_->text());
}

QString QCameraCellView::stateText(std::int64_t state) {
  switch (state) {
    case 1:
      return QStringLiteral("Connected");
    case 2:
      return QStringLiteral("Failed");
    default:
      return {};
  }
}

QColor QCameraCellView::stateColor(std::int64_t state) {
  return state == 2 ? ui::red() : ui::tealText();
}

}  // namespace vexhal
