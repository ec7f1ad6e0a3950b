// The parameter dialog "Set Parameters" and the version dialog "Version
// Information": modal dialogs owned by the main window, laid out from their
// templates, with their behaviour from the dialog rules of the UI layer.
#pragma once

#include <QDialog>
#include <array>

#include "ui/parameter_dialog.h"

class QLineEdit;
class QRadioButton;

namespace veldaris::ui::qt {

class ParametersDialog : public QDialog {
  Q_OBJECT

 public:
  // Opens on the live parameters: captures what closing compares against and
  // shows the current choices and rewiring probability.
  ParametersDialog(QWidget* owner, WindowState& window);

  // Cancel, Esc and the close box.
  void reject() override;

 private:
  void PressOkButton();
  void ClickRadioButton(int id);
  void ShowView();

  WindowState& window_;
  ParametersDialogView view_;
  std::array<QRadioButton*, ID_LAST_RADIO - ID_FIRST_RADIO + 1> radios_{};
  QLineEdit* edit_ = nullptr;
};

class VersionDialog : public QDialog {
  Q_OBJECT

 public:
  explicit VersionDialog(QWidget* owner);

  // Esc and the close box close the dialog as OK does.
  void reject() override;
};

}  // namespace veldaris::ui::qt
