#include "platform/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qs {
namespace {

using Args = std::vector<std::string>;

struct SplitCase {
  const char* text;
  Args expected;
};

class SplitCommandLineTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLineTest, SplitsAsWindowsDoes) {
  EXPECT_EQ(SplitCommandLine(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, SplitCommandLineTest,
    ::testing::Values(
        SplitCase{"", {}}, SplitCase{"prog", {"prog"}},
        SplitCase{"prog a  b\t\tc  ", {"prog", "a", "b", "c"}},
        SplitCase{R"("C:\Program Files\x.exe" a)", {R"(C:\Program Files\x.exe)", "a"}},
        // The program name knows no escapes, and what follows its closing quote is an argument.
        SplitCase{R"("C:\dir\"x y)", {R"(C:\dir\)", "x", "y"}},
        SplitCase{R"("C:\a b)", {R"(C:\a b)"}},
        SplitCase{R"(C:\a\\"b c" d)", {R"(C:\a\\"b)", "c d"}},
        SplitCase{R"(prog "a b" c)", {"prog", "a b", "c"}},
        SplitCase{R"(prog a"b c"d)", {"prog", "ab cd"}},
        SplitCase{R"(prog "unterminated  arg)", {"prog", "unterminated  arg"}},
        SplitCase{R"(prog a\b\\c\\\d\)", {"prog", R"(a\b\\c\\\d\)"}},
        SplitCase{R"(prog a\"b)", {"prog", R"(a"b)"}},
        SplitCase{R"(prog a\\"b c")", {"prog", R"(a\b c)"}},
        SplitCase{R"(prog a\\\"b)", {"prog", R"(a\"b)"}},
        SplitCase{R"(prog a\\\\"b c")", {"prog", R"(a\\b c)"}},
        SplitCase{R"(prog "a\\" b)", {"prog", R"(a\)", "b"}},
        SplitCase{R"(prog "a\" b")", {"prog", R"(a" b)"}},
        SplitCase{R"(prog \"a b\")", {"prog", R"("a)", R"(b")"}},
        SplitCase{R"(prog "" "")", {"prog", "", ""}}, SplitCase{R"(prog "")", {"prog", ""}},
        SplitCase{R"(prog "a""b")", {"prog", R"(a"b)"}},
        SplitCase{R"(prog "a""b c")", {"prog", R"(a"b c)"}},
        SplitCase{R"(prog """")", {"prog", R"(")"}}, SplitCase{R"(prog a""b)", {"prog", "ab"}},
        SplitCase{"prog \"tab\tinside\"\tnext", {"prog", "tab\tinside", "next"}},
        SplitCase{"prog line\nbreak", {"prog", "line\nbreak"}}, SplitCase{"  prog", {"", "prog"}},
        SplitCase{R"("" a)", {"", "a"}},
        SplitCase{
            R"(mirrowen /ADDRAR:"/in/set/x.part01.rar" /DESTINATION:"/out/set/" /TOTRAY)",
            {"mirrowen", "/ADDRAR:/in/set/x.part01.rar", "/DESTINATION:/out/set/", "/TOTRAY"}}));

const char* const kNastyArguments[] = {
    "",
    " ",
    "plain",
    "two words",
    "tab\there",
    "\"",
    "\"\"",
    "\"quoted\"",
    "a\"b\"\"c",
    "\\",
    "\\\\",
    "trailing\\",
    "trailing space\\",
    "C:\\Program Files\\",
    "\\\"",
    "\\\\\"\\\\",
    "$(touch x)",
    "`id`; rm -rf / && echo |cat",
    "line\nbreak\r\n",
    "\xff\xfe\x80 not utf-8",
    "%1 %2 %3",
    "'single' \"double\"",
};

TEST(QuoteArgumentTest, EveryArgumentSplitsBackUnchanged) {
  for (const std::string argument : kNastyArguments) {
    for (const std::string neighbour : kNastyArguments) {
      const std::string line =
          "prog " + QuoteArgument(argument) + " " + QuoteArgument(neighbour) + "\t";
      EXPECT_EQ(SplitCommandLine(line), (Args{"prog", argument, neighbour})) << line;
    }
  }
}

TEST(QuoteArgumentTest, SimpleArgumentsStayBare) {
  EXPECT_EQ(QuoteArgument("plain"), "plain");
  EXPECT_EQ(QuoteArgument(R"(C:\dir\)"), R"(C:\dir\)");
  EXPECT_EQ(QuoteArgument("two words"), "\"two words\"");
  EXPECT_EQ(QuoteArgument(""), "\"\"");
}

TEST(EscapeForQuotesTest, TextBetweenQuotesSplitsBackUnchanged) {
  for (const std::string text : kNastyArguments) {
    // The companion line's form: a prefix glued to the opening quote.
    const std::string line = "prog /ADDRAR:\"" + EscapeForQuotes(text) + "\" next";
    EXPECT_EQ(SplitCommandLine(line), (Args{"prog", "/ADDRAR:" + text, "next"})) << line;
  }
  EXPECT_EQ(EscapeForQuotes(R"(a\b)"), R"(a\b)");
  EXPECT_EQ(EscapeForQuotes(R"(a\)"), R"(a\\)");
  EXPECT_EQ(EscapeForQuotes(R"(a\"b)"), R"(a\\\"b)");
}

}  // namespace
}  // namespace qs
