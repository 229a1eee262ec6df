// A row of equally sized small images addressed by index, as list cells and header items
// draw them before their text.
#pragma once

#include <QPixmap>
#include <QSize>
#include <vector>

class QPainter;
class QPoint;

namespace qs {

class ImageList {
 public:
  explicit ImageList(QSize image_size = QSize(16, 16));

  // Scales an image of another size to the list's size. Answers its index.
  int Add(const QPixmap& image);
  int Count() const { return static_cast<int>(images_.size()); }
  QSize ImageSize() const { return image_size_; }

  // The size of image `index`; an empty size when there is no such image.
  QSize ImageInfo(int index) const;

  // Draws the top-left `visible` part of image `index` with its top-left corner at `at`.
  // Transparent pixels show what is already there, which is the cell's background.
  void Draw(QPainter& painter, int index, const QPoint& at, const QSize& visible) const;

 private:
  QSize image_size_;
  std::vector<QPixmap> images_;
};

}  // namespace qs
