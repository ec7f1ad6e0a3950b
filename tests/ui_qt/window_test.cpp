// The real main window under the real timers: the menu, the refusals, the
// parameter and version dialogs driven through their controls, a whole run,
// and the pictures it leaves.
#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QWindow>
#include <QtTest>
#include <cstdio>
#include <functional>
#include <memory>

#include "model/simulation.h"
#include "ui/qt/dialog_layout.h"
#include "ui/qt/main_window.h"
#include "ui/run_control.h"

namespace veldaris::ui::qt {

namespace {

constexpr int kRunTimeoutMs = 60000;
constexpr int kPollMs = 10;
const QString kErrorBox = QStringLiteral("Error! warning OK: ");

// Runs action and describes every message box that opens meanwhile, as
// "<title> <icon> <buttons>[ disabled][ stray]: <text>" (stray: not owned by
// owner), closing each with its OK button from a timer inside its own loop.
QStringList CatchMessageBoxes(QWidget* owner, const std::function<void()>& action) {
  QStringList seen;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) return;
    seen << box->windowTitle() + (box->icon() == QMessageBox::Warning ? " warning" : " other-icon") +
                (box->standardButtons() == QMessageBox::Ok ? " OK" : " other-buttons") +
                (box->isEnabled() ? "" : " disabled") + (box->parentWidget() == owner ? "" : " stray") + ": " +
                box->text();
    box->button(QMessageBox::Ok)->click();
  });
  poll.start(kPollMs);
  action();
  return seen;
}

// Whether a pixel of the region has exactly this colour.
bool HasColour(const QImage& image, const QRect& region, const QColor& colour) {
  for (int y = region.top(); y <= region.bottom(); ++y) {
    for (int x = region.left(); x <= region.right(); ++x) {
      if (image.pixelColor(x, y) == colour) return true;
    }
  }
  return false;
}

template <typename T>
T* Control(QDialog& dialog, int id) {
  return dialog.findChild<T*>(QString::number(id));
}

// Which of the twelve radio buttons are checked, as a string of 0 and 1.
QString RadioStates(QDialog& dialog) {
  QString states;
  for (int id = ID_FIRST_RADIO; id <= ID_LAST_RADIO; ++id) {
    states += Control<QRadioButton>(dialog, id)->isChecked() ? u'1' : u'0';
  }
  return states;
}

void Click(QDialog& dialog, int id) { QTest::mouseClick(Control<QAbstractButton>(dialog, id), Qt::LeftButton); }

}  // namespace

class WindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> results_;
  std::unique_ptr<MainWindow> window_;

  void Trigger(int id) { window_->findChild<QAction*>(QString::number(id))->trigger(); }
  // Triggers the command, which shows a modal dialog, and calls interact once
  // inside the dialog's loop. False when no dialog opened or it was left open.
  bool InDialog(int command, const std::function<void(QDialog&)>& interact) {
    bool ran = false, left_open = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr || qobject_cast<QMessageBox*>(dialog) != nullptr || dialog->windowHandle() == nullptr ||
          !dialog->windowHandle()->isExposed()) {
        return;
      }
      poll.stop();
      ran = true;
      interact(*dialog);
      left_open = dialog->isVisible();
      if (left_open) dialog->done(QDialog::Rejected);
    });
    poll.start(kPollMs);
    Trigger(command);
    return ran && !left_open;
  }
  bool SetParameters(const QString& rewiring) {
    return InDialog(CMD_SET_PARAMETERS, [&](QDialog& dialog) {
      Control<QLineEdit>(dialog, ID_REWIRING_EDIT)->selectAll();
      QTest::keyClicks(Control<QLineEdit>(dialog, ID_REWIRING_EDIT), rewiring);
      Click(dialog, ID_OK);
    });
  }
  void UseResultDirectory(const QString& dir) {
    QVERIFY(veldaris::SetResultDirectory(window_->State().result_files, dir.toLocal8Bit().constData()));
  }
  const Simulation& Sim() const { return window_->State().sim(); }

 private slots:
  void init() {
    window_.reset();
    results_ = std::make_unique<QTemporaryDir>();
    QVERIFY(results_->isValid());
    window_ = std::make_unique<MainWindow>();
    UseResultDirectory(results_->path());
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  }

  void ShellHasTitleAndMenus() {
    QCOMPARE(window_->windowTitle(), QStringLiteral("Veldaris Version 1.25a (Second-best)"));
    QStringList menus;
    for (QAction* menu : window_->menuBar()->actions()) {
      menus << menu->text();
      for (QAction* item : menu->menu()->actions()) menus << item->objectName() + ' ' + item->text();
    }
    QStringList expected;
    for (const MenuDefinition& menu : MAIN_MENUS) {
      expected << menu.title;
      for (int i = 0; i < menu.command_count; ++i) {
        expected << QString::number(menu.commands[i].id) + ' ' + menu.commands[i].text;
      }
    }
    QCOMPARE(menus, expected);
    // No frame offscreen: the outer size is the window's own size.
    QCOMPARE(window_->frameGeometry().size(), QSize(WINDOW_WIDTH, WINDOW_HEIGHT));
  }

  void StartUpRefusesBuildAndExecute() {
    const QStringList boxes = CatchMessageBoxes(window_.get(), [&] {
      Trigger(CMD_EXECUTE_SIMULATION);
      Trigger(CMD_BUILD_NETWORK);
    });
    QCOMPARE(boxes, QStringList({kErrorBox + MSG_BUILD_FIRST, kErrorBox + MSG_SET_PARAMETERS_FIRST}));
    QCOMPARE(Sim().network_built + Sim().parameters_set, 0);
  }

  void ParametersDialogLaysOutItsControlsAndAppliesClicks() {
    QStringList seen;
    QVERIFY(InDialog(CMD_SET_PARAMETERS, [&](QDialog& dialog) {
      const DialogBaseUnits units = BaseUnitsOf(dialog.font());
      const bool laid_out = dialog.size() == DialogUnitsToPixels(units, 0, 0, 250, 273).size() &&
                            Control<QWidget>(dialog, ID_OK)->geometry() == DialogUnitsToPixels(units, 116, 252, 50, 14);
      QLineEdit* edit = Control<QLineEdit>(dialog, ID_REWIRING_EDIT);
      seen << dialog.windowTitle() << (laid_out ? "laid out" : "misplaced") << RadioStates(dialog)
           << edit->text() + " " + QString::number(edit->maxLength());
      Click(dialog, 1015);  // 200 groups
      seen << RadioStates(dialog);
      Click(dialog, 1013);  // scale free
      seen << RadioStates(dialog) << (edit->isEnabled() ? "enabled" : "disabled");
      QTest::keyClick(&dialog, Qt::Key_Escape);
    }));
    // Defaults: small world, 50 groups, 8 strategies, 1000 generations, K 8, L 10.
    QCOMPARE(seen, QStringList({"Set Parameters", "laid out", "101001100110", "0 9", "100101100110", "010101100110",
                                "disabled"}));
    // The radio choice took effect at once; Esc does not confirm the dialog.
    QCOMPARE(Sim().params.group_count * 10 + Sim().parameters_set, 2000);
  }

  void RewiringOutOfRangeIsRefusedInTheDialog() {
    QStringList boxes;
    bool stayed_open = false;
    QVERIFY(InDialog(CMD_SET_PARAMETERS, [&](QDialog& dialog) {
      Control<QLineEdit>(dialog, ID_REWIRING_EDIT)->setText("1.01");
      boxes = CatchMessageBoxes(&dialog, [&] { Click(dialog, ID_OK); });
      stayed_open = dialog.isVisible();
      Click(dialog, 1013);  // a scale-free network accepts it, read from the disabled box
      Click(dialog, ID_OK);
    }));
    QVERIFY(stayed_open);
    QCOMPARE(boxes, QStringList(kErrorBox + MSG_REWIRING_RANGE));
    QCOMPARE(Sim().parameters_set * 1000 + Sim().params.rewiring_percent, 1101);
  }

  // Closing the dialog with a change that drops the network repaints the
  // window, which no longer shows the network it cannot run.
  void DroppedNetworkDisappearsWhenTheDialogCloses() {
    // What the window shows: its backing store, not a fresh rendering.
    const auto shown = [this] {
      const QPoint at = window_->Drawing()->mapTo(window_.get(), QPoint(0, 0));
      return window_->screen()->grabWindow(window_->winId(), at.x(), at.y(), 400, 400).toImage();
    };
    QVERIFY(SetParameters("0.1"));
    Trigger(CMD_BUILD_NETWORK);
    QTRY_VERIFY(HasColour(shown(), QRect(187, 15, 4, 4), Qt::red));
    QVERIFY(InDialog(CMD_SET_PARAMETERS, [](QDialog& dialog) {
      Click(dialog, 1015);  // 200 groups
      Click(dialog, ID_CANCEL);
    }));
    QCOMPARE(Sim().network_built, 0);
    QTest::qWait(100);
    QVERIFY(!HasColour(shown(), QRect(0, 0, 400, 400), Qt::red));
  }

  void VersionDialogShowsItsTextsAndClosesByOkOrEsc() {
    QStringList texts;
    QVERIFY(InDialog(CMD_VERSION, [&](QDialog& dialog) {
      for (QLabel* label : dialog.findChildren<QLabel*>()) texts << label->text();
      Click(dialog, ID_OK);
    }));
    QCOMPARE(texts, QStringList({VERSION_TEXT, VERSION_CREDITS}));
    QVERIFY(InDialog(CMD_VERSION, [](QDialog& dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); }));
  }

  // The reference case sw50 (the defaults with rewiring 0.1) with the clock
  // replaced by its two seeds. Also run with LC_ALL=de_DE.UTF-8 (see
  // CMakeLists.txt), where Qt switches the C library to a decimal comma.
  void RunDrawsNetworkProgressAndCharts() {
    window_->State().use_fixed_seed = true;
    window_->State().fixed_seed = 1234567;
    QVERIFY(SetParameters("0.1"));
    Trigger(CMD_BUILD_NETWORK);
    window_->State().fixed_seed = 1234568;
    Trigger(CMD_EXECUTE_SIMULATION);

    // Running: the window is disabled, shows the progress line and refuses to close.
    QTRY_VERIFY_WITH_TIMEOUT(!window_->isEnabled(), kRunTimeoutMs);
    QVERIFY(HasColour(window_->Drawing()->grab().toImage(), QRect(580, 7, 180, 13), Qt::black));
    QVERIFY(!window_->close());

    QTRY_VERIFY_WITH_TIMEOUT(Sim().run_finished == 1 && window_->isEnabled(), kRunTimeoutMs);
    QCOMPARE(Sim().generation, 1001);
    const QImage done = window_->Drawing()->grab().toImage();
    QVERIFY(HasColour(done, QRect(187, 15, 4, 4), Qt::red));       // group 1's dot
    QVERIFY(HasColour(done, QRect(15, 15, 349, 349), Qt::green));  // links
    QVERIFY(HasColour(done, QRect(412, 37, 301, 316), Qt::blue));  // P(k) points
    QVERIFY(HasColour(done, QRect(38, 382, 675, 226), Qt::red));   // defection line
    QVERIFY(HasColour(done, QRect(38, 382, 675, 226), Qt::blue));  // cooperation line
    QVERIFY(!HasColour(done, QRect(580, 7, 180, 13), Qt::black));  // progress line gone
    for (const char* file : {INITIAL_RESULT_FILE, ALL_RESULT_FILE}) {
      QFile written(results_->filePath(file));
      QFile golden(QStringLiteral(VELDARIS_TEST_DATA_DIR "/golden/sw50/") + file);
      QVERIFY(written.open(QIODevice::ReadOnly) && golden.open(QIODevice::ReadOnly));
      QVERIFY2(written.readAll() == golden.readAll(), file);
    }
  }

  // The report comes in an enabled box owned by the window.
  void UnwritableResultFilesAreReportedOnceAtTheEndOfTheRun() {
    QVERIFY(SetParameters("0"));
    Trigger(CMD_BUILD_NETWORK);
    UseResultDirectory(results_->filePath("missing/directory"));
    const QStringList boxes = CatchMessageBoxes(window_.get(), [&] {
      Trigger(CMD_EXECUTE_SIMULATION);
      QTRY_VERIFY_WITH_TIMEOUT(Sim().run_finished == 1 && window_->isEnabled(), kRunTimeoutMs);
    });
    QCOMPARE(boxes.size(), 1);
    QVERIFY2(boxes[0].startsWith(kErrorBox + "Could not write") && boxes[0].contains(INITIAL_RESULT_FILE),
             qPrintable(boxes[0]));
    QVERIFY(!window_->Drawing()->ProgressShown());
  }
};

int RunCanvasTests(int argc, char** argv);  // canvas_test.cpp

}  // namespace veldaris::ui::qt

// Runs the canvas tests and the window tests in one application.
int main(int argc, char** argv) {
  QApplication application(argc, argv);
  veldaris::ui::qt::WindowTest window_test;
  const int failures = veldaris::ui::qt::RunCanvasTests(argc, argv) + QTest::qExec(&window_test, argc, argv);
  return failures == 0 ? 0 : 1;
}

#include "window_test.moc"
