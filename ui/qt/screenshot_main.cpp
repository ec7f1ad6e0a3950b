// Saves a picture of the main window after a run with the default parameters:
// Set Parameters confirmed as shown, Build Network, Execute Simulation, then
// the whole window (menu bar included) once the run has finished.
//
// Usage: veldaris-screenshot <output.png>
// The result files of the run go to a temporary directory.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "ui/qt/main_window.h"

namespace {

constexpr int kRunTimeoutMs = 120000;

bool Trigger(const veldaris::ui::qt::MainWindow& window, const char* id) {
  auto* action = window.findChild<QAction*>(QString::fromLatin1(id));
  if (action == nullptr) {
    return false;
  }
  action->trigger();
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output.png>\n", argv[0]);
    return 2;
  }
  QApplication application(argc, argv);
  QTemporaryDir results;
  if (!results.isValid()) {
    std::fprintf(stderr, "cannot create a temporary directory\n");
    return 1;
  }
  veldaris::ui::qt::MainWindow window;
  if (!veldaris::SetResultDirectory(window.State().result_files, results.path().toLocal8Bit().constData())) {
    std::fprintf(stderr, "the temporary directory's path is too long\n");
    return 1;
  }
  window.show();

  // Confirm the parameter dialog as it opens.
  QTimer::singleShot(0, &window, [] {
    QWidget* dialog = QApplication::activeModalWidget();
    auto* ok = dialog != nullptr ? dialog->findChild<QAbstractButton*>(QStringLiteral("1")) : nullptr;
    if (ok != nullptr) {
      ok->click();
    }
  });
  if (!Trigger(window, "105") || !Trigger(window, "102") || !Trigger(window, "103")) {
    std::fprintf(stderr, "menu command missing\n");
    return 1;
  }

  QElapsedTimer elapsed;
  elapsed.start();
  while (window.State().sim().run_finished == 0 || !window.isEnabled()) {
    if (elapsed.hasExpired(kRunTimeoutMs)) {
      std::fprintf(stderr, "the run did not finish\n");
      return 1;
    }
    QApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  QApplication::processEvents();

  if (!window.grab().toImage().save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
