// The tray icon's menu (id 138) and the commands it sends to the main window.
#pragma once

#include <memory>

class QMenu;

namespace qs {

inline constexpr unsigned kTrayMenuId = 138;

inline constexpr unsigned kCmdQuit = 2;
inline constexpr unsigned kCmdAddDirectory = 1002;
inline constexpr unsigned kCmdSettings = 32771;
inline constexpr unsigned kCmdShowWindow = 32772;
inline constexpr unsigned kCmdForceStartScan = 32773;
inline constexpr unsigned kCmdForceStopScan = 32774;

// The pop-up of menu `menu_id`, each item's command in its action's data (unsigned); null for
// a menu this program does not have. Separators hold positions like items do.
std::unique_ptr<QMenu> LoadTrayMenu(unsigned menu_id);

}  // namespace qs
