// The main window's command identifiers. Buttons, both menus and the tray deliver the same
// numbers to MainWindow::OnCommand.
#pragma once

namespace qs {

enum CommandId : int {
  kIdOk = 1,      // Enter: does nothing
  kIdCancel = 2,  // Quit, Escape, the close box, a forwarded close
  kIdPause = 3,   // "P"
  kIdAddDirectory = 1002,
  kIdRemove = 1003,
  kIdBrowseProgram = 1007,  // "..."
  kIdHide = 1009,
  kIdSettings = 32771,
  kIdShowWindow = 32772,
  kIdForceStartScan = 32773,
  kIdForceStopScan = 32774,
  kIdAbout = 57664,
  kIdSystemAbout = 0x0010,  // the system-menu item
};

inline constexpr int kTrayCallbackMessage = 0x8007;  // unused on Linux: clicks come as signals
inline constexpr int kTrayIconId = 138;              // also the tray menu's identifier

}  // namespace qs
