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
#include <QTemporaryDir>
#include <QWindow>
#include <QtTest>
#include <cstdio>
#include <functional>
#include <memory>

#include "model/simulation_state.h"
#include "results/generation_statistics.h"
#include "ui/qt/app_icon.h"
#include "ui/qt/dialog_layout.h"
#include "ui/qt/main_window.h"
#include "ui/run_control.h"

namespace veldaris::ui::qt {

namespace {

constexpr int kRunTimeoutMs = 60000;
constexpr int kPollMs = 10;
const QString kErrorBox = QStringLiteral("Error! warning OK");

// The message boxes that opened while an action ran: how many, and the first
// one's text, form ("<title> <icon> <buttons>"), input state and owner.
struct MessageBoxSeen {
  int count = 0;
  QString text;
  QString form;
  bool enabled = false;
  QWidget* owner = nullptr;
};

// Runs action; a timer inside the boxes' own event loops records every
// message box that opens meanwhile and closes it with its OK button.
MessageBoxSeen CatchMessageBoxes(const std::function<void()>& action) {
  MessageBoxSeen seen;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&seen] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) {
      return;
    }
    if (seen.count++ == 0) {
      seen.text = box->text();
      seen.form = box->windowTitle() + (box->icon() == QMessageBox::Warning ? " warning" : " other-icon") +
                  (box->standardButtons() == QMessageBox::Ok ? " OK" : " other-buttons");
      seen.enabled = box->isEnabled();
      seen.owner = box->parentWidget();
    }
    box->button(QMessageBox::Ok)->click();
  });
  poll.start(kPollMs);
  action();
  return seen;
}

// Runs open, which shows a modal dialog, and calls interact once inside the
// dialog's loop. Returns false when no dialog opened or interact left it open.
bool WithModalDialog(const std::function<void()>& open, const std::function<void(QDialog&)>& interact) {
  bool ran = false;
  bool left_open = false;
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
    if (left_open) {
      dialog->done(QDialog::Rejected);
    }
  });
  poll.start(kPollMs);
  open();
  return ran && !left_open;
}

