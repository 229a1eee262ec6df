// A sandbox for whole passes: a watch list over temporary folders, an in-memory settings store,
// the observed real file system and recorders for messages and completions.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "config/memory_settings_store.h"
#include "config/settings_keys.h"
#include "config/watch_list.h"
#include "platform/manual_reset_event.h"
#include "scan/pause_gate.h"
#include "scan/scan_pass.h"
#include "tests/scan/scan_test_support.h"
#include "tests/support/temp_dir.h"

namespace qs::test {

inline constexpr std::uint32_t kRow = WM_SCAN_ROWPROGRESS;
inline constexpr std::uint32_t kFile = WM_SCAN_FILEPROGRESS;
inline constexpr std::uint32_t kSet = WM_SCAN_SETCOMPLETE;
inline constexpr std::uint32_t kFinished = WM_SCAN_FINISHED;

inline std::string CrcText(std::string_view content, bool lower = false) {
  char text[9];
  std::snprintf(text, sizeof text, lower ? "%08x" : "%08X",
                static_cast<unsigned>(ReferenceCrc(content)));
  return text;
}

struct Volume {
  std::string name;
  std::string content;
  bool present = true;
};

class ScanPassFixture : public ::testing::Test {
 protected:
  // Writes `dir`/`sfv_name` listing `volumes` with their true CRCs, and the present volumes.
  // Returns the SFV path.
  std::string WriteSet(const std::string& dir, const std::string& sfv_name,
                       const std::vector<Volume>& volumes) {
    std::string sfv = "; generated\r\n";
    for (const Volume& volume : volumes) {
      sfv += volume.name + " " + CrcText(volume.content) + "\r\n";
      if (volume.present) {
        temp.WriteFile(dir + "/" + volume.name, volume.content);
      }
    }
    return temp.WriteFile(dir + "/" + sfv_name, sfv);
  }

  void AddRow(std::string source, std::string destination = "/out", std::int32_t include = 1) {
    list.Append(WatchEntry{std::move(source), std::move(destination), include});
  }

  unsigned RunPass() {
    sink.Clear();
    stop.Reset();
    done.Reset();
    ScanPassContext context;
    context.watch_list = &list;
    context.sink = &sink;
    context.settings = &settings;
    context.fs = &fs;
    context.completion = completion;
    context.stop_event = &stop;
    context.done_event = &done;
    context.pause = &pause;
    const unsigned result = ScanThreadProc(context);
    EXPECT_TRUE(done.IsSet());
    return result;
  }

  std::string StateFile(const std::string& dir) const {
    return temp.Path(dir + "/" + kStateFileName);
  }
  std::string Marker(const std::string& dir) const {
    return temp.Path(dir + "/" + kVerifiedMarkerName);
  }
  bool WasPosted(std::uint32_t id) const {
    for (const auto& posted : sink.posted()) {
      if (posted.id == id) {
        return true;
      }
    }
    return false;
  }

  TempDir temp;
  WatchList list;
  MemorySettingsStore settings;
  ObservedFileSystem fs;
  RecordingSink sink;
  RecordingCompletion recorder;
  CompletionActions* completion = &recorder;
  ManualResetEvent stop;
  ManualResetEvent done;
  PauseGate pause;
};

}  // namespace qs::test
