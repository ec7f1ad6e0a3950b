// The main window's outer size, frame included, under a real window manager
// (openbox) on an X display: the frame is fitted when the manager already runs
// at the show and when it starts only after the window is on screen, and a
// later resize stays. The frame extents are read back from the window manager
// itself (_NET_FRAME_EXTENTS), not only from Qt.
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QWidget>
#include <QWindow>
#include <QtTest>
#include <memory>

#include "ui/qt/main_window.h"
#include "ui/run_control.h"

namespace veldaris::ui::qt {

namespace {

constexpr int kFitTimeoutMs = 10000;
const QSize kOuter(WINDOW_WIDTH, WINDOW_HEIGHT);

// Output of the X tool with the arguments; empty when it failed.
QString Run(const char* tool, const QStringList& arguments) {
  QProcess process;
  process.start(QString::fromUtf8(tool), arguments);
  if (!process.waitForFinished(5000) || process.exitCode() != 0) {
    return {};
  }
  return QString::fromLocal8Bit(process.readAllStandardOutput());
}

QString Id(const QWidget& window) { return QString::number(window.winId()); }

// The frame around the window as the window manager publishes it (left +
// right, top + bottom); an empty size when it has published none.
QSize PublishedFrame(const QWidget& window) {
  const QString out = Run(VELDARIS_XPROP, {QStringLiteral("-id"), Id(window), QStringLiteral("_NET_FRAME_EXTENTS")});
  const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("= (\\d+), (\\d+), (\\d+), (\\d+)")).match(out);
  if (!m.hasMatch()) {
    return {};
  }
  return QSize(m.captured(1).toInt() + m.captured(2).toInt(), m.captured(3).toInt() + m.captured(4).toInt());
}

// The size of the window inside the frame, as the X server has it.
QSize ServerSize(const QWidget& window) {
  const QString out = Run(VELDARIS_XWININFO, {QStringLiteral("-id"), Id(window)});
  const QRegularExpressionMatch width = QRegularExpression(QStringLiteral("Width: (\\d+)")).match(out);
  const QRegularExpressionMatch height = QRegularExpression(QStringLiteral("Height: (\\d+)")).match(out);
  if (!width.hasMatch() || !height.hasMatch()) {
    return {};
  }
  return QSize(width.captured(1).toInt(), height.captured(1).toInt());
}

}  // namespace

class FrameSizeTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir ready_dir_;
  int managers_started_ = 0;
  std::unique_ptr<QProcess> manager_;

  // Starts openbox and waits until it has taken the display and finished its
  // start-up (it runs the start-up command last).
  bool StartWindowManager() {
    const QString ready = ready_dir_.filePath(QStringLiteral("ready-%1").arg(++managers_started_));
    manager_ = std::make_unique<QProcess>();
    manager_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    manager_->start(QStringLiteral(VELDARIS_OPENBOX),
                    {QStringLiteral("--sm-disable"), QStringLiteral("--startup"), QStringLiteral("touch ") + ready});
    if (!manager_->waitForStarted(5000)) {
      return false;
    }
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 10000) {
      if (QFile::exists(ready) &&
          Run(VELDARIS_XPROP, {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")}).contains(u'#')) {
        return true;
      }
      QTest::qWait(50);
    }
    return false;
  }

  // The window and the frame the window manager published measure the outer
  // size on the X server, and Qt has the same outer size.
  static void CheckOuterSize(const QWidget& window) {
    QTRY_VERIFY2_WITH_TIMEOUT(!PublishedFrame(window).isEmpty(), "the window manager published no frame",
                              kFitTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(ServerSize(window) + PublishedFrame(window), kOuter, kFitTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(window.windowHandle()->frameGeometry().size(), kOuter, kFitTimeoutMs);
  }

 private slots:
  void cleanup() {
    if (manager_) {
      manager_->terminate();
      QVERIFY(manager_->waitForFinished(5000));
      manager_.reset();
    }
  }

  void OuterSizeIncludesTheFrameOfARunningWindowManager() {
    QVERIFY(StartWindowManager());
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window, kFitTimeoutMs));
    CheckOuterSize(window);

    // A resize after the fit (as the user makes one) is left alone.
    const QSize chosen(600, 450);
    window.resize(chosen);
    QTRY_COMPARE_WITH_TIMEOUT(ServerSize(window), chosen, kFitTimeoutMs);
    QTest::qWait(3000);  // past the time the frame is polled after the show
    QCOMPARE(ServerSize(window), chosen);
  }

  void OuterSizeIncludesAFrameThatComesAfterTheShow() {
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window, kFitTimeoutMs));
    QTest::qWait(3000);                    // past the time the frame is polled after the show
    QCOMPARE(ServerSize(window), kOuter);  // no frame yet: nothing to take off
    QVERIFY(StartWindowManager());
    CheckOuterSize(window);
  }
};

}  // namespace veldaris::ui::qt

QTEST_MAIN(veldaris::ui::qt::FrameSizeTest)
#include "frame_size_test.moc"
