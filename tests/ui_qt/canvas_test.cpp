// The QPainter canvas on an image: colours, line ends, wide pens, ellipse
// boxes, text placement and font, and the dialog-unit conversion.
#include <QImage>
#include <QPainter>
#include <QtTest>
#include <tuple>

#include "ui/qt/dialog_layout.h"
#include "ui/qt/qpainter_canvas.h"

namespace veldaris::ui::qt {

class CanvasTest : public QObject {
  Q_OBJECT

 private slots:
  void StrokesEllipsesAndTextCoverTheirPixels() {
    QImage image(120, 60, QImage::Format_RGB32);
    image.fill(Qt::gray);
    {
      QPainter painter(&image);
      QPainterCanvas c(painter);
      c.SelectPen(BLUE, 1);
      c.SelectFont();
      c.SetTextColor(RED);
      c.TextOut(5, 5, "HHH");
      c.MoveTo(40, 10);  // lines keep the pen, not the text colour, and leave out their end pixel
      c.LineTo(50, 10);
      c.LineTo(50, 20);
      c.LineTo(50, 20);  // no length: nothing
      c.SelectPen(RED, 2);
      c.MoveTo(70, 10);
      c.LineTo(70, 30);
      c.MoveTo(90, 20);
      c.LineTo(90, 20);  // no length, but a wide pen leaves its end
      c.SelectPen(GREEN, 1);
      c.SelectBrush(GREEN);
      c.Ellipse(30, 40, 40, 50);  // the box without its right and bottom edge
    }
    const QColor blue(0, 0, 255), red(255, 0, 0), green(0, 255, 0), gray(Qt::gray);
    for (const auto& [x, y, colour] : {std::tuple(40, 10, blue),
                                       {49, 10, blue},
                                       {50, 10, blue},
                                       {50, 19, blue},
                                       {50, 20, gray},
                                       {90, 20, red},
                                       {35, 40, green},
                                       {30, 45, green},
                                       {39, 45, green},
                                       {35, 49, green},
                                       {40, 45, gray},
                                       {35, 50, gray}}) {
      QCOMPARE(image.pixelColor(x, y), colour);
    }
    int red_columns = 0;
    for (int x = 67; x <= 73; ++x) red_columns += image.pixelColor(x, 20) == red ? 1 : 0;
    QCOMPARE(red_columns, 2);

    QRect ink, white;  // the text hangs from its top-left corner on white
    for (int y = 0; y < 35; ++y) {
      for (int x = 0; x < 35; ++x) {
        const QColor c = image.pixelColor(x, y);
        if (c.red() > 200 && c.green() < 80 && c.blue() < 80) ink |= QRect(x, y, 1, 1);
        if (c == Qt::white) white |= QRect(x, y, 1, 1);
      }
    }
    QVERIFY(!ink.isEmpty() && white.contains(ink));
    QCOMPARE(white.topLeft(), QPoint(5, 5));
    QVERIFY(white.height() >= 13 && white.height() <= 18);
    QCOMPARE(PictureFont().pixelSize(), FONT_HEIGHT);
    QVERIFY(PictureFont().family() == FONT_FACE || PictureFont().family() == FONT_FALLBACK_FACE);
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
