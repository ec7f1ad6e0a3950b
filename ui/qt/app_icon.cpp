// The Qt program's 32 x 32 icon in the 16 standard colours.
#include "ui/qt/app_icon.h"

#include <QPainter>
#include <QPixmap>
#include <QVector>
#include <array>
#include <cmath>

namespace veldaris::ui::qt {

namespace {

// The 16 colours of the standard palette.
QVector<QRgb> SixteenColourPalette() {
  return {qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
          qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
          qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
          qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};
}

}  // namespace

QImage AppIconImage() {
  QImage image(ICON_SIZE, ICON_SIZE, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    constexpr int kNodes = 8;
    constexpr double kCentre = 15.5;
    constexpr double kRadius = 11.0;
    std::array<QPoint, kNodes> nodes;
    for (int i = 0; i < kNodes; ++i) {
      const double angle = 2.0 * M_PI * i / kNodes;
      nodes[static_cast<size_t>(i)] = QPoint(static_cast<int>(std::lround(kCentre + kRadius * std::sin(angle))),
                                             static_cast<int>(std::lround(kCentre - kRadius * std::cos(angle))));
    }
    const QPoint hub(16, 16);
    // Links: the ring, one shortcut across it and every second group to the hub.
    painter.setPen(QPen(Qt::green, 1));
    for (int i = 0; i < kNodes; ++i) {
      painter.drawLine(nodes[static_cast<size_t>(i)], nodes[static_cast<size_t>((i + 1) % kNodes)]);
      if (i % 2 == 0) {
        painter.drawLine(nodes[static_cast<size_t>(i)], hub);
      }
    }
    painter.drawLine(nodes[1], nodes[5]);
    // Groups.
    painter.setPen(QPen(Qt::red, 1));
    painter.setBrush(Qt::red);
    for (const QPoint& node : nodes) {
      painter.drawRect(node.x() - 1, node.y() - 1, 2, 2);
    }
    painter.setPen(QPen(Qt::blue, 1));
    painter.setBrush(Qt::blue);
    painter.drawRect(hub.x() - 2, hub.y() - 2, 3, 3);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(0, 0, ICON_SIZE - 1, ICON_SIZE - 1);
  }
  return image.convertToFormat(QImage::Format_Indexed8, SixteenColourPalette(), Qt::ThresholdDither);
}

QIcon AppIcon() { return QIcon(QPixmap::fromImage(AppIconImage())); }

}  // namespace veldaris::ui::qt
