// One scan pass over the watch list: walk every included source tree, find the SFV files, check
// each set against its state file, hand complete sets on, and report progress by messages.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "config/settings_store.h"
#include "config/watch_list.h"
#include "platform/file_system.h"
#include "platform/manual_reset_event.h"
#include "scan/completion_actions.h"
#include "scan/pause_gate.h"
#include "scan/scan_messages.h"

namespace qs {

class EventLog;

// 2 when the machine has a second core to give the checksums, else 1.
unsigned DefaultChecksumThreads();

// The part of the watch list a pass started by change notifications walks: only the folders
// where files arrived (with the folders above them up to the source, whose SFV files may name
// volumes below), so that a change costs no walk of the whole tree.
struct PassScope {
  struct Folder {
    std::string path;
    bool subtree = false;  // a new folder: everything below it too
    friend bool operator==(const Folder&, const Folder&) = default;
  };
  // By row; a row without folders is walked whole. Rows not listed are left alone.
  std::map<std::size_t, std::vector<Folder>> rows;
};

// What passes work with, set up once by the front end and handed by reference to the controller
// and the worker. Only read during a pass. Every pointer not marked "may be null" is required.
struct ScanServices {
  const WatchList* watch_list = nullptr;
  ScanMessageSink* sink = nullptr;  // where the pass posts; thread-safe
  const SettingsStore* settings = nullptr;
  FileSystem* fs = nullptr;
  CompletionActions* completion = nullptr;  // may be null: complete sets are then only recorded
  // 1: volumes are checksummed one after the other on the pass's thread; 2: a helper thread
  // checksums the next volumes of a set meanwhile. Messages and files are the same either way.
  unsigned checksum_threads = DefaultChecksumThreads();
  // Where a set handed off, a volume that fails its CRC, a program that cannot be started and
  // an early end are written down; may be null.
  const EventLog* log = nullptr;
  // Null: every included row, walked whole. Kept by the controller until the worker is released.
  const PassScope* scope = nullptr;
};

// One pass's own part: the events and the gate, shared with the window's thread.
struct ScanPassContext : ScanServices {
  ManualResetEvent* stop_event = nullptr;  // set by the window to ask the pass to stop
  ManualResetEvent* done_event = nullptr;  // set by the pass when it leaves, whatever the reason
  const PauseGate* pause = nullptr;        // may be null
};

// Runs one pass on the calling thread. Returns 1 after a normal end (WM_SCAN_FINISHED posted),
// 0 after an early end (stop request, an SFV file that cannot be opened, a state file that
// cannot be written). Each included row's RowReport is posted (WM_SCAN_ROWREPORT) once its sets
// are checked; failures are logged and posted as WM_SCAN_FAILURE, an early end for a reason
// other than a stop request included.
unsigned ScanThreadProc(ScanPassContext& context);

inline constexpr const char* kStateFileName = "#####Quarrystream#####";
inline constexpr const char* kVerifiedMarkerName = "#####Quarrystream.SFV.is.OK#####";

}  // namespace qs
