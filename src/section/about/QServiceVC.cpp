#include "section/about/QServiceVC.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/QAlertAction.h"
#include "common/QAlertButton.h"
#include "common/QNavigationController.h"
#include "common/UiStyle.h"
#include "net/ServiceEndpoint.h"
#include "section/about/QNetLogForwarder.h"
#include "section/camera_info/QScreenHeader.h"

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
      hostTF_(textField(serviceHost, QStringLiteral("updates.example.com"), "hostTF", this)),
      portTF_(textField(servicePort, QStringLiteral("443"), "portTF", this)),
      saveBtn_(new QAlertButton(QStringLiteral("Save"),
                                QAlertAction::look(QAlertAction::QAlertActionStyle::blueFilled),
                                std::nullopt, this)),
      refusalLab_(new QLabel(QStringLiteral("Plain http is allowed only for this computer "
                                            "(localhost). Use an https address for other hosts."),
                             this)) {
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
  for (auto [caption, field] : {std::pair{"Host", hostTF_}, std::pair{"Port", portTF_}}) {
    auto* label = new QLabel(QLatin1String(caption), this);
    label->setFont(ui::systemFont(14));
    form->addRow(label, field);
  }
  auto* note = new QLabel(
      QStringLiteral("Applies until the program quits; the default service is used again after "
                     "a restart."),
      this);
  note->setFont(ui::systemFont(12));
  note->setStyleSheet(QStringLiteral("color: #666666;"));
  note->setWordWrap(true);
  refusalLab_->setObjectName(QStringLiteral("refusalLab"));
  refusalLab_->setFont(ui::systemFont(12));
  QPalette warning = refusalLab_->palette();
  warning.setColor(QPalette::WindowText, ui::red());
  refusalLab_->setPalette(warning);
  refusalLab_->setWordWrap(true);
  refusalLab_->hide();

  auto* centred = new QVBoxLayout;
  centred->addLayout(form);
  centred->addSpacing(12);
  centred->addWidget(note);
  centred->addWidget(refusalLab_);
  centred->addSpacing(24);
  centred->addWidget(saveBtn_, 0, Qt::AlignHCenter);
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  row->addLayout(centred, 0);
  row->addStretch(1);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 16, 24, 32);
  layout->setSpacing(0);
  layout->addWidget(
      new QScreenHeader(QStringLiteral("Service Settings"), [this] { backAction(); }, this));
  layout->addSpacing(48);
  layout->addLayout(row);
  layout->addStretch(1);

  connect(hostTF_, &QLineEdit::textChanged, this, &QServiceVC::updateSaveEnabled);
  connect(portTF_, &QLineEdit::textChanged, this, &QServiceVC::updateSaveEnabled);
  for (QLineEdit* field : {hostTF_, portTF_}) {
    connect(field, &QLineEdit::textEdited, refusalLab_, &QWidget::hide);
  }
  connect(saveBtn_, &QPushButton::clicked, this, &QServiceVC::saveBtnAction);
  updateSaveEnabled();
}

void QServiceVC::updateSaveEnabled() {
  saveBtn_->setEnabled(!hostTF_->text().isEmpty() && !portTF_->text().isEmpty());
}

void QServiceVC::saveBtnAction() {
  if (!saveBtn_->isEnabled()) {
    return;
  }
  if (isPlainHttpElsewhere(hostTF_->text())) {
    refusalLab_->show();
    return;
  }
  serviceHost = hostTF_->text();
  servicePort = portTF_->text();
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
