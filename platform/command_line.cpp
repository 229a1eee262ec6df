#include "platform/command_line.h"

namespace qs {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

// The arguments follow the C runtime of Visual C++ 2008 and later (the rules CommandLineToArgvW
// shares): 2n backslashes and a quote give n backslashes and toggle quoting; 2n+1 backslashes
// and a quote give n backslashes and a literal quote; other backslashes are literal; inside
// quotes a doubled quote gives a literal quote and quoting goes on. (Older runtimes ended the
// quoting after such a pair; QuoteArgument never writes one, so its output splits the same
// under both.)
std::vector<std::string> SplitArguments(std::string_view text) {
  std::vector<std::string> arguments;
  std::size_t i = 0;
  const std::size_t n = text.size();
  for (;;) {
    while (i < n && IsBlank(text[i])) {
      ++i;
    }
    if (i == n) {
      return arguments;
    }
    std::string argument;
    bool quoted = false;
    for (;;) {
      bool copy = true;
      std::size_t backslashes = 0;
      while (i < n && text[i] == '\\') {
        ++i;
        ++backslashes;
      }
      if (i < n && text[i] == '"') {
        if (backslashes % 2 == 0) {
          if (quoted && i + 1 < n && text[i + 1] == '"') {
            ++i;  // the second quote of the pair is copied
          } else {
            copy = false;
            quoted = !quoted;
          }
        }
        backslashes /= 2;
      }
      argument.append(backslashes, '\\');
      if (i == n || (!quoted && IsBlank(text[i]))) {
        break;
      }
      if (copy) {
        argument.push_back(text[i]);
      }
      ++i;
    }
    arguments.push_back(std::move(argument));
  }
}

std::vector<std::string> SplitCommandLine(std::string_view text) {
  if (text.empty()) {
    return {};
  }
  // The program name has a rule of its own: a quoted name runs to the next quote with no
  // escapes (a path never holds a quote on Windows), an unquoted one to the first blank.
  std::size_t end = 0;
  std::string program;
  if (text.front() == '"') {
    end = text.find('"', 1);
    if (end == std::string_view::npos) {
      end = text.size();
    }
    program = std::string(text.substr(1, end - 1));
    if (end < text.size()) {
      ++end;
    }
  } else {
    while (end < text.size() && !IsBlank(text[end])) {
      ++end;
    }
    program = std::string(text.substr(0, end));
  }
  std::vector<std::string> result{std::move(program)};
  for (auto& argument : SplitArguments(text.substr(end))) {
    result.push_back(std::move(argument));
  }
  return result;
}

std::string EscapeForQuotes(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size() + 2);
  std::size_t backslashes = 0;
  for (const char c : text) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      // Each backslash doubled, plus one for the quote itself.
      escaped.append(backslashes * 2 + 1, '\\');
    } else {
      escaped.append(backslashes, '\\');
    }
    backslashes = 0;
    escaped.push_back(c);
  }
  // The closing quote that follows must not be escaped by trailing backslashes.
  escaped.append(backslashes * 2, '\\');
  return escaped;
}

std::string QuoteArgument(std::string_view argument) {
  if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string_view::npos) {
    return std::string(argument);
  }
  return '"' + EscapeForQuotes(argument) + '"';
}

}  // namespace qs
