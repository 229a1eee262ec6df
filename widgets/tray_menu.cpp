#include "widgets/tray_menu.h"

#include <QAction>
#include <QMenu>
#include <QString>

namespace qs {

std::unique_ptr<QMenu> LoadTrayMenu(unsigned menu_id) {
  if (menu_id != kTrayMenuId) {
    return nullptr;
  }
  struct Item {
    const char* text;  // null: separator
    unsigned command;
  };
  static constexpr Item kItems[] = {
      {"Show window", kCmdShowWindow},
      {"Add directory", kCmdAddDirectory},
      {nullptr, 0},
      {"Force start scan", kCmdForceStartScan},
      {"Force stop scan", kCmdForceStopScan},
      {nullptr, 0},
      {"Settings", kCmdSettings},
      {nullptr, 0},
      {"Quit", kCmdQuit},
  };
  auto menu = std::make_unique<QMenu>(QStringLiteral("This menu will pop up for the tray"));
  for (const Item& item : kItems) {
    if (item.text == nullptr) {
      menu->addSeparator();
    } else {
      menu->addAction(QString::fromLatin1(item.text))->setData(item.command);
    }
  }
  return menu;
}

}  // namespace qs
