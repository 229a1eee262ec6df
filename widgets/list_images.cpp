#include "widgets/list_images.h"

#include <QPainter>
#include <QPixmap>
#include <QString>
#include <QSvgRenderer>

#include "widgets/image_list.h"

namespace qs {
namespace {

QPixmap RenderSvg(const QString& path, const QSize& size) {
  QPixmap pixmap(size);
  pixmap.fill(Qt::transparent);
  QSvgRenderer renderer(path);
  QPainter painter(&pixmap);
  renderer.render(&painter);
  return pixmap;
}

}  // namespace

void LoadListImages(ImageList& images) {
  static const char* const kFiles[] = {"list_blank.svg", "list_box_unchecked.svg",
                                       "list_box_checked.svg", "list_folder.svg"};
  for (const char* file : kFiles) {
    images.Add(
        RenderSvg(QStringLiteral(":/widgets/") + QString::fromLatin1(file), images.ImageSize()));
  }
}

}  // namespace qs
