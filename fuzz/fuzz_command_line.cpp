// The Windows command-line splitter that StartCommandLine uses, on any bytes: it never crashes,
// an unquoted program is only ever a prefix of the line, and arguments quoted by QuoteArgument
// (or escaped by EscapeForQuotes) split back unchanged whatever they hold.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using qs::fuzz::Require;
  const std::string_view text = qs::fuzz::AsText(data, size);
  const std::vector<std::string> split = qs::SplitCommandLine(text);
  std::size_t kept = 0;
  for (const std::string& argument : split) {
    kept += argument.size();
  }
  Require(kept <= text.size(), "splitting never adds text");
  Require(qs::SplitArguments(text).size() <= text.size() / 2 + 1, "arguments need blanks between");

  // StartCommandLine's program search, with "executable" meaning one chosen length.
  const std::size_t program_length = size == 0 ? 0 : data[0] % 32;
  std::size_t tries = 0;
  const std::vector<std::string> resolved =
      qs::ResolveCommandLine(text, [&](const std::string& candidate) {
        ++tries;
        return candidate.size() == program_length;
      });
  Require(tries <= 4096 + 1, "the search stops within the path limit");
  std::string_view trimmed = text;
  while (!trimmed.empty() && (trimmed.front() == ' ' || trimmed.front() == '\t')) {
    trimmed.remove_prefix(1);
  }
  if (!resolved.empty() && !trimmed.empty() && trimmed.front() != '"') {
    Require(resolved.front().size() == program_length && trimmed.starts_with(resolved.front()),
            "an unquoted program is a prefix of the line");
  }

  // The input as NUL-separated arguments: quoted, they come back unchanged.
  std::vector<std::string> arguments(1);
  for (const char c : text) {
    if (c == '\0') {
      arguments.emplace_back();
    } else {
      arguments.back().push_back(c);
    }
  }
  std::string line = "program";
  for (const std::string& argument : arguments) {
    Require(qs::SplitArguments(qs::QuoteArgument(argument)) == std::vector<std::string>{argument},
            "a quoted argument splits back");
    Require(qs::SplitArguments("\"" + qs::EscapeForQuotes(argument) + "\"") ==
                std::vector<std::string>{argument},
            "an escaped argument splits back");
    line += ' ';
    line += qs::QuoteArgument(argument);
  }
  std::vector<std::string> expected{"program"};
  expected.insert(expected.end(), arguments.begin(), arguments.end());
  Require(qs::SplitCommandLine(line) == expected, "a quoted line splits back");
  return 0;
}
