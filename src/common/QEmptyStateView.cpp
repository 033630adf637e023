#include "common/QEmptyStateView.h"

#include <QLabel>
#include <QVBoxLayout>

#include "common/Pictures.h"
#include "common/UiStyle.h"

namespace vexhal {

QEmptyStateView::QEmptyStateView(const QString& pictureName, const QString& text, QWidget* parent)
    : QWidget(parent),
      pictureName_(pictureName),
      picture_(new QLabel(this)),
      text_(new QLabel(text, this)) {
  picture_->setPixmap(picture(pictureName));
  picture_->setAlignment(Qt::AlignCenter);
  text_->setObjectName(QStringLiteral("emptyStateText"));
  text_->setAlignment(Qt::AlignCenter);
  text_->setFont(ui::systemFont(14));
  QPalette palette = text_->palette();
  palette.setColor(QPalette::WindowText, ui::gray());
  text_->setPalette(palette);

  auto* layout = new QVBoxLayout(this);
  layout->addStretch(5);
  layout->addWidget(picture_);
  layout->addSpacing(16);
  layout->addWidget(text_);
  layout->addStretch(6);
}

QString QEmptyStateView::text() const { return text_->text(); }

bool QEmptyStateView::hasPicture() const { return !picture_->pixmap().isNull(); }

}  // namespace vexhal
