#include "scan/set_report.h"

#include <string_view>

namespace qs {

namespace {

std::string_view BaseName(std::string_view path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string Count(std::size_t n, std::string_view label) {
  return std::to_string(n) + ' ' + std::string(label);
}

}  // namespace

std::string FormatRowReport(const RowReport& report) {
  std::size_t complete = 0;
  std::string waiting;
  std::string failed;
  std::size_t waiting_count = 0;
  std::size_t failed_count = 0;
  for (const SetReport& set : report.sets) {
    switch (set.state) {
      case SetReport::State::kComplete:
        ++complete;
        break;
      case SetReport::State::kWaiting:
        ++waiting_count;
        waiting += "\n  " + std::string(BaseName(set.sfv_path)) + " (" +
                   std::to_string(set.verified) + " of " + std::to_string(set.total) + " volumes)";
        break;
      case SetReport::State::kFailed: {
        ++failed_count;
        std::string names;
        for (const std::string& name : set.failed_volumes) {
          names += (names.empty() ? "" : ", ") + name;
        }
        failed += "\n  " + std::string(BaseName(set.sfv_path)) + " (" + names + ")";
        break;
      }
    }
  }
  std::string text;
  if (report.sets.empty()) {
    text = "No SFV files found";
  } else {
    text = Count(complete, complete == 1 ? "set complete" : "sets complete");
    if (waiting_count > 0) {
      text += '\n' + Count(waiting_count, "waiting:") + waiting;
    }
    if (failed_count > 0) {
      text += '\n' + Count(failed_count, "failed:") + failed;
    }
  }
  if (!report.notice.empty()) {
    text += '\n' + report.notice;
  }
  return text;
}

}  // namespace qs
