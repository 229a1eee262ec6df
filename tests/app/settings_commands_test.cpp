// --settings and --set end to end: the settings file of a temporary profile and its autostart
// folder, read back by a store of their own.
#include "app/settings_commands.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "config/ini_settings_store.h"
#include "platform/autostart.h"
#include "platform/file_system.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

// A FILE* whose text can be read after the call: what the commands say on either stream.
struct Capture {
  char* data = nullptr;
  std::size_t size = 0;
  std::FILE* file = open_memstream(&data, &size);
  ~Capture() {
    std::fclose(file);
    std::free(data);
  }
  std::string Text() {
    std::fflush(file);
    return std::string(data, size);
  }
};

class SettingsCommandsTest : public ::testing::Test {
 protected:
  int Set(const std::vector<std::string>& assignments) {
    IniSettingsStore store(RealFileSystem(), settings_file_);
    return SetSettings(store, assignments, autostart_, "/opt/qs/", said_.file, said_.file);
  }
  // What a later run reads from the file.
  std::string Stored(std::string_view key) {
    return IniSettingsStore(RealFileSystem(), settings_file_).ReadText(key, "unset");
  }

  test::TempDir dir_;
  std::string settings_file_ = dir_.Path("profile/Mirrowen.conf");
  Autostart autostart_{dir_.Path("autostart")};
  Capture said_;
};

TEST_F(SettingsCommandsTest, AcceptedValuesReachTheFile) {
  const std::pair<const char*, const char*> cases[] = {
      {"ReScan=5", "5"},
      {"ReScan=1500", "1500"},
      {"ConfirmationLevel=-7", "-7"},
      {"DeleteSFV=1", "1"},
      {"CreateNoCheckFile=0", "0"},
      {"PostExecution=", ""},
      {"PostExecution=notify-send \"a=b\" %3", "notify-send \"a=b\" %3"},
  };
  for (const auto& [assignment, stored] : cases) {
    SCOPED_TRACE(assignment);
    ASSERT_EQ(Set({assignment}), 0) << said_.Text();
    const std::string key(assignment, std::string_view(assignment).find('='));
    EXPECT_EQ(Stored(key), stored);
  }
  EXPECT_EQ(said_.Text(), "");
}

TEST_F(SettingsCommandsTest, RefusalsWriteNothingAndSayWhatIsAccepted) {
  const std::pair<std::vector<std::string>, const char*> cases[] = {
      {{"Nope=1"}, "the keys are ReScan, PostExecution, HideToTray, ConfirmationLevel"},
      {{"ReScan"}, "is not KEY=VALUE"},
      {{"ReScan=4"}, "from 5 to 1500"},
      {{"ReScan=1501"}, "from 5 to 1500"},
      {{"ReScan=12s"}, "from 5 to 1500"},
      {{"ReScan="}, "from 5 to 1500"},
      {{"HideToTray=2"}, "takes 0 or 1"},
      {{"AutoRunAtStartup=yes"}, "takes 0 or 1"},
      {{"ConfirmationLevel=99999999999"}, "a whole number"},
      {{"rescan=300"}, "there is no setting \"rescan\""},
      // A good assignment before a bad one is not written either.
      {{"DeleteSFV=1", "AutoRunAtStartup=1", "ReScan=3"}, "from 5 to 1500"},
      {{}, "--set needs KEY=VALUE"},
  };
  for (const auto& [assignments, message] : cases) {
    SCOPED_TRACE(message);
    const std::size_t before = said_.Text().size();
    EXPECT_EQ(Set(assignments), 2);
    const std::string said = said_.Text().substr(before);
    EXPECT_NE(said.find(message), std::string::npos) << said;
  }
  EXPECT_FALSE(test::Exists(settings_file_));
  EXPECT_FALSE(autostart_.IsSet());
}

TEST_F(SettingsCommandsTest, AutoRunWritesTheEntryAndForcesHideToTray) {
  ASSERT_EQ(Set({"AutoRunAtStartup=1", "HideToTray=0"}), 0);
  EXPECT_EQ(Stored("AutoRunAtStartup"), "1");
  EXPECT_EQ(Stored("HideToTray"), "1");
  ASSERT_TRUE(autostart_.IsSet());
  EXPECT_NE(test::ReadFile(autostart_.EntryPath()).find("Exec=\"/opt/qs/quarrystream\""),
            std::string::npos);
  ASSERT_EQ(Set({"AutoRunAtStartup=0"}), 0);
  EXPECT_FALSE(autostart_.IsSet());
  EXPECT_EQ(Stored("AutoRunAtStartup"), "0");
  EXPECT_EQ(Stored("HideToTray"), "1");  // left as it was
}

}  // namespace
}  // namespace qs
