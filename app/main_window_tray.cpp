// The main window's way into and out of the notification area.
#include "app/main_window.h"

namespace qs {

bool MainWindow::IsHiddenInTray() const {
  return false;
}

void MainWindow::HideToTray() {
  showMinimized();
}

void MainWindow::ShowFromTray() {}

}  // namespace qs
