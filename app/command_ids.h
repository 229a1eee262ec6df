// The main window's command identifiers and the texts of its string table. Buttons, both menus
// and the tray deliver the same numbers to MainWindow::OnCommand.
#pragma once

#include <QString>

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

// Control identifiers without a command of their own.
enum ControlId : int {
  kIdWatchList = 1001,
  kIdPostExecution = 1006,
  kIdCountdown = 1010,
  kIdStatus = 1011,
  kIdFileProgress = 1013,
};

inline constexpr int kTrayCallbackMessage = 0x8007;  // unused on Linux: clicks come as signals
inline constexpr int kTrayIconId = 138;              // also the tray menu's identifier

// The string table entry with number `id`; empty when there is none. A child control's
// tooltip is the entry of its own identifier. (The table's other entries have no use here: the
// sockets layer needs no start-up, the window manager's system menu takes no items, and the
// application title is kApplicationTitle.)
inline QString LoadString(int id) {
  switch (id) {
    case kIdPause:
      return QStringLiteral("Pause / unpause the countdown");
    default:
      return {};
  }
}

}  // namespace qs
