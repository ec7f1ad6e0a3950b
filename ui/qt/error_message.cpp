// The Qt program's one kind of message box.
#include "ui/qt/error_message.h"

#include <QMessageBox>
#include <QString>

#include "ui/run_control.h"

namespace veldaris::ui::qt {

void ShowErrorMessage(QWidget* owner, const std::string& text) {
  QMessageBox box(QMessageBox::Warning, QString::fromUtf8(ERROR_TITLE), QString::fromStdString(text), QMessageBox::Ok,
                  owner);
  box.exec();
}

}  // namespace veldaris::ui::qt
