#include "widget_test_util.h"

#include <QPainter>
#include <QPixmap>
#include <QWidget>
#include <cstdlib>

#include "widgets/sys_colours.h"

namespace qs::test {
namespace {

bool IsNear(const QColor& a, const QColor& b, int tolerance) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance;
}

}  // namespace

QPalette DistinctPalette() {
  QPalette palette;
  const auto set = [&palette](QPalette::ColorRole role, QColor colour) {
    palette.setColor(QPalette::All, role, colour);
  };
  set(QPalette::Button, QColor(236, 233, 216));
  set(QPalette::Dark, QColor(128, 128, 128));
  set(QPalette::Light, QColor(252, 252, 240));
  set(QPalette::ButtonText, QColor(30, 30, 30));
  set(QPalette::Shadow, QColor(64, 64, 64));
  set(QPalette::Midlight, QColor(210, 210, 190));
  set(QPalette::Highlight, QColor(10, 36, 106));
  set(QPalette::HighlightedText, QColor(255, 255, 0));
  set(QPalette::Base, QColor(255, 255, 255));
  set(QPalette::Window, QColor(236, 233, 216));
  set(QPalette::Text, QColor(0, 0, 200));
  palette.setColor(QPalette::Disabled, QPalette::Text, QColor(160, 160, 150));
  return palette;
}

SysColours DistinctColours() {
  return SysColours::FromPalette(DistinctPalette());
}

QImage PaintToImage(const QSize& size, const QColor& background,
                    const std::function<void(QPainter&)>& paint) {
  QImage image(size, QImage::Format_ARGB32);
  image.fill(background);
  QPainter painter(&image);
  paint(painter);
  painter.end();
  return image;
}

QImage Grab(QWidget& widget) {
  return widget.grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

QColor Pixel(const QImage& image, int x, int y) {
  return image.pixelColor(x, y);
}

int CountNear(const QImage& image, const QRect& area, const QColor& colour, int tolerance) {
  int count = 0;
  const QRect clipped = area & image.rect();
  for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
    for (int x = clipped.left(); x <= clipped.right(); ++x) {
      count += IsNear(image.pixelColor(x, y), colour, tolerance) ? 1 : 0;
    }
  }
  return count;
}

QRect BoundsOfNear(const QImage& image, const QRect& area, const QColor& colour, int tolerance) {
  QRect bounds;
  const QRect clipped = area & image.rect();
  for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
    for (int x = clipped.left(); x <= clipped.right(); ++x) {
      if (IsNear(image.pixelColor(x, y), colour, tolerance)) {
        bounds |= QRect(x, y, 1, 1);
      }
    }
  }
  return bounds;
}

}  // namespace qs::test
