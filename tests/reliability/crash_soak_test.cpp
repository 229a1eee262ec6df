// The crash soak: `quarrystream --headless` over a generated watch tree is killed with SIGKILL at
// random moments, again and again, while volumes keep arriving and another start rewrites
// dirs.cfg. After every kill dirs.cfg holds every record and every state file is whole; at the
// end one `--scan-once` completes every complete set, and no set was ever handed to the
// companion twice.
//
//   QS_SOAK_KILLS   how many kills (default 50)
//   QS_SOAK_SEED    the seed of the random moments and arrivals (default: from the clock)

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "config/dirs_file.h"
#include "platform/file_system.h"
#include "scan/scan_pass.h"
#include "tests/support/child_process.h"
#include "tests/support/fakes.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

long EnvironmentNumber(const char* name, long fallback) {
  const char* text = std::getenv(name);
  return text != nullptr && *text != '\0' ? std::strtol(text, nullptr, 10) : fallback;
}

enum class Kind {
  kComplete,       // every volume there from the start
  kArrivesLater,   // one volume arrives during the soak
  kRepairedLater,  // one volume is wrong, and is replaced by the right one during the soak
  kPartlyChecked,  // a state file from an earlier run marks the first half verified
  kHandled,        // the verified marker is there: never checked, never handed off
  kNever,          // a volume stays wrong for good: large, so that every pass reads it again
  kCrowded,        // 3,000 entries, nearly all missing: every pass rewrites a large state file
};

struct SoakSet {
  Kind kind;
  std::string directory;                                     // with a trailing separator
  std::vector<std::pair<std::string, std::string>> volumes;  // name, right content
  std::string first_volume;
  int change_at = -1;  // the kill before which the late volume appears
};

bool Completable(Kind kind) {
  return kind != Kind::kHandled && kind != Kind::kNever && kind != Kind::kCrowded;
}

void WriteAt(const std::string& path, const std::string& content) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

// How often each volume path was handed to the companion ("/ADDRAR:" arguments).
std::map<std::string, int> HandOffs(const std::string& record) {
  std::map<std::string, int> counts;
  for (const auto& argv : test::ArgvRecords(record)) {
    if (!argv.empty() && argv[0].starts_with("/ADDRAR:")) {
      ++counts[argv[0].substr(8)];
    }
  }
  return counts;
}

class CrashSoakTest : public ::testing::Test {
 protected:
  void SetUp() override {
    seed_ = static_cast<unsigned>(EnvironmentNumber(
        "QS_SOAK_SEED", static_cast<long>(Clock::now().time_since_epoch().count() & 0x7FFFFFFF)));
    kills_ = static_cast<int>(EnvironmentNumber("QS_SOAK_KILLS", 50));
    std::printf("soak: %d kills, QS_SOAK_SEED=%u\n", kills_, seed_);
    random_.seed(seed_);

    const std::string bin = temp_.MakeDir("bin");
    program_ = bin + "/quarrystream";
    fs::copy_file(QS_QUARRYSTREAM, program_);
    fs::copy_file(QS_ARGV_RECORDER, bin + "/mirrowen");
    profile_ = temp_.MakeDir("profile");
    record_ = temp_.Path("record");
    in_ = temp_.MakeDir("in");
    temp_.MakeDir("quiet");
    WriteAt(profile_ + "/Mirrowen.conf", "[Settings]\nReScan=1\n");
    dirs_versions_ = {DirsText(0), DirsText(1)};
    WriteAt(DirsCfg(), dirs_versions_[0]);
    MakeTree();
  }

  std::string DirsCfg() const { return profile_ + "/dirs.cfg"; }

  // The watch list; the second row is the one a concurrent start toggles.
  std::string DirsText(int quiet_include) const {
    return FormatDirs({{in_, temp_.Path("out"), 1},
                       {temp_.Path("quiet"), temp_.Path("out2"), quiet_include},
                       {temp_.Path("not there"), temp_.Path("out3"), 1},
                       {temp_.Path("in"), "/never used", 2}});
  }

