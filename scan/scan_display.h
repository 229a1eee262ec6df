// What the scan controller shows: the main window's status, countdown and progress controls, or
// the headless runner's terminal lines.
//
// Thread contract: called only on the thread that drives the ScanController (the window's
// thread). An implementation may ignore rows it does not have.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "scan/set_report.h"

namespace qs {

class ScanDisplay {
 public:
  virtual ~ScanDisplay() = default;
  // "Running", "Paused" or "Idle".
  virtual void SetStatusText(std::string_view text) = 0;
  // "%i s", "%i s [paused]" or "0 s".
  virtual void SetCountdownText(std::string_view text) = 0;
  // The cell of `row` in `column` (3, "Progress") of the watch list; redrawn only on a change.
  virtual void SetProgressPercent(std::int64_t row, int column, std::int64_t percent) = 0;
  // The progress bar of the set under verification, 0 to 100.
  virtual void SetFileProgress(std::int64_t percent) = 0;
  // The rows of the watch list as shown.
  virtual std::size_t RowCount() const = 0;
  // The post-execution field's current text, saved or not.
  virtual std::string PostExecutionText() const = 0;
  // What the pass found of `row`'s sets, once it has walked the row.
  virtual void SetRowReport(std::int64_t /*row*/, const RowReport& /*report*/) {}
  // A failure the user should hear of now (a volume that failed its CRC, a program that could
  // not be started); it is in the log already. The window shows it while hidden in the tray.
  virtual void ReportFailure(std::int64_t /*row*/, std::string_view /*text*/) {}
  // A complete set about to be handed to the post-execution command (the terminal prints it).
  virtual void ShowSetComplete(const std::string& /*volume_text*/) {}
  // A pass has ended normally (the terminal prints it).
  virtual void ShowPassFinished() {}
};

inline constexpr int kProgressColumn = 3;

}  // namespace qs
