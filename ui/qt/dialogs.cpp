// The Qt program's Set Parameters and Version Information dialogs.
#include "ui/qt/dialogs.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QRadioButton>
#include <QString>

#include "ui/qt/dialog_layout.h"
#include "ui/qt/error_message.h"

namespace veldaris::ui::qt {

ParametersDialog::ParametersDialog(QWidget* owner, WindowState& window) : QDialog(owner), window_(window) {
  const std::map<int, QWidget*> controls = BuildDialog(*this, ParametersDialogTemplate());
  for (int id = ID_FIRST_RADIO; id <= ID_LAST_RADIO; ++id) {
    auto* radio = static_cast<QRadioButton*>(controls.at(id));
    radios_[static_cast<size_t>(id - ID_FIRST_RADIO)] = radio;
    connect(radio, &QAbstractButton::clicked, this, [this, id] { ClickRadioButton(id); });
  }
  edit_ = static_cast<QLineEdit*>(controls.at(ID_REWIRING_EDIT));
  connect(static_cast<QAbstractButton*>(controls.at(ID_OK)), &QAbstractButton::clicked, this,
          &ParametersDialog::PressOkButton);
  connect(static_cast<QAbstractButton*>(controls.at(ID_CANCEL)), &QAbstractButton::clicked, this,
          &ParametersDialog::reject);

  view_ = InitParametersDialog(window_);
  edit_->setText(QString::fromStdString(view_.edit_text));
  ShowView();
}

void ParametersDialog::ShowView() {
  for (int id = ID_FIRST_RADIO; id <= ID_LAST_RADIO; ++id) {
    radios_[static_cast<size_t>(id - ID_FIRST_RADIO)]->setChecked(view_.radios.IsChecked(id));
  }
  edit_->setEnabled(view_.edit_enabled);
}

void ParametersDialog::ClickRadioButton(int id) {
  ClickRadio(window_, view_, id);
  ShowView();
}

void ParametersDialog::PressOkButton() {
  // The text is read even while the box is disabled (scale-free network).
  const DialogOutcome outcome = PressOk(window_, edit_->text().toStdString());
  if (!outcome.message.empty()) {
    ShowErrorMessage(this, outcome.message);
  }
  if (outcome.close) {
    accept();
  }
}

void ParametersDialog::reject() {
  const DialogOutcome outcome = PressCancel(window_);
  if (!outcome.message.empty()) {
    ShowErrorMessage(this, outcome.message);
  }
  if (outcome.close) {
    QDialog::reject();
  }
}

VersionDialog::VersionDialog(QWidget* owner) : QDialog(owner) {
  const std::map<int, QWidget*> controls = BuildDialog(*this, VersionDialogTemplate());
  connect(static_cast<QAbstractButton*>(controls.at(ID_OK)), &QAbstractButton::clicked, this, &QDialog::accept);
}

void VersionDialog::reject() { accept(); }

}  // namespace veldaris::ui::qt
