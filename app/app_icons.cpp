#include "app/app_icons.h"

#include <QFileIconProvider>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>

namespace qs {

namespace {

// Rendered here rather than left to an icon-engine plug-in, which an installation may lack.
QPixmap Render(const QString& path, int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QSvgRenderer renderer(path);
  QPainter painter(&pixmap);
  renderer.render(&painter);
  return pixmap;
}

QIcon IconAtSizes(const QString& path) {
  QIcon icon;
  for (const int size : {16, 22, 24, 32, 48, 64}) {
    icon.addPixmap(Render(path, size));
  }
  return icon;
}

}  // namespace

QIcon WindowIcon() {
  return IconAtSizes(QStringLiteral(":/app/quarrystream.svg"));
}

QIcon TrayIconImage() {
  return IconAtSizes(QStringLiteral(":/app/tray_icon.svg"));
}

QIcon FolderIcon() {
  return QIcon::fromTheme(QStringLiteral("folder"),
                          QFileIconProvider().icon(QFileIconProvider::Folder));
}

QPixmap WindowIconPixmap(int size) {
  return Render(QStringLiteral(":/app/quarrystream.svg"), size);
}

}  // namespace qs
