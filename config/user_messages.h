// How the core asks the front end to show a message box. The window shows a dialog, the headless
// runner prints a line. Called on the window's thread only.
#pragma once

#include <string_view>

namespace qs {

enum class MessageIcon { kNone, kInformation, kQuestion };

class UserMessages {
 public:
  virtual ~UserMessages() = default;
  // A box with an OK button; `caption` empty means the application title.
  virtual void ShowMessage(std::string_view text, std::string_view caption = {},
                           MessageIcon icon = MessageIcon::kNone) = 0;
  // A question with Yes and No; returns true for Yes.
  virtual bool AskYesNo(std::string_view text, std::string_view caption) = 0;
};

inline constexpr std::string_view kApplicationTitle = "Mirrowen";

}  // namespace qs
