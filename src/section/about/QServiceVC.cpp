#include "section/about/QServiceVC.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/QAlertAction.h"
#include "common/QAlertButton.h"
#include "common/QNavigationController.h"
#include "common/QScreenHeader.h"
#include "common/UiStyle.h"
#include "net/ServiceEndpoint.h"
#include "section/about/QNetLogForwarder.h"

namespace vexhal {

namespace {

QLineEdit* textField(const QString& text, const QString& placeholder, const char* name,
                     QWidget* parent) {
  auto* field = new QLineEdit(text, parent);
  field->setObjectName(QLatin1String(name));
  field->setPlaceholderText(placeholder);
  field->setFont(ui::systemFont(14));
  field->setMinimumWidth(320);
  field->setFixedHeight(32);
  return field;
}

}  // namespace

QServiceVC::QServiceVC(QWidget* parent)
    : QViewController("QServiceVC", parent),
      addressTF_(textField(serviceAddressText(serviceHost, servicePort),
                           QStringLiteral("https://updates.example.com"), "addressTF", this)),
      saveBtn_(new QAlertButton(QStringLiteral("Save"),
                                QAlertAction::look(QAlertAction::QAlertActionStyle::blueFilled),
                                std::nullopt, this)),
      problemLab_(new QLabel(this)) {
  setAutoFillBackground(true);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, Qt::white);
  setPalette(palette);

  saveBtn_->setObjectName(QStringLiteral("saveBtn"));
  saveBtn_->setFont(ui::systemFont(14, QFont::Medium));
  saveBtn_->setFixedSize(120, 36);

  auto* form = new QFormLayout;
  form->setHorizontalSpacing(16);
  form->setVerticalSpacing(14);
  form->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  auto* caption = new QLabel(QStringLiteral("Address"), this);
  caption->setFont(ui::systemFont(14));
  form->addRow(caption, addressTF_);
  auto* note = new QLabel(
      QStringLiteral("Applies until the program quits; the default service is used again after "
                     "a restart."),
      this);
  note->setFont(ui::systemFont(12));
  note->setStyleSheet(QStringLiteral("color: #666666;"));
  note->setWordWrap(true);
  problemLab_->setObjectName(QStringLiteral("problemLab"));
  problemLab_->setFont(ui::systemFont(12));
  QPalette warning = problemLab_->palette();
  warning.setColor(QPalette::WindowText, ui::red());
  problemLab_->setPalette(warning);
  problemLab_->setWordWrap(true);
  problemLab_->hide();

  auto* centred = new QVBoxLayout;
  centred->addLayout(form);
  centred->addSpacing(12);
  centred->addWidget(note);
  centred->addWidget(problemLab_);
  centred->addSpacing(24);
  centred->addWidget(saveBtn_, 0, Qt::AlignHCenter);
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  row->addLayout(centred, 0);
  row->addStretch(1);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 16, 24, 32);
  layout->setSpacing(0);
  layout->addWidget(new QScreenHeader(
      QStringLiteral("Service Settings"), [this] { backAction(); }, this));
  layout->addSpacing(48);
  layout->addLayout(row);
  layout->addStretch(1);

  connect(addressTF_, &QLineEdit::textChanged, this, &QServiceVC::addressChanged);
  connect(addressTF_, &QLineEdit::returnPressed, this, &QServiceVC::saveBtnAction);
  connect(saveBtn_, &QPushButton::clicked, this, &QServiceVC::saveBtnAction);
  addressChanged();
}

// An empty field only disables Save; anything typed that cannot be used says why.
void QServiceVC::addressChanged() {
  const QString problem = parseServiceAddress(addressTF_->text()).problem;
  problemLab_->setText(problem);
  problemLab_->setVisible(!problem.isEmpty() && !addressTF_->text().trimmed().isEmpty());
  saveBtn_->setEnabled(problem.isEmpty());
}

void QServiceVC::saveBtnAction() {
  const ServiceAddress address = parseServiceAddress(addressTF_->text());
  if (!address.problem.isEmpty()) {
    return;
  }
  serviceHost = address.host;
  servicePort = address.port;
  QNetLogForwarder::configure(serviceHost, servicePort);
  if (QNavigationController* nav = navigationController()) {
    nav->popToRoot(false);
  }
}

void QServiceVC::backAction() {
  if (QNavigationController* nav = navigationController()) {
    nav->pop(false);
  }
}

}  // namespace vexhal
