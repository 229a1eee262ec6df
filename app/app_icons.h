// The program's own icons: the window icon (also the about box's) and the tray icon, drawn as
// SVG and compiled into the program.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace qs {

QIcon WindowIcon();
QIcon TrayIconImage();
// The icon theme's folder, else the platform's (QFileIconProvider).
QIcon FolderIcon();
// The window icon at `size` × `size` pixels.
QPixmap WindowIconPixmap(int size);

}  // namespace qs