  void AddSet(Kind kind, const std::string& folder, std::vector<std::size_t> sizes,
              const std::string& stem) {
    SoakSet set;
    set.kind = kind;
    set.directory = in_ + "/" + folder + "/";
    std::string sfv = "; soak set\r\n";
    for (std::size_t i = 0; i < sizes.size(); ++i) {
      char name[96];
      std::snprintf(name, sizeof name, "%s.part%02zu.rar", stem.c_str(), i + 1);
      set.volumes.emplace_back(name, test::RandomBytes(sizes[i], random_()));
      sfv += std::string(name) + " " + test::CrcText(set.volumes.back().second) + "\r\n";
    }
    set.first_volume = set.volumes.front().first;
    for (std::size_t i = 0; i < set.volumes.size(); ++i) {
      const auto& [name, content] = set.volumes[i];
      const bool last = i + 1 == set.volumes.size();
      if (last && (kind == Kind::kArrivesLater || kind == Kind::kCrowded)) {
        continue;
      }
      if (kind == Kind::kCrowded && i > 3) {
        continue;
      }
      const bool wrong = last && (kind == Kind::kRepairedLater || kind == Kind::kNever);
      WriteAt(set.directory + name, wrong ? content + "x" : content);
    }
    WriteAt(set.directory + stem + ".sfv", sfv);
    if (kind == Kind::kHandled) {
      WriteAt(set.directory + kVerifiedMarkerName, "");
    }
    if (kind == Kind::kPartlyChecked) {
      std::string state;
      for (std::size_t i = 0; i < set.volumes.size(); ++i) {
        state += set.volumes[i].first + (i < set.volumes.size() / 2 ? " 1\r\n" : " 0\r\n");
      }
      WriteAt(set.directory + kStateFileName, state);
      old_states_[set.directory] = state;
    }
    if (kind == Kind::kArrivesLater || kind == Kind::kRepairedLater) {
      set.change_at = std::uniform_int_distribution<int>(0, kills_ - 1)(random_);
    }
    sets_.push_back(std::move(set));
  }

  void MakeTree() {
    auto sizes = [&](int count, std::size_t low, std::size_t high) {
      std::vector<std::size_t> result;
      for (int i = 0; i < count; ++i) {
        result.push_back(std::uniform_int_distribution<std::size_t>(low, high)(random_));
      }
      return result;
    };
    const char* places[] = {"", "movies/", "series/season 1/", "deep/a/b/c/"};
    int n = 0;
    auto folder = [&](const char* label) {
      ++n;
      return std::string(places[n % 4]) + label + " " + std::to_string(n);
    };
    for (int i = 0; i < 12; ++i) {
      AddSet(Kind::kComplete, folder("complete"), sizes(1 + i % 4, 1000, 600000), "set");
    }
    for (int i = 0; i < 5; ++i) {
      AddSet(Kind::kArrivesLater, folder("arrives"), sizes(3, 1000, 300000), "late set");
      AddSet(Kind::kRepairedLater, folder("repaired"), sizes(2, 1000, 300000), "fixed");
    }
    for (int i = 0; i < 4; ++i) {
      AddSet(Kind::kPartlyChecked, folder("partly"), sizes(4, 1000, 200000), "half");
      AddSet(Kind::kHandled, folder("handled"), sizes(2, 100, 1000), "done");
    }
    for (int i = 0; i < 3; ++i) {
      AddSet(Kind::kNever, folder("never"), sizes(2, 2000000, 4000000), "broken");
    }
    AddSet(Kind::kCrowded, folder("crowded"), std::vector<std::size_t>(3000, 10), "many");
    ASSERT_GE(sets_.size(), 30u);
  }

  // Volumes arriving, and wrong ones replaced, as a download would.
  void ApplyChangesBefore(int kill) {
    for (const SoakSet& set : sets_) {
      if (set.change_at == kill) {
        const auto& [name, content] = set.volumes.back();
        const std::string part = set.directory + name + ".part";
        WriteAt(part, content);
        fs::rename(part, set.directory + name);
      }
    }
  }

