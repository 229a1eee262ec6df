#include "widgets/image_list.h"

#include <QPainter>
#include <QPoint>
#include <algorithm>

namespace qs {

ImageList::ImageList(QSize image_size) : image_size_(image_size) {}

int ImageList::Add(const QPixmap& image) {
  images_.push_back(image.size() == image_size_ ? image
                                                : image.scaled(image_size_, Qt::IgnoreAspectRatio,
                                                               Qt::SmoothTransformation));
  return Count() - 1;
}

QSize ImageList::ImageInfo(int index) const {
  if (index < 0 || index >= Count()) {
    return QSize(0, 0);
  }
  return image_size_;
}

void ImageList::Draw(QPainter& painter, int index, const QPoint& at, const QSize& visible) const {
  if (index < 0 || index >= Count()) {
    return;
  }
  const int width = std::min(visible.width(), image_size_.width());
  const int height = std::min(visible.height(), image_size_.height());
  if (width <= 0 || height <= 0) {
    return;
  }
  painter.drawPixmap(at, images_[static_cast<size_t>(index)], QRect(0, 0, width, height));
}

}  // namespace qs
