// What happens to a complete set: the companion program's command line, the file actions the
// switches ask for, the texts posted to the front end and the post-execution command. (The
// programs started for real are tested with hostile names, end to end.)
#include "scan/companion_completion.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "config/memory_settings_store.h"
#include "config/settings_keys.h"
#include "config/watch_list.h"
#include "platform/command_line.h"
#include "scan/post_execution.h"
#include "scan/scan_controller.h"
#include "tests/support/fakes.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

using Strings = std::vector<std::string>;

ArchiveSet Set(const std::string& set_directory, const std::string& first_volume,
               const std::string& sfv_name = "x.sfv") {
  return {set_directory + sfv_name, set_directory, {}, {}, {}, first_volume};
}

class Completion : public ::testing::Test {
 protected:
  std::string Dir() const { return temp.Path("in/D/"); }
  std::string Marker() const { return Dir() + kVerifiedMarkerName; }
  // Completes the set of `sfv_relative` (x.rar, its state file beside it) with the switches
  // RenameSFV, DeleteSFV, DeleteQuarrystream, CreateNoCheckFile and AddQuietToMirrowen.
  void PerformOn(const std::string& sfv_relative, std::array<int, 5> switches) {
    const Setting settings_in_order[] = {Setting::RenameSFV, Setting::DeleteSFV,
                                         Setting::DeleteQuarrystream, Setting::CreateNoCheckFile,
                                         Setting::AddQuietToMirrowen};
    for (int i = 0; i < 5; ++i) {
      WriteInt(settings, settings_in_order[i], switches[i]);
    }
    const std::string sfv = temp.WriteFile(sfv_relative, "x.rar 00000000\r\n");
    temp.WriteFile(std::string("in/D/") + kStateFileName, "x.rar 1\r\n");
    completion.Perform(
        WatchEntry{temp.Path("in"), "/out", 1},
        Set(sfv.substr(0, sfv.rfind('/') + 1), "x.rar", sfv.substr(sfv.rfind('/') + 1)));
    ASSERT_EQ(sink.texts.size(), 1u);
  }

  test::TempDir temp;
  MemorySettingsStore settings;
  test::RecordingSink sink;
  Strings lines;
  CompanionCompletion completion{settings, RealFileSystem(), sink, "/opt/q s/",
                                 [this](std::string_view line) {
                                   lines.emplace_back(line);
                                   return kErrorFileNotFound;  // a failed start changes nothing
                                 }};
};

TEST_F(Completion, CompanionLineNamesTheFirstVolumeAndTheTargetDirectory) {
  // source, set directory, destination, target directory
  const std::tuple<const char*, const char*, const char*, const char*> rows[] = {
      {"/in", "/in/movie/", "/out", "/out//movie/"},
      {"/in/", "/in/movie/", "/out", "/out/movie/"},
      {"/in/", "/in/", "/out/", "/out/"},
      {"/in", "/in/", "/out/", "/out//"}};
  for (const auto& [source, set_directory, destination, target] : rows) {
    EXPECT_EQ(
        completion.CompanionCommandLine({source, destination, 1}, Set(set_directory, "x.rar")),
        std::string("/opt/q s/mirrowen /ADDRAR:\"") + set_directory + "x.rar\" /DESTINATION:\"" +
            target + "\" /TOTRAY");
  }
  // Quotes and backslashes in names stay inside their argument.
  EXPECT_EQ(SplitCommandLine(completion.CompanionCommandLine(
                {"/in", "/out\\", 1}, Set("/in/say \"hi\" $(x)/", "a\\\"b\\.rar"))),
            (Strings{"/opt/q", "s/mirrowen", "/ADDRAR:/in/say \"hi\" $(x)/a\\\"b\\.rar",
                     "/DESTINATION:/out\\//say \"hi\" $(x)/", "/TOTRAY"}));
}

TEST_F(Completion, RenameTurnsEveryLowerCaseSfvIntoOldsfvAndNeverOverwrites) {
  EXPECT_EQ(OldSfvPath("/in/a.sfv.d/x.sfv"), "/in/a.oldsfv.d/x.oldsfv");
  EXPECT_EQ(OldSfvPath("/in/x.Sfv.sfv"), "/in/x.Sfv.oldsfv");
  // sfv, the file left, the SFV text posted
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {"x.SFV", "x.SFV", "x.SFV"},  // unchanged name: the rename fails and the file stays
      {"a.sfv.d/x.sfv", "a.sfv.d/x.sfv", "a.oldsfv.d/x.oldsfv"}};  // into a missing folder
  for (const auto& [sfv, left, text] : cases) {
    sink.texts.clear();
    PerformOn("in/D/" + sfv, {1, 0, 0, 0, 1});
    EXPECT_TRUE(test::Exists(Dir() + left));
    EXPECT_EQ(sink.texts[0]->sfv_text, Dir() + text);
  }
  EXPECT_FALSE(test::Exists(Dir() + "a.oldsfv.d"));
}

