// Runs the canvas tests and the window tests in one application.
#include <QApplication>

namespace veldaris::ui::qt {
int RunCanvasTests(int argc, char** argv);
int RunWindowTests(int argc, char** argv);
}  // namespace veldaris::ui::qt

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  int failures = veldaris::ui::qt::RunCanvasTests(argc, argv);
  failures += veldaris::ui::qt::RunWindowTests(argc, argv);
  return failures == 0 ? 0 : 1;
}
