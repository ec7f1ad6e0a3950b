// The desktop program: one main window and the event loop. The command line is
// not used.
#include <QApplication>
#include <QString>

#include "ui/qt/app_icon.h"
#include "ui/qt/main_window.h"
#include "ui/run_control.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  // The window class name, which window systems show as the program's class.
  QApplication::setApplicationName(QString::fromUtf8(veldaris::ui::WINDOW_CLASS));
  QApplication::setWindowIcon(veldaris::ui::qt::AppIcon());
  veldaris::ui::qt::MainWindow window;
  window.show();
  QApplication::exec();
  return 0;
}
