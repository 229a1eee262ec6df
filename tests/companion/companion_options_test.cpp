#include "companion/companion_options.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace qs {
namespace {

struct OptionsCase {
  std::vector<std::string_view> args;
  OptionsStatus status;
  std::string said;  // kRun: "first volume|destination|quiet"; kUsageError: a part of the error
};

TEST(ParseCompanionOptions, ParsesTheSplitArguments) {
  const OptionsStatus kRun = OptionsStatus::kRun;
  const OptionsStatus kUsage = OptionsStatus::kUsageError;
  const OptionsCase cases[] = {
      // As Quarrystream passes them: the quotes are gone, the doubled '/' stays.
      {{"/ADDRAR:/in/my movie/x.part01.rar", "/DESTINATION:/out//my movie/", "/TOTRAY"},
       kRun,
       "/in/my movie/x.part01.rar|/out//my movie/|1"},
      {{"/totray", "/destination:/o/", "/AddRar:/i/x.001"}, kRun, "/i/x.001|/o/|1"},
      {{"/ADDRAR:/x.zip", "--help"}, OptionsStatus::kHelp, ""},
      {{"/DESTINATION:/out/"}, kUsage, "missing /ADDRAR:"},
      {{"/ADDRAR:/in/x.rar", "/TOTRAY"}, kUsage, "missing /DESTINATION:"},
      {{"/ADDRAR:/a.rar", "/ADDRAR:/b.rar", "/DESTINATION:/out/"}, kUsage, "more than once"},
      // An unquoted path with a space arrives cut in two: refuse rather than guess.
      {{"/ADDRAR:/in/my", "movie/x.rar", "/DESTINATION:/out/"}, kUsage, "movie/x.rar"},
      {{"/ADDRAR:/x.rar", "/DESTINATION:/o/", "/TOTRAYX"}, kUsage, "/TOTRAYX"}};
  for (const OptionsCase& c : cases) {
    SCOPED_TRACE(c.said);
    const ParsedOptions parsed = ParseCompanionOptions(c.args);
    ASSERT_EQ(parsed.status, c.status) << parsed.error;
    if (c.status == kRun) {
      EXPECT_EQ(parsed.options.first_volume + "|" + parsed.options.destination + "|" +
                    std::to_string(parsed.options.quiet),
                c.said);
    } else if (c.status == kUsage) {
      EXPECT_NE(parsed.error.find(c.said), std::string::npos) << parsed.error;
      EXPECT_EQ(parsed.error.find('\n'), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace qs
