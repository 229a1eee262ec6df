#include "scan/set_report.h"

#include <algorithm>
#include <string_view>
#include <utility>

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

void MergeRowReport(RowReport& kept, RowReport&& partial) {
  for (SetReport& set : partial.sets) {
    const auto same = std::find_if(kept.sets.begin(), kept.sets.end(), [&set](const SetReport& k) {
      return k.sfv_path == set.sfv_path;
    });
    if (same != kept.sets.end()) {
      *same = std::move(set);
    } else {
      kept.sets.push_back(std::move(set));
    }
  }
  kept.notice = std::move(partial.notice);
}

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

std::string CompleteSetLine(const std::string& volume_text) {
  const std::size_t slash = volume_text.find_last_of('/');
  const std::string directory = slash == std::string::npos ? "" : volume_text.substr(0, slash + 1);
  const std::string first =
      slash == std::string::npos ? volume_text : volume_text.substr(slash + 1);
  return "Set complete: " + directory + " (first volume: " + (first.empty() ? "none" : first) + ")";
}

std::string FormatLastPass(const std::vector<WatchEntry>& rows,
                           const std::map<std::int64_t, RowReport>& reports) {
  std::string text;
  for (std::size_t row = 0; row < rows.size(); ++row) {
    text += "Row " + std::to_string(row) + ": " + rows[row].source + " -> " + rows[row].destination;
    const auto found = reports.find(static_cast<std::int64_t>(row));
    if (found == reports.end()) {
      text += " (not included)\n";
      continue;
    }
    text += '\n';
    std::string report = FormatRowReport(found->second);
    std::size_t start = 0;
    while (start <= report.size()) {
      const std::size_t end = std::min(report.find('\n', start), report.size());
      text += "  " + report.substr(start, end - start) + '\n';
      start = end + 1;
    }
  }
  return text;
}

std::string LastPassReportPath(const std::string& dirs_cfg_path) {
  return dirs_cfg_path + ".report";
}

}  // namespace qs
