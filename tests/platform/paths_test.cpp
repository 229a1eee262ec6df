// Where the program's files live: the profile.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/profile_paths.h"
#include "tests/platform/scoped_env.h"

namespace qs {
namespace {

using test::ScopedEnv;

TEST(ResolveProfile, OptionThenEnvironmentThenTheUserConfigurationFolder) {
  ScopedEnv profile(kProfileEnvironmentVariable, "/env/profile");
  ScopedEnv home("HOME", "/home/someone");
  ScopedEnv config("XDG_CONFIG_HOME", "/xdg/config");
  EXPECT_EQ(ResolveProfile(std::string("/given/dir/")).dirs_cfg, "/given/dir/dirs.cfg");
  EXPECT_EQ(ResolveProfile(std::string("/given/dir/")).settings_file, "/given/dir/Mirrowen.conf");
  EXPECT_EQ(ResolveProfile(std::string("")).dirs_cfg, "/env/profile/dirs.cfg");
  EXPECT_EQ(ResolveProfile(std::nullopt).settings_file, "/env/profile/Mirrowen.conf");
  profile.Set(nullptr);
  EXPECT_TRUE(ResolveProfile(std::string("rel/p")).dirs_cfg.ends_with("/rel/p/dirs.cfg"));
  EXPECT_TRUE(ResolveProfile(std::string("rel/p")).dirs_cfg.starts_with('/'));
  EXPECT_EQ(ResolveProfile(std::nullopt).dirs_cfg, "/xdg/config/Quarrystream/dirs.cfg");
  EXPECT_EQ(ResolveProfile(std::nullopt).settings_file, "");
  for (const char* ignored : {static_cast<const char*>(nullptr), "", "relative/config"}) {
    config.Set(ignored);
    EXPECT_EQ(ResolveProfile(std::nullopt).dirs_cfg, "/home/someone/.config/Quarrystream/dirs.cfg");
  }
}

}  // namespace
}  // namespace qs
