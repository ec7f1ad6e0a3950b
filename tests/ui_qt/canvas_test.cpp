// The QPainter canvas on an image: colours, line ends, wide pens, ellipse
// boxes, text placement and font, and the dialog-unit conversion.
#include <QImage>
#include <QPainter>
#include <QtTest>

#include "ui/qt/dialog_layout.h"
#include "ui/qt/qpainter_canvas.h"

namespace veldaris::ui::qt {

class CanvasTest : public QObject {
  Q_OBJECT

 private:
  QImage image_{120, 60, QImage::Format_RGB32};

  template <typename Draw>
  void Paint(Draw draw, QColor ground = Qt::white) {
    image_.fill(ground);
    QPainter painter(&image_);
    QPainterCanvas canvas(painter);
    draw(canvas);
  }
  QColor At(int x, int y) const { return image_.pixelColor(x, y); }

 private slots:
  void LinesLeaveOutTheirEndPixelAndWidePensKeepFlatRuns() {
    Paint([](Canvas& c) {
      c.SelectPen(BLUE, 1);
      c.MoveTo(10, 10);
      c.LineTo(20, 10);
      c.LineTo(20, 20);
      c.LineTo(20, 20);  // no length: nothing
      c.SelectPen(RED, 2);
      c.MoveTo(60, 10);
      c.LineTo(60, 30);
      c.MoveTo(90, 20);
      c.LineTo(90, 20);  // no length, but a wide pen leaves its end
    });
    const QColor blue(0, 0, 255);
    QCOMPARE(At(10, 10), blue);
    QCOMPARE(At(19, 10), blue);
    QCOMPARE(At(20, 10), blue);  // the corner: the start of the second line
    QCOMPARE(At(20, 19), blue);
    QCOMPARE(At(20, 20), QColor(Qt::white));
    int red_columns = 0;
    for (int x = 57; x <= 63; ++x) {
      red_columns += At(x, 20) == QColor(255, 0, 0) ? 1 : 0;
    }
    QCOMPARE(red_columns, 2);
    QCOMPARE(At(90, 20), QColor(255, 0, 0));
  }

  void EllipsesFillTheirBoxWithoutRightAndBottomEdge() {
    Paint([](Canvas& c) {
      c.SelectPen(GREEN, 1);
      c.SelectBrush(GREEN);
      c.Ellipse(30, 10, 40, 20);
    });
    const QColor green(0, 255, 0);
    for (const QPoint& p : {QPoint(35, 10), QPoint(30, 15), QPoint(39, 15), QPoint(35, 19), QPoint(35, 15)}) {
      QCOMPARE(At(p.x(), p.y()), green);
    }
    for (const QPoint& p : {QPoint(40, 15), QPoint(35, 20), QPoint(30, 10)}) {
      QCOMPARE(At(p.x(), p.y()), QColor(Qt::white));
    }
  }

  void TextHangsFromItsTopLeftCornerOnWhiteInTheGothicFont() {
    Paint(
        [](Canvas& c) {
          c.SelectFont();
          c.SelectPen(BLUE, 1);
          c.SetTextColor(RED);
          c.TextOut(20, 20, "HHH");
          c.MoveTo(0, 55);
          c.LineTo(100, 55);
        },
        Qt::gray);
    QRect ink;
    QRect white;
    for (int y = 0; y < 50; ++y) {
      for (int x = 0; x < image_.width(); ++x) {
        const QColor c = At(x, y);
        if (c.red() > 200 && c.green() < 80 && c.blue() < 80) {
          ink |= QRect(x, y, 1, 1);
        } else if (c == Qt::white) {
          white |= QRect(x, y, 1, 1);
        }
      }
    }
    QVERIFY(!ink.isEmpty());
    QCOMPARE(white.topLeft(), QPoint(20, 20));
    QVERIFY(white.contains(ink));
    QVERIFY(white.height() >= 13 && white.height() <= 18);
    QCOMPARE(At(50, 55), QColor(0, 0, 255));  // lines keep the pen, not the text colour

    const QFont font = PictureFont();
    QCOMPARE(font.pixelSize(), FONT_HEIGHT);
    QCOMPARE(static_cast<int>(font.weight()), FONT_WEIGHT);
    QVERIFY(font.family() == QString::fromUtf8(FONT_FACE) || font.family() == QString::fromUtf8(FONT_FALLBACK_FACE));
  }

  void DialogUnitsScaleByBaseUnitsRounded() {
    QCOMPARE(DialogUnitsToPixels({6, 13}, 116, 252, 50, 14), QRect(174, 410, 75, 23));
    QCOMPARE(DialogUnitsToPixels({7, 16}, 0, 0, 250, 273), QRect(0, 0, 438, 546));
  }
};

int RunCanvasTests(int argc, char** argv) {
  CanvasTest test;
  return QTest::qExec(&test, argc, argv);
}

}  // namespace veldaris::ui::qt

#include "canvas_test.moc"
