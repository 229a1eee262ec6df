// The main window's controls and menus, each at the rectangle its dialog units give it.
#pragma once

#include <QString>
#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QProgressBar;
class QPushButton;
class QWidget;

namespace qs {

class CCellListCtrl;
class DialogUnits;

struct MainWindowControls {
  CCellListCtrl* list = nullptr;  // 1001
  QPushButton* add = nullptr;     // 1002
  QPushButton* remove = nullptr;  // 1003
  QLabel* file_progress_label = nullptr;
  QProgressBar* file_progress = nullptr;  // 1013
  QLabel* note = nullptr;
  QLabel* post_execution_label = nullptr;
  QLineEdit* post_execution = nullptr;  // 1006
  QPushButton* browse = nullptr;        // 1007
  QLabel* countdown_label = nullptr;
  QLineEdit* countdown = nullptr;  // 1010
  QPushButton* pause = nullptr;    // 3
  QLabel* status_label = nullptr;
  QLineEdit* status = nullptr;  // 1011
  QPushButton* quit = nullptr;  // 2
  QPushButton* hide = nullptr;  // 1009
};

// The greyed note above the post-execution field, with its two blanks before "it".
extern const QString kPostExecutionNote;

// Creates every control on `client` in the order of the dialog template (which is also the
// tab order). Buttons deliver their identifier to `on_command`; none is a default button, so
// Enter presses nothing.
MainWindowControls CreateMainWindowControls(QWidget* client, const DialogUnits& units,
                                            const std::function<void(int)>& on_command);

// The menu bar: "File" and "Help".
QMenuBar* CreateMainMenu(QWidget* parent, const std::function<void(int)>& on_command);

// The tray icon's menu: "Show window" first, each item's command in its action's data
// (unsigned).
std::unique_ptr<QMenu> LoadTrayMenu();

}  // namespace qs
