#include "app/terminal_display.h"

#include <ctime>

#include "scan/set_report.h"

namespace qs {

TerminalDisplay::TerminalDisplay(std::FILE* out, bool live, std::string post_execution,
                                 const std::size_t* row_count)
    : out_(out), live_(live), post_execution_(std::move(post_execution)), row_count_(row_count) {}

void TerminalDisplay::SetStatusText(std::string_view text) {
  status_ = text;
  Redraw();
}

void TerminalDisplay::SetCountdownText(std::string_view text) {
  countdown_ = text;
  Redraw();
}

void TerminalDisplay::SetProgressPercent(std::int64_t row, int column, std::int64_t percent) {
  if (column != kProgressColumn)
    return;
  // Every row is reset to 0 after a pass; only a row that moves is worth showing.
  if (percent == 0 && row != row_)
    return;
  row_ = percent == 0 ? -1 : row;
  row_percent_ = percent;
  Redraw();
}

void TerminalDisplay::SetFileProgress(std::int64_t percent) {
  file_percent_ = percent;
  Redraw();
}

std::string TerminalDisplay::StatusLine() const {
  std::string line = "Scanthread status: " + (status_.empty() ? std::string("-") : status_);
  if (row_ >= 0) {
    line += " | row " + std::to_string(row_) + ": " + std::to_string(row_percent_) + "%";
    line += " | SFV check: " + std::to_string(file_percent_) + "%";
  }
  line += " | Next rescan: " + (countdown_.empty() ? std::string("-") : countdown_);
  return line;
}

void TerminalDisplay::Redraw() {
  if (!live_)
    return;
  std::fprintf(out_, "\r\033[K%s", StatusLine().c_str());
  std::fflush(out_);
  drawn_ = true;
}

void TerminalDisplay::Print(const std::string& line) {
  char stamp[32] = {};
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
  if (live_ && drawn_)
    std::fputs("\r\033[K", out_);
  std::fprintf(out_, "%s %s\n", stamp, line.c_str());
  drawn_ = false;
  Redraw();
  std::fflush(out_);
}

void TerminalDisplay::ReportFailure(std::int64_t /*row*/, std::string_view text) {
  Print(std::string(text));
}

void TerminalDisplay::ShowSetComplete(const std::string& volume_text) {
  Print(CompleteSetLine(volume_text));
}

void TerminalDisplay::Finish() {
  if (live_ && drawn_)
    std::fputs("\r\033[K", out_);
  drawn_ = false;
  live_ = false;
  std::fflush(out_);
}

}  // namespace qs
