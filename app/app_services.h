// What the window and the headless runner work with alike, set up once at start-up and handed
// to either by reference.
#pragma once

#include <string>

#include "scan/scan_pass.h"

namespace qs {

class CompletionActions;
class EventLog;
class FileSystem;
class SettingsStore;
class WatchList;

// Everything named here must outlive the front end it is handed to.
struct AppServices {
  SettingsStore& settings;
  FileSystem& fs;
  std::string executable_directory;  // where the companion program lives
  const EventLog* log = nullptr;     // what the scans log; null: nothing is logged

  // The passes' services for a front end that keeps `list`, takes the worker's messages from
  // `sink` and hands complete sets to `completion`.
  ScanServices ForScan(const WatchList& list, ScanMessageSink& sink,
                       CompletionActions& completion) const {
    return {.watch_list = &list,
            .sink = &sink,
            .settings = &settings,
            .fs = &fs,
            .completion = &completion,
            .log = log};
  }
};

}  // namespace qs
