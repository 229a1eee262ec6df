// The main window's moves into and out of the notification area.
#include "app/main_window.h"

#include <QMenu>

#include "app/app_icons.h"
#include "app/command_ids.h"
#include "app/main_window_controls.h"
#include "widgets/tray_icon.h"

namespace qs {

bool MainWindow::IsHiddenInTray() const {
  return tray_->TrayWindowExists();
}

// Where the desktop has no tray, the icon cannot be made and CTrayIcon minimises the window
// instead, so that it stays reachable from the taskbar.
void MainWindow::HideToTray() {
  if (tray_->TrayWindowExists()) {
    return;
  }
  tray_->SetMenuLoader([](unsigned) { return LoadTrayMenu(); });
  tray_->CreateTray(nullptr, kTrayCallbackMessage,
                    QStringLiteral("This is a Tray Icon - Right click on me!"), TrayIconImage(),
                    kTrayIconId, false, QString(), QString(), 0, 10);
  tray_->SetDefaultMenuItem(0, true);
  tray_->HideWindowToTray(this, true);
}

void MainWindow::ShowFromTray() {
  if (!tray_->TrayWindowExists()) {
    return;
  }
  tray_->RestoreWindowFromTray(this, true);
  tray_->HideTrayIcon();
  tray_->DestroyTrayWindow();
}

}  // namespace qs
