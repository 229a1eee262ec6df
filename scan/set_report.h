// What the last pass found of each set under one watch-list row: the row's tooltip in the window
// and the lines of `quarrystream --status`. Gathered while the pass walks, so showing it never
// walks the tree again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "config/watch_entry.h"

namespace qs {

struct SetReport {
  enum class State {
    kComplete,  // handed off in this pass, or marked verified earlier
    kWaiting,   // volumes missing, still being written or not yet checked
    kFailed,    // at least one volume is whole but its CRC does not match
  };
  std::string sfv_path;
  State state = State::kWaiting;
  std::size_t verified = 0;                 // volumes verified so far
  std::size_t total = 0;                    // volumes the SFV file lists
  std::vector<std::string> failed_volumes;  // names as the SFV file gives them
};

struct RowReport {
  std::vector<SetReport> sets;
  // Said once for the row, e.g. that the companion program is missing; empty when all is well.
  std::string notice;
};

// A pass that walked only some folders of the row: its sets replace those of `kept` with the
// same SFV file, the others are added, and its notice replaces kept's.
void MergeRowReport(RowReport& kept, RowReport&& partial);

// Several lines: "2 sets complete", "1 waiting: x.sfv (3 of 5 volumes)", "1 failed: y.sfv
// (y.r01, y.r02)", then the notice. "No SFV files found" for a row without sets.
std::string FormatRowReport(const RowReport& report);

// The line the log and the terminal give a set handed off: "Set complete: DIR (first volume:
// NAME)", from the volume text of WM_SCAN_SETCOMPLETE (the set's folder and its first volume).
std::string CompleteSetLine(const std::string& volume_text);

// What `quarrystream --status` prints: for each row "Row N: SOURCE -> DESTINATION" and its
// report (FormatRowReport, indented), "(not included)" for a row the pass left alone.
std::string FormatLastPass(const std::vector<WatchEntry>& rows,
                           const std::map<std::int64_t, RowReport>& reports);

// Where the process that scans the watch list at `dirs_cfg_path` keeps FormatLastPass of its
// last pass: "<dirs.cfg>.report".
std::string LastPassReportPath(const std::string& dirs_cfg_path);

}  // namespace qs
