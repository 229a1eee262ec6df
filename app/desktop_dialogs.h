// The desktop program's modal dialogs behind one interface: message boxes, the folder browser,
// the program chooser and the settings dialog. The program shows Qt dialogs; tests answer
// from a script.
//
// Thread contract: GUI thread only. Each call returns when the user has answered; the event
// loop keeps running meanwhile, so timers and worker messages are still handled.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "config/user_messages.h"

class QWidget;

namespace qs {

class DesktopDialogs : public UserMessages {
 public:
  // The window that owns the dialogs; null before the main window exists.
  virtual void SetOwner(QWidget* owner) = 0;
  // The folder browser with `prompt` as its title; empty when cancelled.
  virtual std::string BrowseForDirectory(std::string_view prompt) = 0;
  // The file-open dialog for a program; nullopt when cancelled.
  virtual std::optional<std::string> BrowseForProgram() = 0;
  // The settings dialog, modal. Nothing is re-read afterwards.
  virtual void RunSettingsDialog() = 0;
  // The about box, modal.
  virtual void RunAboutBox() = 0;
  // Closes every dialog still open as if it was cancelled, for the exit: each open call above
  // then returns its cancel answer once its own loop ends.
  virtual void CloseAll() = 0;
};

}  // namespace qs
