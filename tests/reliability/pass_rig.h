// One watch list over a sandbox and everything a scan pass needs, run on the test's thread
// against whichever file system the test puts in front of the disk.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "config/memory_settings_store.h"
#include "config/watch_list.h"
#include "platform/file_system.h"
#include "platform/manual_reset_event.h"
#include "scan/completion_actions.h"
#include "scan/scan_messages.h"
#include "scan/scan_pass.h"
#include "tests/support/temp_dir.h"

namespace qs::test {

// Bit by bit, without a table: an independent reference for the CRC texts of test sets.
inline std::uint32_t ReferenceCrc(std::string_view data) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char byte : data) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
  }
  return ~crc;
}

// Keeps the id of every message but the row reports and failures, and the texts of every
// complete set.
class RecordingSink final : public ScanMessageSink {
 public:
  void Post(ScanMessage message) override {
    if (message.id == WM_SCAN_FAILURE || message.id == WM_SCAN_ROWREPORT) {
      return;
    }
    ids.push_back(message.id);
    if (message.texts) {
      texts.push_back(*message.texts);
    }
  }
  std::vector<std::uint32_t> ids;
  std::vector<SetCompleteTexts> texts;
};

class RecordingCompletion final : public CompletionActions {
 public:
  CompletionResult Perform(const WatchEntry&, const ArchiveSet& set) override {
    performed.push_back(set);
    return {};
  }
  std::vector<ArchiveSet> performed;
};

inline std::string CrcOf(std::string_view content) {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(ReferenceCrc(content)));
  return text;
}

struct PassRig {
  // Writes `dir`/`sfv_name` listing every volume with its true CRC, and the volumes themselves
  // unless `write_volumes` is false. Returns the SFV path.
  std::string WriteSet(const std::string& dir, const std::string& sfv_name,
                       const std::vector<std::pair<std::string, std::string>>& volumes,
                       bool write_volumes = true) {
    std::string sfv = "; made by a test\r\n";
    for (const auto& [name, content] : volumes) {
      sfv += name + " " + CrcOf(content) + "\r\n";
      if (write_volumes) {
        temp.WriteFile(dir + "/" + name, content);
      }
    }
    return temp.WriteFile(dir + "/" + sfv_name, sfv);
  }

  void AddRow(const std::string& source, const std::string& destination = "/out") {
    list.Append(WatchEntry{source, destination, 1});
  }

  // 1 after a normal end, 0 after an early end.
  unsigned Run(FileSystem& fs) {
    sink = RecordingSink();
    stop.Reset();
    done.Reset();
    ScanPassContext context;
    context.watch_list = &list;
    context.sink = &sink;
    context.settings = &settings;
    context.fs = &fs;
    context.completion = completion != nullptr ? completion : &recorder;
    context.stop_event = &stop;
    context.done_event = &done;
    context.checksum_threads = 1;
    return ScanThreadProc(context);
  }

  std::string StateFile(const std::string& dir) const {
    return temp.Path(dir + "/" + kStateFileName);
  }
  std::string Marker(const std::string& dir) const {
    return temp.Path(dir + "/" + kVerifiedMarkerName);
  }
  std::size_t Count(std::uint32_t id) const {
    return static_cast<std::size_t>(std::count(sink.ids.begin(), sink.ids.end(), id));
  }
  std::vector<std::string> CompletedSfvPaths() const {
    std::vector<std::string> paths;
    for (const ArchiveSet& set : recorder.performed) {
      paths.push_back(set.sfv_path);
    }
    return paths;
  }

  TempDir temp;
  WatchList list;
  MemorySettingsStore settings;
  RecordingSink sink;
  RecordingCompletion recorder;
  CompletionActions* completion = nullptr;  // null: the recorder
  ManualResetEvent stop;
  ManualResetEvent done;
};

}  // namespace qs::test