  // dirs.cfg is one of the versions ever written, whole; every state file is absent, as it was,
  // or one whole line per SFV entry with the status 0 or 1.
  void ExpectFilesWhole(int kill) {
    const std::string dirs = test::ReadFile(DirsCfg());
    EXPECT_TRUE(dirs == dirs_versions_[0] || dirs == dirs_versions_[1])
        << "after kill " << kill << ": " << dirs;
    for (const SoakSet& set : sets_) {
      const std::string state_path = set.directory + kStateFileName;
      if (!test::Exists(state_path)) {
        continue;
      }
      const std::string state = test::ReadFile(state_path);
      if (old_states_.count(set.directory) != 0 && state == old_states_[set.directory]) {
        continue;
      }
      std::size_t offset = 0;
      for (const auto& [name, content] : set.volumes) {
        const bool zero = state.compare(offset, name.size() + 4, name + " 0\r\n") == 0;
        const bool one = state.compare(offset, name.size() + 4, name + " 1\r\n") == 0;
        ASSERT_TRUE(zero || one) << "after kill " << kill << ", " << state_path << " at " << offset;
        offset += name.size() + 4;
      }
      EXPECT_EQ(offset, state.size()) << "after kill " << kill << ", " << state_path;
    }
  }

  // One kill: a headless run, now and then a concurrent start toggling a row, both killed at
  // random moments: mostly within the first pass, sometimes in a later one.
  void KillOnce(int kill) {
    test::ChildProcess headless = Start({"--headless"});
    ASSERT_TRUE(headless.started());
    std::optional<test::ChildProcess> toggler;
    if (kill % 3 == 1) {
      toggler.emplace(Arguments({"--include", "1", kill % 2 ? "1" : "0"}), Environment());
    }
    const bool late = std::uniform_int_distribution<int>(0, 4)(random_) == 0;
    const int delay_ms = late ? std::uniform_int_distribution<int>(150, 1300)(random_)
                              : std::uniform_int_distribution<int>(0, 150)(random_);
    std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
    // Both are killed as they go out of scope, the toggler first.
  }

  std::vector<std::string> Arguments(std::vector<std::string> more) const {
    more.insert(more.begin(), {program_, "--profile", profile_});
    return more;
  }
  std::vector<std::string> Environment() const {
    return {"QS_ARGV_RECORD=" + record_, "QS_ARGV_HOLD=", "QUARRYSTREAM_PROFILE="};
  }
  test::ChildProcess Start(std::vector<std::string> more) const {
    return test::ChildProcess(Arguments(std::move(more)), Environment());
  }

  test::TempDir temp_;
  unsigned seed_ = 0;
  int kills_ = 0;
  std::mt19937 random_;
  std::string program_;
  std::string profile_;
  std::string record_;
  std::string in_;
  std::vector<std::string> dirs_versions_;
  std::vector<SoakSet> sets_;
  std::map<std::string, std::string> old_states_;
};

TEST_F(CrashSoakTest, KillsLoseNothingAndHandNothingOffTwice) {
  for (int kill = 0; kill < kills_; ++kill) {
    ApplyChangesBefore(kill);
    KillOnce(kill);
    ExpectFilesWhole(kill);
    for (const auto& [volume, count] : HandOffs(record_)) {
      EXPECT_EQ(count, 1) << "after kill " << kill << ": " << volume;
    }
    if (HasFatalFailure()) {
      return;
    }
  }

  ASSERT_EQ(Start({"--scan-once"}).Wait(std::chrono::minutes(5)), 0);
  ExpectFilesWhole(kills_);

  std::size_t completable = 0;
  for (const SoakSet& set : sets_) {
    completable += Completable(set.kind) ? 1 : 0;
  }
  // The companions write their records on their own time: wait until each completable set has
  // one, bounded.
  std::map<std::string, int> hand_offs;
  for (int i = 0; i < 500 && hand_offs.size() < completable; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    hand_offs = HandOffs(record_);
  }
  for (const SoakSet& set : sets_) {
    const std::string volume = set.directory + set.first_volume;
    const int count = hand_offs.count(volume) != 0 ? hand_offs[volume] : 0;
    const bool marker = test::Exists(set.directory + kVerifiedMarkerName);
    // A kill between the marker and the start of the companion loses that one hand-off; a kill
    // between the state file's last rewrite and its deletion leaves it, every line verified.
    EXPECT_LE(count, Completable(set.kind) ? 1 : 0) << set.directory;
    EXPECT_EQ(marker, Completable(set.kind) || set.kind == Kind::kHandled) << set.directory;
    if (Completable(set.kind)) {
      EXPECT_EQ(test::ReadFile(set.directory + kStateFileName).find(" 0\r\n"), std::string::npos)
          << set.directory;
    }
  }
}

}  // namespace
}  // namespace qs
