// The program's one kind of message box.
#pragma once

#include <string>

class QWidget;

namespace veldaris::ui::qt {

// A modal warning box titled "Error!" with the text and one OK button, owned
// by the owner window; returns when the user has closed it.
void ShowErrorMessage(QWidget* owner, const std::string& text);

}  // namespace veldaris::ui::qt