// Every combination of the five switches; bit i of the index turns switch i on. Switches that
// are off use 2 in odd combinations: only exactly 1 counts as on.
TEST_F(Completion, EachSwitchDoesItsOwnActionOnly) {
  for (int bits = 0; bits < 32; ++bits) {
    SCOPED_TRACE(bits);
    const auto on = [bits](int bit) { return (bits >> bit & 1) != 0; };
    std::array<int, 5> switches;
    for (int bit = 0; bit < 5; ++bit) {
      switches[bit] = on(bit) ? 1 : bits % 2 == 1 ? 2 : 0;
    }
    std::filesystem::remove_all(Dir());
    completion.BeginPass();
    sink.texts.clear();
    lines.clear();
    PerformOn("in/D/x.sfv", switches);
    EXPECT_EQ(test::Exists(Dir() + "x.sfv"), !on(0) && !on(1));
    EXPECT_EQ(test::Exists(Dir() + "x.oldsfv"), on(0));
    EXPECT_EQ(test::Exists(Dir() + kStateFileName), !on(2));
    EXPECT_EQ(test::Exists(Dir() + kVerifiedMarkerName), on(3));
    EXPECT_EQ(sink.texts[0]->sfv_text, on(1) ? "" : Dir() + (on(0) ? "x.oldsfv" : "x.sfv"));
    EXPECT_EQ(sink.texts[0]->volume_text, Dir() + "x.rar");
    EXPECT_EQ(lines, Strings{"/opt/q s/mirrowen /ADDRAR:\"" + Dir() +
                             "x.rar\" /DESTINATION:\"/out//D/\"" + (on(4) ? " /TOTRAY" : "")});
  }
}

// Nothing of the completion runs while the companion is missing, while
// another process holds the folder's claim, or once another process has completed the set
// since the pass found it (its marker, or its SFV file renamed away); the set is then done here
// as soon as none of that holds. A second SFV file beside the marker this pass wrote is still
// handed off.
TEST_F(Completion, RunsNothingUnlessTheCompanionIsThereAndTheSetIsStillToDo) {
  bool present = false;
  CompanionCompletion checked(
      settings, RealFileSystem(), sink, "/opt/q s/",
      [this](std::string_view line) {
        lines.emplace_back(line);
        return kErrorSuccess;
      },
      [&present](const std::string&) { return present; });
  const std::string sfv = temp.WriteFile("in/D/x.sfv", "x.rar 00000000\r\n");
  const WatchEntry entry{temp.Path("in"), "/out", 1};
  using Outcome = CompletionResult::Outcome;
  const auto perform = [&](Outcome expected, bool reported) {
    const CompletionResult result = checked.Perform(entry, Set(Dir(), "x.rar"));
    EXPECT_EQ(result.outcome, expected);
    EXPECT_EQ(result.failure.empty(), !reported) << result.failure;
  };
  perform(Outcome::kCompanionMissing, true);
  present = true;
  {
    const auto other = RealFileSystem().ClaimFolder(Dir());  // another open file: another owner
    ASSERT_NE(other, nullptr);
    perform(Outcome::kHandledElsewhere, false);
  }
  std::filesystem::rename(sfv, Dir() + "x.oldsfv");
  perform(Outcome::kHandledElsewhere, false);
  std::filesystem::rename(Dir() + "x.oldsfv", sfv);
  temp.WriteFile(std::string("in/D/") + kVerifiedMarkerName, "");
  perform(Outcome::kHandledElsewhere, false);
  EXPECT_TRUE(lines.empty());
  EXPECT_TRUE(sink.texts.empty());
  std::filesystem::remove(Marker());
  perform(Outcome::kHandedOff, false);
  temp.WriteFile("in/D/y.sfv", "y.rar 00000000\r\n");
  checked.Perform(entry, Set(Dir(), "y.rar", "y.sfv"));
  EXPECT_EQ(lines.size(), 2u);
  EXPECT_TRUE(test::Exists(Marker()));
}

TEST(OnSetComplete, SplitsTheFieldFirstThenFillsThePlaceholders) {
  // field, SFV text, volume text, the arguments started (none when empty)
  const std::tuple<const char*, const char*, const char*, Strings> cases[] = {
      {"unrar \"%1\" \"%2\" \"%3\"",
       "/d/x.sfv",
       "/d/x.rar",
       {"unrar", "/d/", "/d/x.sfv", "/d/x.rar"}},
      // After DeleteSFV the SFV text is empty, and so is its directory.
      {"tool \"%1\" \"%2\" %3", "", "/d/x.rar", {"tool", "", "", "/d/x.rar"}},
      {"tool %1%1 x%1", "/d/x.sfv", "/d/x.rar", {"tool", "/d//d/", "x/d/"}},
      {"", "/d/x.sfv", "/d/x.rar", {}},
      {"  tool %2 end", "/d/say \"hi\"/x.sfv", "/v", {"tool", "/d/say \"hi\"/x.sfv", "end"}},
      {"tool %3", "/d/x.sfv", "/d/$(rm -rf x); `y` x.rar", {"tool", "/d/$(rm -rf x); `y` x.rar"}},
      // Each replacement works on the result of the one before.
      {"tool %1", "/p%3/x.sfv", "V", {"tool", "/pV/"}},
      {"tool %2", "/p%1/x.sfv", "V", {"tool", "/p%1/x.sfv"}},
      {"%1run.sh %2", "/d/x.sfv", "/v", {"/d/run.sh", "/d/x.sfv"}}};
  for (const auto& [field, sfv_text, volume_text, expected] : cases) {
    std::vector<Strings> starts;
    OnSetComplete(std::make_unique<SetCompleteTexts>(SetCompleteTexts{sfv_text, volume_text}),
                  field, [&starts](const Strings& arguments) {
                    starts.push_back(arguments);
                    return kErrorSuccess;
                  });
    EXPECT_EQ(starts, expected.empty() ? std::vector<Strings>{} : std::vector<Strings>{expected})
        << field;
  }
}

}  // namespace
}  // namespace qs
