#include "platform/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qs {
namespace {

using Args = std::vector<std::string>;

TEST(SplitCommandLine, SplitsAsWindowsDoes) {
  const std::pair<std::string, Args> cases[] = {
      {"", {}},
      {"prog a  b\t\tc  ", {"prog", "a", "b", "c"}},
      {R"("C:\Program Files\x.exe" a)", {R"(C:\Program Files\x.exe)", "a"}},
      // The program name knows no escapes, and what follows its closing quote is an argument.
      {R"("C:\dir\"x y)", {R"(C:\dir\)", "x", "y"}},
      {R"("C:\a b)", {R"(C:\a b)"}},
      {R"(C:\a\\"b c" d)", {R"(C:\a\\"b)", "c d"}},
      {R"(prog a"b c"d)", {"prog", "ab cd"}},
      {R"(prog a\b\\c\\\d\)", {"prog", R"(a\b\\c\\\d\)"}},
      {R"(prog a\"b)", {"prog", R"(a"b)"}},
      {R"(prog a\\"b c")", {"prog", R"(a\b c)"}},
      {R"(prog a\\\"b)", {"prog", R"(a\"b)"}},
      {R"(prog "a\\" b)", {"prog", R"(a\)", "b"}},
      {R"(prog "a\" b")", {"prog", R"(a" b)"}},
      {R"(prog "" "")", {"prog", "", ""}},
      {R"(prog "a""b c")", {"prog", R"(a"b c)"}},
      {R"(prog """")", {"prog", R"(")"}},
      {"  prog", {"", "prog"}}};

  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(SplitCommandLine(text), expected) << text;
  }
}

const char* const kNastyArguments[] = {
    " ",         "\\\\\"\\\\",          "\"\"",      "\\",        "\xff\xfe\x80 not utf-8",
    "\\\"",      "end blank\\",         "",          "\"",        "$(touch x) `id`",
    "a\"b\"\"c", "C:\\Program Files\\", "two words", "tab\there", "line\r\x0a break",
    "\\\\"};

TEST(EscapeForQuotes, TextBetweenQuotesSplitsBackUnchanged) {
  for (const std::string text : kNastyArguments) {
    // The companion line's form: a prefix glued to the opening quote.
    const std::string line = "prog /ADDRAR:\"" + EscapeForQuotes(text) + "\" next";
    EXPECT_EQ(SplitCommandLine(line), (Args{"prog", "/ADDRAR:" + text, "next"})) << line;
  }
}

}  // namespace
}  // namespace qs
