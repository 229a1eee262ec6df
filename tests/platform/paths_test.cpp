// Where the program's files live: its own executable, the profile, the autostart entry.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/autostart.h"
#include "platform/executable_paths.h"
#include "platform/profile_paths.h"
#include "tests/platform/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

using test::ScopedEnv;

TEST(ExecutablePaths, NameThisTestProgramAndItsFolder) {
  const std::pair<const char*, const char*> cases[] = {
      {"/opt/qs/quarrystream", "/opt/qs/"}, {"/x", "/"}, {"name", ""}, {"a b/c d", "a b/"}};
  for (const auto& [path, expected] : cases) {
    EXPECT_EQ(DirectoryPart(path), expected) << path;
  }
  EXPECT_TRUE(ExecutablePath().starts_with('/'));
  EXPECT_EQ(ExecutableDirectory() + "test_platform", ExecutablePath());
}

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

TEST(EnsureParentDirectory, CreatesMissingFoldersAndFailsThroughAFile) {
  test::TempDir dir;
  EXPECT_TRUE(EnsureParentDirectory(dir.Path("a/b c/dirs.cfg")));
  EXPECT_TRUE(EnsureParentDirectory(dir.Path("a/b c/dirs.cfg")) && test::Exists(dir.Path("a/b c")));
  EXPECT_FALSE(EnsureParentDirectory(dir.WriteFile("file", "x") + "/sub/dirs.cfg"));
}

// The Exec value is quoted with " ` $ \ escaped and % doubled, and then every backslash is
// escaped once more by the string rules, so a literal backslash is four.
TEST(Autostart, EntryStartsTheProgramByItsQuotedPath) {
  test::TempDir dir;
  ScopedEnv config("XDG_CONFIG_HOME", dir.path().c_str());
  Autostart autostart;
  EXPECT_EQ(autostart.EntryPath(), dir.Path("autostart/Quarrystream.desktop"));
  EXPECT_FALSE(autostart.IsSet());
  autostart.Set(R"(/odd "q" `b` $HOME \x 100%/)");
  EXPECT_TRUE(autostart.IsSet());
  EXPECT_EQ(test::ReadFile(autostart.EntryPath()), R"([Desktop Entry]
Type=Application
Name=Quarrystream
Exec="/odd \\"q\\" \\`b\\` \\$HOME \\\\x 100%%/quarrystream"
X-GNOME-Autostart-enabled=true
)");
  autostart.Remove();
  EXPECT_FALSE(autostart.IsSet());
}

}  // namespace
}  // namespace qs
