#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/executable_paths.h"
#include "platform/profile_paths.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

// Sets or clears an environment variable for one test and puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) {
      old_ = old;
    }
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(DirectoryPartTest, KeepsEverythingUpToTheLastSeparator) {
  const std::pair<const char*, const char*> cases[] = {{"/opt/qs/quarrystream", "/opt/qs/"},
                                                       {"/opt/qs/", "/opt/qs/"},
                                                       {"/x", "/"},
                                                       {"name", ""},
                                                       {"", ""},
                                                       {"a b/c d", "a b/"}};
  for (const auto& [path, expected] : cases) {
    EXPECT_EQ(DirectoryPart(path), expected) << path;
  }
}

TEST(ExecutablePathTest, NamesThisTestProgram) {
  const std::string path = ExecutablePath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.front(), '/');
  EXPECT_TRUE(path.ends_with("/test_platform")) << path;
  EXPECT_EQ(ExecutableDirectory() + "test_platform", path);
}

TEST(ResolveProfileTest, OptionWinsOverEnvironment) {
  ScopedEnv env(kProfileEnvironmentVariable, "/env/profile");
  const ProfileLocation location = ResolveProfile(std::string("/given/dir/"));
  EXPECT_EQ(location.dirs_cfg, "/given/dir/dirs.cfg");
  EXPECT_EQ(location.settings_file, "/given/dir/Mirrowen.conf");
}

TEST(ResolveProfileTest, EnvironmentGivesTheProfileFolder) {
  ScopedEnv env(kProfileEnvironmentVariable, "/env/profile");
  for (const auto& option : {std::optional<std::string>(), std::optional<std::string>("")}) {
    const ProfileLocation location = ResolveProfile(option);
    EXPECT_EQ(location.dirs_cfg, "/env/profile/dirs.cfg");
    EXPECT_EQ(location.settings_file, "/env/profile/Mirrowen.conf");
  }
}

TEST(ResolveProfileTest, RelativeFolderIsTakenFromTheStartingDirectory) {
  ScopedEnv env(kProfileEnvironmentVariable, nullptr);
  const ProfileLocation location = ResolveProfile(std::string("rel/p"));
  EXPECT_EQ(location.dirs_cfg.front(), '/');
  EXPECT_TRUE(location.dirs_cfg.ends_with("/rel/p/dirs.cfg")) << location.dirs_cfg;
}

TEST(ResolveProfileTest, DefaultIsTheUserConfigurationFolder) {
  ScopedEnv profile(kProfileEnvironmentVariable, nullptr);
  ScopedEnv home("HOME", "/home/someone");
  {
    ScopedEnv config("XDG_CONFIG_HOME", "/xdg/config");
    EXPECT_EQ(ResolveProfile(std::nullopt).dirs_cfg, "/xdg/config/Quarrystream/dirs.cfg");
    EXPECT_EQ(ResolveProfile(std::nullopt).settings_file, "");
  }
  for (const char* ignored : {static_cast<const char*>(nullptr), "", "relative/config"}) {
    ScopedEnv config("XDG_CONFIG_HOME", ignored);
    EXPECT_EQ(ResolveProfile(std::nullopt).dirs_cfg, "/home/someone/.config/Quarrystream/dirs.cfg");
  }
}

TEST(EnsureParentDirectoryTest, CreatesMissingFolders) {
  test::TempDir dir;
  EXPECT_TRUE(EnsureParentDirectory(dir.Path("a/b c/dirs.cfg")));
  EXPECT_TRUE(test::Exists(dir.Path("a/b c")));
  EXPECT_TRUE(EnsureParentDirectory(dir.Path("a/b c/dirs.cfg")));
  const std::string file = dir.WriteFile("file", "x");
  EXPECT_FALSE(EnsureParentDirectory(file + "/sub/dirs.cfg"));
}

}  // namespace
}  // namespace qs
