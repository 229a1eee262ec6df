// One watch list over a sandbox and everything a scan pass needs, run on the test's thread
// against the kit's file system (or one the test gives), with a completion that records the sets
// it is given unless UseCompanion() puts the real one in its place.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "config/memory_settings_store.h"
#include "config/watch_list.h"
#include "platform/event_log.h"
#include "platform/manual_reset_event.h"
#include "scan/companion_completion.h"
#include "scan/pause_gate.h"
#include "scan/scan_pass.h"
#include "tests/support/fakes.h"
#include "tests/support/temp_dir.h"

namespace qs::test {

struct Volume {
  std::string name;
  std::string content;
  bool present = true;
};

class PassRig : public CompletionActions {
 public:
  struct Completed {
    WatchEntry entry;
    ArchiveSet set;
  };
  CompletionResult Perform(const WatchEntry& entry, const ArchiveSet& set) override {
    completed.push_back({entry, set});
    return {};
  }

  // Writes `dir`/`sfv_name` listing `volumes` with their true CRCs, and the present volumes.
  // Returns the SFV path.
  std::string WriteSet(const std::string& dir, const std::string& sfv_name,
                       const std::vector<Volume>& volumes);
  void AddRow(std::string source, std::string destination = "/out", std::int32_t include = 1) {
    list.Append(WatchEntry{std::move(source), std::move(destination), include});
  }
  // The real completion, its companion in `executable_directory`, its command lines recorded in
  // `lines` instead of started unless `start_for_real`.
  void UseCompanion(std::string executable_directory = "/opt/qs/", ProgramCheck present = {},
                    bool start_for_real = false);
  // One pass: 1 after a normal end, 0 after an early.
  unsigned RunPass();
  // Runs `action` the first time `word` is posted.
  void OnPosted(std::string word, std::function<void()> action);

  std::string StateFile(const std::string& dir) const {
    return temp.Path(dir + "/" + kStateFileName);
  }
  std::string Marker(const std::string& dir) const {
    return temp.Path(dir + "/" + kVerifiedMarkerName);
  }
  std::vector<std::string> CompletedSfvs() const;

  TempDir temp;
  WatchList list;
  MemorySettingsStore settings;
  TestFileSystem fs;
  RecordingSink sink;
  std::vector<Completed> completed;
  std::vector<std::string> lines;
  std::optional<CompanionCompletion> companion;
  ManualResetEvent stop;
  ManualResetEvent done;
  PauseGate pause;
  unsigned checksum_threads = 1;
  const EventLog* log = nullptr;
};

}  // namespace qs::test
