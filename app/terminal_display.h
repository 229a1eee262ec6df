// The scan controller's display in a terminal: one live status line on a terminal, nothing live
// otherwise. The runner prints its plain lines through Print(), which keeps them clear of the
// live line.
#pragma once

#include <cstdio>
#include <string>

#include "scan/scan_display.h"

namespace qs {

class TerminalDisplay final : public ScanDisplay {
 public:
  // `live` draws the status line in place (a terminal); `post_execution` is the command the
  // window's field would hold.
  TerminalDisplay(std::FILE* out, bool live, std::string post_execution,
                  const std::size_t* row_count);

  void SetStatusText(std::string_view text) override;
  void SetCountdownText(std::string_view text) override;
  void SetProgressPercent(std::int64_t row, int column, std::int64_t percent) override;
  void SetFileProgress(std::int64_t percent) override;
  std::size_t RowCount() const override { return *row_count_; }
  std::string PostExecutionText() const override { return post_execution_; }
  // Printed as a plain line, as the log has it.
  void ReportFailure(std::int64_t row, std::string_view text) override;
  void ShowSetComplete(const std::string& volume_text) override;
  void ShowPassFinished() override { Print("Pass finished"); }

  // A plain line, stamped with the local time.
  void Print(const std::string& line);
  // Clears the live line for good (at exit).
  void Finish();

  // The live line as it would be drawn now (for tests).
  std::string StatusLine() const;

 private:
  void Redraw();

  std::FILE* out_;
  bool live_;
  std::string post_execution_;
  const std::size_t* row_count_;
  std::string status_;
  std::string countdown_;
  std::int64_t row_ = -1;
  std::int64_t row_percent_ = 0;
  std::int64_t file_percent_ = 0;
  bool drawn_ = false;
};

}  // namespace qs
