#include "config/add_dir_command.h"

#include <gtest/gtest.h>

namespace qs {
namespace {

struct CommandCase {
  const char* text;
  std::optional<std::string> path;
};

class ParseAddDirCommandTest : public ::testing::TestWithParam<CommandCase> {};

TEST_P(ParseAddDirCommandTest, TakesEverythingAfterTheFirstMarkerWithoutQuotes) {
  EXPECT_EQ(ParseAddDirCommand(GetParam().text), GetParam().path) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseAddDirCommandTest,
    ::testing::Values(CommandCase{"", std::nullopt}, CommandCase{"/home/me/in", std::nullopt},
                      CommandCase{"/adddir:/x", std::nullopt}, CommandCase{"/ADDDIR", std::nullopt},
                      CommandCase{"/ADDDIR:", ""}, CommandCase{"/ADDDIR:\"\"", ""},
                      CommandCase{"/ADDDIR:\"D:\\My Files\"", "D:\\My Files"},
                      CommandCase{"/ADDDIR:C:\\in", "C:\\in"},
                      CommandCase{"--x /ADDDIR:/a b", "/a b"},
                      CommandCase{"/ADDDIR: /a \t", " /a \t"},
                      CommandCase{"\"/ADDDIR:/a\"/b\"", "/a/b"},
                      CommandCase{"/ADDDIR:/a /ADDDIR:/b", "/a /ADDDIR:/b"}));

}  // namespace
}  // namespace qs
