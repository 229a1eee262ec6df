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

using test::TempDir;

// A FILE* whose text can be read after the call.
class Capture {
 public:
  Capture() : file_(open_memstream(&data_, &size_)) {}
  ~Capture() {
    std::fclose(file_);
    std::free(data_);
  }
  std::FILE* file() { return file_; }
  std::string Text() {
    std::fflush(file_);
    return std::string(data_, size_);
  }

 private:
  char* data_ = nullptr;
  std::size_t size_ = 0;
  std::FILE* file_;
};

class SettingsCommandsTest : public ::testing::Test {
 protected:
  int Set(const std::vector<std::string>& assignments) {
    IniSettingsStore store(RealFileSystem(), settings_file_);
    return SetSettings(store, assignments, autostart_, "/opt/qs/", out_.file(), err_.file());
  }
  // What a later run reads from the file.
  std::int32_t StoredInt(std::string_view key, std::int32_t fallback) {
    return IniSettingsStore(RealFileSystem(), settings_file_).ReadInt(key, fallback);
  }

  TempDir dir_;
  std::string settings_file_ = dir_.Path("profile/Mirrowen.conf");
  Autostart autostart_{dir_.Path("autostart")};
  Capture out_;
  Capture err_;
};

TEST_F(SettingsCommandsTest, PrintsEveryKeyMarkingDefaults) {
  ASSERT_EQ(Set({"ReScan=60", "PostExecution=echo %1"}), 0);
  IniSettingsStore store(RealFileSystem(), settings_file_);
  EXPECT_EQ(PrintSettings(store, out_.file()), 0);
  EXPECT_EQ(out_.Text(),
            "ReScan=60\n"
            "PostExecution=echo %1\n"
            "HideToTray=0  (default)\n"
            "ConfirmationLevel=1  (default)\n"
            "RenameSFV=0  (default)\n"
            "DeleteSFV=0  (default)\n"
            "CreateNoCheckFile=1  (default)\n"
            "DeleteQuarrystream=1  (default)\n"
            "AddQuietToMirrowen=1  (default)\n"
            "AutoRunAtStartup=0  (default)\n"
            "ScanOnChange=1  (default)\n");
}

struct Accepted {
  const char* assignment;
  const char* key;
  std::int32_t number;  // ignored for PostExecution
  const char* text;
};

TEST_F(SettingsCommandsTest, AcceptedValuesReachTheFile) {
  const Accepted cases[] = {
      {"ReScan=5", "ReScan", 5, nullptr},
      {"ReScan=1500", "ReScan", 1500, nullptr},
      {"ConfirmationLevel=-7", "ConfirmationLevel", -7, nullptr},
      {"ConfirmationLevel=3", "ConfirmationLevel", 3, nullptr},
      {"DeleteSFV=1", "DeleteSFV", 1, nullptr},
      {"CreateNoCheckFile=0", "CreateNoCheckFile", 0, nullptr},
      {"PostExecution=notify-send \"a=b\" %3", "PostExecution", 0, "notify-send \"a=b\" %3"},
      {"PostExecution=", "PostExecution", 0, ""},
  };
  for (const Accepted& c : cases) {
    SCOPED_TRACE(c.assignment);
    ASSERT_EQ(Set({c.assignment}), 0) << err_.Text();
    if (c.text != nullptr) {
      EXPECT_EQ(IniSettingsStore(RealFileSystem(), settings_file_).ReadText(c.key, "?"), c.text);
    } else {
      EXPECT_EQ(StoredInt(c.key, 12345), c.number);
    }
  }
  EXPECT_EQ(err_.Text(), "");
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
    const std::size_t before = err_.Text().size();
    EXPECT_EQ(Set(assignments), 2);
    const std::string said = err_.Text().substr(before);
    EXPECT_NE(said.find(message), std::string::npos) << said;
  }
  EXPECT_FALSE(test::Exists(settings_file_));
  EXPECT_FALSE(autostart_.IsSet());
  EXPECT_EQ(out_.Text(), "");
}

TEST_F(SettingsCommandsTest, AutoRunWritesTheEntryAndForcesHideToTray) {
  ASSERT_EQ(Set({"AutoRunAtStartup=1", "HideToTray=0"}), 0);
  EXPECT_EQ(StoredInt("AutoRunAtStartup", 0), 1);
  EXPECT_EQ(StoredInt("HideToTray", 0), 1);
  ASSERT_TRUE(autostart_.IsSet());
  EXPECT_NE(test::ReadFile(autostart_.EntryPath()).find("Exec=\"/opt/qs/quarrystream\""),
            std::string::npos);
  const std::string said = out_.Text();
  EXPECT_NE(said.find("next desktop login"), std::string::npos) << said;
  EXPECT_NE(said.find("user service"), std::string::npos) << said;

  ASSERT_EQ(Set({"AutoRunAtStartup=0"}), 0);
  EXPECT_FALSE(autostart_.IsSet());
  EXPECT_EQ(StoredInt("AutoRunAtStartup", 1), 0);
  EXPECT_EQ(StoredInt("HideToTray", 0), 1);  // left as it was
}

}  // namespace
}  // namespace qs
