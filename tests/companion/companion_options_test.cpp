#include "companion/companion_options.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace qs {
namespace {

struct OptionsCase {
  std::string label;
  std::vector<std::string_view> args;
  OptionsStatus status;
  CompanionOptions options;  // checked with kRun
  std::string error;         // a part of the message, checked with kUsageError
};

void PrintTo(const OptionsCase& c, std::ostream* os) {
  *os << c.label;
}

class ParseCompanionOptionsTest : public ::testing::TestWithParam<OptionsCase> {};

TEST_P(ParseCompanionOptionsTest, ParsesTheSplitArguments) {
  const OptionsCase& c = GetParam();
  const ParsedOptions parsed = ParseCompanionOptions(c.args);
  ASSERT_EQ(parsed.status, c.status) << parsed.error;
  if (c.status == OptionsStatus::kRun) {
    EXPECT_EQ(parsed.options.first_volume, c.options.first_volume);
    EXPECT_EQ(parsed.options.destination, c.options.destination);
    EXPECT_EQ(parsed.options.quiet, c.options.quiet);
  }
  if (c.status == OptionsStatus::kUsageError) {
    EXPECT_NE(parsed.error.find(c.error), std::string::npos) << parsed.error;
    EXPECT_EQ(parsed.error.find('\n'), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ParseCompanionOptionsTest,
    ::testing::Values(
        // As Quarrystream passes them: the quotes are gone, the doubled '/' stays.
        OptionsCase{
            "AsStarted",
            {"/ADDRAR:/in/my movie/x.part01.rar", "/DESTINATION:/out//my movie/", "/TOTRAY"},
            OptionsStatus::kRun,
            {"/in/my movie/x.part01.rar", "/out//my movie/", true},
            ""},
        OptionsCase{"SetDirectoryOnly",
                    {"/ADDRAR:/in/set/", "/DESTINATION:/out/"},
                    OptionsStatus::kRun,
                    {"/in/set/", "/out/", false},
                    ""},
        OptionsCase{"AnyOrderAnyCase",
                    {"/totray", "/destination:/o/", "/AddRar:/i/x.001"},
                    OptionsStatus::kRun,
                    {"/i/x.001", "/o/", true},
                    ""},
        OptionsCase{"Help", {"/ADDRAR:/x.zip", "--help"}, OptionsStatus::kHelp, {}, ""},
        OptionsCase{"Nothing", {}, OptionsStatus::kUsageError, {}, "/ADDRAR:"},
        OptionsCase{"NoArchive",
                    {"/DESTINATION:/out/"},
                    OptionsStatus::kUsageError,
                    {},
                    "missing /ADDRAR:"},
        OptionsCase{"NoDestination",
                    {"/ADDRAR:/in/x.rar", "/TOTRAY"},
                    OptionsStatus::kUsageError,
                    {},
                    "missing /DESTINATION:"},
        OptionsCase{"EmptyValue",
                    {"/ADDRAR:", "/DESTINATION:/out/"},
                    OptionsStatus::kUsageError,
                    {},
                    "needs a value"},
        OptionsCase{"Twice",
                    {"/ADDRAR:/a.rar", "/ADDRAR:/b.rar", "/DESTINATION:/out/"},
                    OptionsStatus::kUsageError,
                    {},
                    "more than once"},
        // An unquoted path with a space arrives cut in two: refuse rather than guess.
        OptionsCase{"CutPath",
                    {"/ADDRAR:/in/my", "movie/x.rar", "/DESTINATION:/out/"},
                    OptionsStatus::kUsageError,
                    {},
                    "movie/x.rar"},
        OptionsCase{"ToTrayWithSuffix",
                    {"/ADDRAR:/x.rar", "/DESTINATION:/o/", "/TOTRAYX"},
                    OptionsStatus::kUsageError,
                    {},
                    "/TOTRAYX"}),
    [](const ::testing::TestParamInfo<OptionsCase>& info) { return info.param.label; });

}  // namespace
}  // namespace qs
