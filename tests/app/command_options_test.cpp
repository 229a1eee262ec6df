#include "app/command_options.h"

#include <gtest/gtest.h>

namespace qs {
namespace {

ParseResult Parse(std::vector<std::string> arguments) {
  return ParseCommandOptions(arguments);
}

TEST(CommandOptions, ModesAndTheirArguments) {
  auto add = Parse({"--profile", "/p", "--add", "/in dir", "/out"});
  ASSERT_TRUE(add.ok) << add.error;
  EXPECT_EQ(add.options.mode, RunMode::kAdd);
  EXPECT_EQ(add.options.profile, "/p");
  EXPECT_EQ(add.options.source, "/in dir");
  EXPECT_EQ(add.options.destination, "/out");

  auto include = Parse({"--include", "3", "0", "--profile=/q"});
  ASSERT_TRUE(include.ok) << include.error;
  EXPECT_EQ(include.options.mode, RunMode::kInclude);
  EXPECT_EQ(include.options.row, 3u);
  EXPECT_EQ(include.options.include, 0);
  EXPECT_EQ(include.options.profile, "/q");

  auto set = Parse({"--set", "ReScan=60", "PostExecution=a --b", "--profile", "/p"});
  ASSERT_TRUE(set.ok) << set.error;
  EXPECT_EQ(set.options.assignments,
            (std::vector<std::string>{"ReScan=60", "PostExecution=a --b"}));
  EXPECT_EQ(set.options.profile, "/p");
  const std::pair<const char*, RunMode> modes[] = {
      {"--scan-once", RunMode::kScanOnce}, {"--headless", RunMode::kHeadless},
      {"--status", RunMode::kStatus},      {"--settings", RunMode::kSettings},
      {"--list", RunMode::kList},          {"-h", RunMode::kHelp},
      {"--version", RunMode::kVersion},    {"-V", RunMode::kVersion}};
  for (const auto& [option, mode] : modes) {
    EXPECT_EQ(Parse({option, option}).options.mode, mode) << option;  // repeated: still one
  }
}

TEST(CommandOptions, DesktopTakesTheRestAsItsCommandText) {
  auto parsed = Parse({"/ADDDIR:\"/home/me/My", "Files\""});
  ASSERT_TRUE(parsed.ok);
  EXPECT_EQ(parsed.options.mode, RunMode::kDesktop);
  EXPECT_EQ(parsed.options.desktop_command, "/ADDDIR:\"/home/me/My Files\"");
  EXPECT_TRUE(Parse({}).ok);
}

TEST(CommandOptions, BadUsageIsRefusedWithAMessage) {
  const std::vector<std::vector<std::string>> bad = {
      {"--add", "/in"},    {"--add", "", "/out"},
      {"--remove"},        {"--remove", "x"},
      {"--remove", "-1"},  {"--remove", "1x"},
      {"--include", "1"},  {"--include", "1", "2"},
      {"--profile"},       {"--profile="},
      {"--frobnicate"},    {"--list", "--scan-once"},
      {"--list", "stray"}, {"--set"},
      {"--set", "ReScan"},
  };
  for (const auto& arguments : bad) {
    const auto parsed = ParseCommandOptions(arguments);
    EXPECT_FALSE(parsed.ok) << arguments.front();
    EXPECT_FALSE(parsed.error.empty()) << arguments.front();
  }
}

}  // namespace
}  // namespace qs