bool HasColour(const QImage& image, const QRect& region, const QColor& colour) {
  for (int y = region.top(); y <= region.bottom(); ++y) {
    for (int x = region.left(); x <= region.right(); ++x) {
      if (image.pixelColor(x, y) == colour) {
        return true;
      }
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

void TypeRewiring(QDialog& dialog, const QString& text) {
  Control<QLineEdit>(dialog, ID_REWIRING_EDIT)->selectAll();
  QTest::keyClicks(Control<QLineEdit>(dialog, ID_REWIRING_EDIT), text);
}

}  // namespace

class WindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> results_;
  std::unique_ptr<MainWindow> window_;

  void Trigger(int id) { window_->findChild<QAction*>(QString::number(id))->trigger(); }
  bool InDialog(int command, const std::function<void(QDialog&)>& interact) {
    return WithModalDialog([&] { Trigger(command); }, interact);
  }
  bool SetParameters(const QString& rewiring) {
    return InDialog(CMD_SET_PARAMETERS, [&](QDialog& dialog) {
      TypeRewiring(dialog, rewiring);
      Click(dialog, ID_OK);
    });
  }
  QImage Picture() const { return window_->Drawing()->grab().toImage(); }

 private slots:
  void init() {
    results_ = std::make_unique<QTemporaryDir>();
    QVERIFY(results_->isValid());
    ClearSimulationState();
    std::snprintf(g_state.result_directory, sizeof g_state.result_directory, "%s",
                  results_->path().toLocal8Bit().constData());
    window_ = std::make_unique<MainWindow>();
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  }

  void cleanup() {
    window_.reset();
    results_.reset();
  }

  void ShellHasTitleMenusIconAndClientArea() {
    QCOMPARE(window_->windowTitle(), QStringLiteral("Veldaris Version 1.25a (Second-best)"));
    QCOMPARE(qRound(window_->windowOpacity() * 255), 207);
    QStringList menus;
    for (QAction* menu : window_->menuBar()->actions()) {
      menus << menu->text();
      for (QAction* item : menu->menu()->actions()) {
        menus << item->objectName() + ' ' + item->text();
      }
    }
    QCOMPARE(menus, QStringList({"File(&F)", "102 Build Network(&B)", "103 Execute Simulation(&E)", "104 Exit(&X)",
                                 "Option(&O)", "105 Set Parameters(&P)", "Help(&H)", "106 Version(&V)"}));
    QCOMPARE(AppIconImage().size(), QSize(32, 32));
    QVERIFY(AppIconImage().colorCount() <= 16);
    // No frame offscreen: the outer size is the window's own size, and the
    // drawing area starts right below the menu bar.
    QCOMPARE(window_->frameGeometry().size(), QSize(WINDOW_WIDTH, WINDOW_HEIGHT));
    QCOMPARE(window_->Drawing()->mapTo(window_.get(), QPoint(0, 0)), QPoint(0, window_->menuBar()->height()));
  }

  void StartUpRefusesBuildAndExecute() {
    MessageBoxSeen seen = CatchMessageBoxes([&] { Trigger(CMD_EXECUTE_SIMULATION); });
    QCOMPARE(seen.count, 1);
    QCOMPARE(seen.text, QString(MSG_BUILD_FIRST));
    QCOMPARE(seen.form, kErrorBox);
    QCOMPARE(seen.owner, window_.get());
    seen = CatchMessageBoxes([&] { Trigger(CMD_BUILD_NETWORK); });
    QCOMPARE(seen.count, 1);
    QCOMPARE(seen.text, QString(MSG_SET_PARAMETERS_FIRST));
    QCOMPARE(seen.form, kErrorBox);
    QCOMPARE(g_state.network_built, 0);
    QCOMPARE(g_state.parameters_set, 0);
  }

  void ParametersDialogLaysOutAndKeepsEveryPairShowingItsValue() {
    QStringList seen;
    const bool closed = InDialog(CMD_SET_PARAMETERS, [&](QDialog& dialog) {
      const DialogBaseUnits units = BaseUnitsOf(dialog.font());
      const bool laid_out = dialog.size() == DialogUnitsToPixels(units, 0, 0, 250, 273).size() &&
                            Control<QWidget>(dialog, ID_OK)->geometry() == DialogUnitsToPixels(units, 116, 252, 50, 14);
      QLineEdit* edit = Control<QLineEdit>(dialog, ID_REWIRING_EDIT);
      seen << dialog.windowTitle() << (laid_out ? "laid out" : "misplaced") << RadioStates(dialog) << edit->text()
           << QString::number(edit->maxLength());
      Click(dialog, 1015);  // 200 groups
      seen << RadioStates(dialog);
      Click(dialog, 1013);  // scale free
      seen << RadioStates(dialog) << (edit->isEnabled() ? "enabled" : "disabled");
      Click(dialog, 1012);  // small world again
      Click(dialog, 1012);  // a second click leaves it checked
      seen << RadioStates(dialog) << (edit->isEnabled() ? "enabled" : "disabled");
      QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    QVERIFY(closed);
    // Defaults: small world, 50 groups, 8 strategies, 1000 generations, K 8, L 10.
    QCOMPARE(seen, QStringList({"Set Parameters", "laid out", "101001100110", "0", "9", "100101100110", "010101100110",
                                "disabled", "100101100110", "enabled"}));
    // The radio choice took effect at once; Esc does not confirm the dialog.
    QCOMPARE(g_state.params.group_count, 200);
    QCOMPARE(g_state.parameters_set, 0);
  }

  void RewiringOutOfRangeIsRefusedInTheDialog() {
    MessageBoxSeen seen;
    bool owned_by_dialog = false;
    bool stayed_open = false;
    QVERIFY(InDialog(CMD_SET_PARAMETERS, [&](QDialog& dialog) {
      TypeRewiring(dialog, "1.01");
      seen = CatchMessageBoxes([&] { Click(dialog, ID_OK); });
      stayed_open = dialog.isVisible();
      owned_by_dialog = seen.owner == &dialog;
      // A scale-free network accepts any value, read from the disabled box.
      Click(dialog, 1013);
      Click(dialog, ID_OK);
    }));
    QVERIFY(stayed_open && owned_by_dialog);
    QCOMPARE(seen.count, 1);
    QCOMPARE(seen.text, QString(MSG_REWIRING_RANGE));
    QCOMPARE(seen.form, kErrorBox);
    QCOMPARE(g_state.parameters_set, 1);
    QCOMPARE(g_state.params.network_type, static_cast<int32_t>(SCALE_FREE));
    QCOMPARE(g_state.params.rewiring_percent, 101);
  }

  void VersionDialogShowsItsTextsAndClosesByOkOrEsc() {
    QStringList texts;
    QVERIFY(InDialog(CMD_VERSION, [&](QDialog& dialog) {
      texts << dialog.windowTitle();
      for (QLabel* label : dialog.findChildren<QLabel*>()) {
        texts << label->text();
      }
      Click(dialog, ID_OK);
    }));
    QCOMPARE(texts, QStringList({"Version Information", VERSION_TEXT, VERSION_CREDITS}));
    QVERIFY(InDialog(CMD_VERSION, [](QDialog& dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); }));
  }

  void RunDrawsNetworkProgressAndCharts() {
    QVERIFY(SetParameters("0.1"));
    QCOMPARE(g_state.params.rewiring_percent, 10);
    Trigger(CMD_BUILD_NETWORK);
    Trigger(CMD_EXECUTE_SIMULATION);

    // Running: the window is disabled, shows the progress line and refuses to close.
    QTRY_VERIFY_WITH_TIMEOUT(!window_->isEnabled(), kRunTimeoutMs);
    QVERIFY(HasColour(Picture(), QRect(580, 7, 180, 13), Qt::black));
    QVERIFY(!window_->close());

    QTRY_VERIFY_WITH_TIMEOUT(g_state.run_finished == 1 && window_->isEnabled(), kRunTimeoutMs);
    QCOMPARE(g_state.generation, 1001);
    const QImage done = Picture();
    QVERIFY(HasColour(done, QRect(187, 15, 4, 4), Qt::red));       // group 1's dot
    QVERIFY(HasColour(done, QRect(15, 15, 349, 349), Qt::green));  // links
    QVERIFY(HasColour(done, QRect(412, 37, 301, 316), Qt::blue));  // P(k) points
    QVERIFY(HasColour(done, QRect(38, 382, 675, 226), Qt::red));   // defection line
    QVERIFY(HasColour(done, QRect(38, 382, 675, 226), Qt::blue));  // cooperation line
    QVERIFY(!HasColour(done, QRect(580, 7, 180, 13), Qt::black));  // progress line gone
    QVERIFY(QFile::exists(results_->filePath(INITIAL_RESULT_FILE)));
    QVERIFY(QFile::exists(results_->filePath(ALL_RESULT_FILE)));
  }

  void UnwritableResultFilesAreReportedOnceAtTheEndOfTheRun() {
    QVERIFY(SetParameters("0"));
    Trigger(CMD_BUILD_NETWORK);
    std::snprintf(g_state.result_directory, sizeof g_state.result_directory, "%s",
                  results_->filePath("missing/directory").toLocal8Bit().constData());
    const MessageBoxSeen seen = CatchMessageBoxes([&] {
      Trigger(CMD_EXECUTE_SIMULATION);
      QTRY_VERIFY_WITH_TIMEOUT(g_state.run_finished == 1 && window_->isEnabled(), kRunTimeoutMs);
    });
    QCOMPARE(seen.count, 1);
    QCOMPARE(seen.form, kErrorBox);
    QVERIFY2(seen.text.contains(INITIAL_RESULT_FILE), qPrintable(seen.text));
    QVERIFY(seen.enabled);
    QCOMPARE(seen.owner, window_.get());
    QVERIFY(!window_->Drawing()->ProgressShown());
  }
};

int RunWindowTests(int argc, char** argv) {
  WindowTest test;
  return QTest::qExec(&test, argc, argv);
}

}  // namespace veldaris::ui::qt

#include "window_test.moc"
