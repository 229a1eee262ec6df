// Helpers for the pixel tests of the widgets: a palette whose roles all differ, painting
// into an image, and counting pixels.
#pragma once

#include <QColor>
#include <QImage>
#include <QPalette>
#include <QRect>
#include <functional>

class QPainter;
class QWidget;

namespace qs {

struct SysColours;

namespace test {

// Every colour role the widgets read has its own value, so a pixel tells which role it is.
QPalette DistinctPalette();
SysColours DistinctColours();

// An image of `size` filled with `background`, then painted by `paint`.
QImage PaintToImage(const QSize& size, const QColor& background,
                    const std::function<void(QPainter&)>& paint);

QImage Grab(QWidget& widget);

QColor Pixel(const QImage& image, int x, int y);

// Pixels in `area` whose colour lies within `tolerance` (per channel) of `colour`.
int CountNear(const QImage& image, const QRect& area, const QColor& colour, int tolerance = 60);

// Bounding box of the pixels in `area` near `colour`; empty when there are none.
QRect BoundsOfNear(const QImage& image, const QRect& area, const QColor& colour,
                   int tolerance = 60);

}  // namespace test
}  // namespace qs
