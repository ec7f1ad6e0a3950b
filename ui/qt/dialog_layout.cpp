// Qt dialogs laid out from the dialog templates, dialog units converted to pixels.
#include "ui/qt/dialog_layout.h"

#include <QApplication>
#include <QDialog>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QString>

namespace veldaris::ui::qt {

namespace {

constexpr const char* kDialogFace = "MS Shell Dlg";
constexpr int kDialogPointSize = 8;

// Rounded a * b / c for non-negative values.
int MulDiv(int a, int b, int c) { return (a * b + c / 2) / c; }

bool TakesKeyboardFocus(ControlKind kind) {
  return kind == ControlKind::DefaultButton || kind == ControlKind::Button || kind == ControlKind::Edit;
}

// Buttons and the edit box are tab stops; radio buttons take the focus only
// when clicked or chosen by their mnemonic; labels and frames never.
Qt::FocusPolicy FocusPolicyOf(ControlKind kind) {
  if (TakesKeyboardFocus(kind)) {
    return Qt::StrongFocus;
  }
  return kind == ControlKind::Radio ? Qt::ClickFocus : Qt::NoFocus;
}

QWidget* CreateControl(QDialog& dialog, const DialogControl& control) {
  const QString text = QString::fromUtf8(control.text);
  switch (control.kind) {
    case ControlKind::DefaultButton: {
      auto* button = new QPushButton(text, &dialog);
      button->setDefault(true);
      return button;
    }
    case ControlKind::Button:
      return new QPushButton(text, &dialog);
    case ControlKind::Static: {
      auto* label = new QLabel(text, &dialog);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      return label;
    }
    case ControlKind::GroupBox:
      return new QGroupBox(text, &dialog);
    case ControlKind::Radio: {
      // The pairs are kept by the dialog's own rule (each pair shows its
      // parameter), so the toolkit must not clear buttons on its own.
      auto* radio = new QRadioButton(text, &dialog);
      radio->setAutoExclusive(false);
      return radio;
    }
    case ControlKind::Edit: {
      auto* edit = new QLineEdit(text, &dialog);
      edit->setMaxLength(REWIRING_TEXT_LIMIT);
      return edit;
    }
  }
  return nullptr;
}

}  // namespace

QFont DialogFont() {
  const QString face = QString::fromLatin1(kDialogFace);
  QFont font = QFontDatabase::families().contains(face) ? QFont(face) : QApplication::font();
  font.setPointSize(kDialogPointSize);
  font.setWeight(QFont::Normal);
  font.setItalic(false);
  return font;
}

DialogBaseUnits BaseUnitsOf(const QFont& font) {
  const QFontMetrics metrics(font);
  const int letters = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return DialogBaseUnits{(letters + 26) / 52, metrics.height()};
}

QRect DialogUnitsToPixels(const DialogBaseUnits& units, int x, int y, int width, int height) {
  return QRect(MulDiv(x, units.x, 4), MulDiv(y, units.y, 8), MulDiv(width, units.x, 4), MulDiv(height, units.y, 8));
}

std::map<int, QWidget*> BuildDialog(QDialog& dialog, const DialogTemplate& dialog_template) {
  // A fixed-size modal frame with a caption and a close box.
  dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                        Qt::MSWindowsFixedSizeDialogHint);
  dialog.setWindowTitle(QString::fromUtf8(dialog_template.title));
  dialog.setModal(true);
  const QFont font = DialogFont();
  dialog.setFont(font);
  const DialogBaseUnits units = BaseUnitsOf(font);
  dialog.setFixedSize(DialogUnitsToPixels(units, 0, 0, dialog_template.width, dialog_template.height).size());

  std::map<int, QWidget*> controls;
  QLabel* pending_mnemonic_label = nullptr;
  for (int i = 0; i < dialog_template.control_count; ++i) {
    const DialogControl& control = dialog_template.controls[i];
    QWidget* widget = CreateControl(dialog, control);
    if (widget == nullptr) {
      continue;
    }
    widget->setGeometry(DialogUnitsToPixels(units, control.x, control.y, control.width, control.height));
    widget->setFocusPolicy(FocusPolicyOf(control.kind));
    if (control.id >= 0) {
      widget->setObjectName(QString::number(control.id));
      controls[control.id] = widget;
    }
    // A label's mnemonic moves the focus to the next control that takes it.
    if (pending_mnemonic_label != nullptr && TakesKeyboardFocus(control.kind)) {
      pending_mnemonic_label->setBuddy(widget);
      pending_mnemonic_label = nullptr;
    }
    if (control.kind == ControlKind::Static && QString::fromUtf8(control.text).contains(u'&')) {
      pending_mnemonic_label = static_cast<QLabel*>(widget);
    }
  }
  return controls;
}

}  // namespace veldaris::ui::qt
