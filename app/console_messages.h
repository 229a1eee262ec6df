// Message boxes for the terminal: messages go to standard error, questions are asked on the
// terminal and answered No when there is none to ask.
#pragma once

#include <cstdio>

#include "config/user_messages.h"

namespace qs {

class ConsoleMessages final : public UserMessages {
 public:
  ConsoleMessages(std::FILE* out = stderr, std::FILE* in = stdin);

  void ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon) override;
  bool AskYesNo(std::string_view text, std::string_view caption) override;

  int shown() const { return shown_; }

 private:
  std::FILE* out_;
  std::FILE* in_;
  int shown_ = 0;
};

}  // namespace qs
