// The desktop program's dialogs as Qt shows them: QMessageBox with the designed texts, buttons,
// icons and captions, and Qt's own file dialog for folders and programs (executable files or
// all files).
#pragma once

#include <functional>

#include "app/desktop_dialogs.h"

namespace qs {

class QtDesktopDialogs final : public DesktopDialogs {
 public:
  // `settings_dialog` runs the settings dialog over the given owner; null shows nothing.
  explicit QtDesktopDialogs(std::function<void(QWidget*)> settings_dialog = {});

  void SetOwner(QWidget* owner) override { owner_ = owner; }
  void ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon) override;
  bool AskYesNo(std::string_view text, std::string_view caption) override;
  std::string BrowseForDirectory(std::string_view prompt) override;
  std::optional<std::string> BrowseForProgram() override;
  void RunSettingsDialog() override;
  void RunAboutBox() override;
  void CloseAll() override;

 private:
  QWidget* owner_ = nullptr;
  std::function<void(QWidget*)> settings_dialog_;
};

}  // namespace qs
