#include "app/console_messages.h"

#include <unistd.h>

#include <string>

namespace qs {

namespace {

// A box's text may span lines; on a terminal it reads better as one.
std::string OneLine(std::string_view text) {
  std::string line(text);
  for (char& c : line) {
    if (c == '\n')
      c = ' ';
  }
  return line;
}

}  // namespace

ConsoleMessages::ConsoleMessages(std::FILE* out, std::FILE* in) : out_(out), in_(in) {}

void ConsoleMessages::ShowMessage(std::string_view text, std::string_view /*caption*/,
                                  MessageIcon /*icon*/) {
  ++shown_;
  std::fprintf(out_, "quarrystream: %s\n", OneLine(text).c_str());
  std::fflush(out_);
}

bool ConsoleMessages::AskYesNo(std::string_view text, std::string_view /*caption*/) {
  if (in_ == nullptr || !isatty(fileno(in_))) {
    std::fprintf(out_, "quarrystream: %s No (no terminal to ask on)\n", OneLine(text).c_str());
    return false;
  }
  std::fprintf(out_, "%s [y/N] ", OneLine(text).c_str());
  std::fflush(out_);
  char answer[16] = {};
  if (std::fgets(answer, sizeof answer, in_) == nullptr)
    return false;
  return answer[0] == 'y' || answer[0] == 'Y';
}

}  // namespace qs
