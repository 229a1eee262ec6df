#include "scan/scan_pass.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "config/settings_keys.h"
#include "platform/event_log.h"
#include "platform/executable_paths.h"
#include "scan/archive_set.h"
#include "scan/crc32_engine.h"
#include "scan/first_volume.h"
#include "scan/sfv_file.h"
#include "scan/state_file.h"
#include "scan/text_util.h"
#include "scan/volume_checksums.h"

namespace qs {

namespace {

void Trace([[maybe_unused]] std::string_view text, [[maybe_unused]] std::string_view arg = {}) {
#ifdef QS_DIAGNOSTIC_TRACE
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fwrite(arg.data(), 1, arg.size(), stderr);
#endif
}

bool IsSfvFileName(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  return dot != std::string_view::npos && ToUpperAscii(name.substr(dot + 1)) == "SFV";
}

// m × 100 / entries. With no entries (or more state lines than entries, when the SFV file
// changed under its state file) the value is held at 100, the end of the bar.
std::int64_t FileProgress(std::size_t m, std::size_t entries) {
  if (entries == 0) {
    return 100;
  }
  return static_cast<std::int64_t>(std::min<std::size_t>(100, m * 100 / entries));
}

// State lines read ahead of the one being judged, so that the checksums of the next volumes
// are under way while this one is computed. Sixteen keep the helper thread from running dry
// (and sleeping) among small volumes: 2,000 of 64 KiB take 38-40 ms against 41-43 ms with four.
// The bound keeps a state file of millions of lines from being held in memory.
constexpr std::size_t kLinesAhead = 16;

class Pass {
 public:
  explicit Pass(ScanPassContext& context)
      : c_(context), fs_(*context.fs), checksums_(*context.fs, gate_, context.checksum_threads) {}

  unsigned Run();

 private:
  // Lets the checksum rest while paused and give up on a stop request.
  class StopGate final : public ReadGate {
   public:
    explicit StopGate(Pass& pass) : pass_(pass) {}
    bool Continue() override { return !pass_.StopRequested(); }

   private:
    Pass& pass_;
  };

  // The stop check: rests while paused, then looks at the stop event without waiting.
  bool StopRequested() const {
    if (c_.pause != nullptr) {
      c_.pause->WaitWhilePaused();
    }
    return c_.stop_event->IsSet();
  }

  void Post(std::uint32_t id, std::int64_t wparam, std::int64_t lparam) {
    ScanMessage message;
    message.id = id;
    message.wparam = wparam;
    message.lparam = lparam;
    c_.sink->Post(std::move(message));
  }

  void Log(const std::string& text) const {
    if (c_.log != nullptr) {
      c_.log->Append(text);
    }
  }

  // Logged, then posted for the front end to show.
  void Fail(std::int64_t row, std::string text) {
    Log(text);
    ScanMessage message;
    message.id = WM_SCAN_FAILURE;
    message.wparam = row;
    message.text = std::move(text);
    c_.sink->Post(std::move(message));
  }

  // Ends the pass for a failure: remembered for the log and the front end.
  bool EndEarly(std::string reason) {
    Trace("Strange mofo error\n");
    early_end_reason_ = std::move(reason);
    return false;
  }

  // Each returns false when the pass is to end early (stop request or failure).
  bool ScanRow(std::size_t row, const WatchEntry& entry);
  // Breadth-first from every folder queued from `from` on, appending what it finds.
  bool CollectDirectories(std::vector<std::string>& queue, std::size_t from = 0);
  bool CollectScopedDirectories(const WatchEntry& entry,
                                const std::vector<PassScope::Folder>& folders,
                                std::vector<std::string>& queue);
  bool FindSfvFiles(std::size_t row, const std::vector<std::string>& queue,
                    std::vector<std::string>& sfv_list);
  bool CheckSet(std::size_t row, const WatchEntry& entry, const std::string& sfv_path,
                std::size_t k, std::size_t set_count);
  bool VerifiedMarkerPresent(const std::string& directory);

  bool ScanRows();
  bool CheckLines(StateFileReader& reader, ArchiveSet& set, SetReport& report);
  // The outcome of the completion of a complete set, reported; true when it was done here or
  // by another process, false when the set is to wait for a later pass.
  bool Complete(std::size_t row, const WatchEntry& entry, ArchiveSet& set);

  ScanPassContext& c_;
  FileSystem& fs_;
  StopGate gate_{*this};
  VolumeChecksums checksums_;
  std::int64_t last_row_percent_ = 0;
  std::vector<DirectoryEntry> listing_;
  std::int64_t row_ = -1;  // the row being walked
  RowReport report_;       // of that row
  std::string early_end_reason_;
};

unsigned Pass::Run() {
  Trace("Thread has started...\n");
  if (c_.completion != nullptr) {
    c_.completion->BeginPass();
  }
  const bool finished = ScanRows();
  checksums_.End();  // after an early end, the helper may still be reading a volume
  if (!finished) {
    if (early_end_reason_.empty()) {
      Log("Pass stopped on request");
    } else {
      Fail(row_, "Pass ended early: " + early_end_reason_);
    }
  }
  c_.done_event->Set();
  if (!finished) {
    return 0;
  }
  Post(WM_SCAN_FINISHED, 0, 0);
  Trace("Thread has ended...\n");
  return 1;
}

bool Pass::ScanRows() {
  // The count is read again before every row: the window may add or remove rows meanwhile.
  for (std::size_t row = 0; row < c_.watch_list->Count(); ++row) {
    WatchEntry entry;
    if (!c_.watch_list->CopyRow(row, entry)) {
      break;  // the list shrank between the count and the copy
    }
    if (entry.include != 1 || (c_.scope != nullptr && c_.scope->rows.count(row) == 0)) {
      continue;
    }
    if (!ScanRow(row, entry)) {
      return false;
    }
  }
  return true;
}

bool Pass::ScanRow(std::size_t row, const WatchEntry& entry) {
  row_ = static_cast<std::int64_t>(row);
  report_ = RowReport();
  std::vector<std::string> sfv_list;
  {
    std::vector<std::string> queue;
    const std::vector<PassScope::Folder>* folders =
        c_.scope != nullptr ? &c_.scope->rows.at(row) : nullptr;
    const bool whole = folders == nullptr || folders->empty();
    if (whole) {
      queue.push_back(entry.source);
    }
    if (!(whole ? CollectDirectories(queue) : CollectScopedDirectories(entry, *folders, queue)) ||
        StopRequested() || !FindSfvFiles(row, queue, sfv_list) || StopRequested()) {
      return false;
    }
  }
  Trace("Start checking the SFVS...\n");
  for (std::size_t k = 0; k < sfv_list.size(); ++k) {
    if (StopRequested() || !CheckSet(row, entry, sfv_list[k], k, sfv_list.size())) {
      return false;
    }
  }
  Trace("End checking SFVs...\n");
  ScanMessage message;
  message.id = WM_SCAN_ROWREPORT;
  message.wparam = row_;
  message.report = std::make_unique<RowReport>(std::move(report_));
  c_.sink->Post(std::move(message));
  Post(WM_SCAN_ROWPROGRESS, static_cast<std::int64_t>(row), 100);
  return true;
}

// Breadth-first over the whole tree. Links to directories are listed as files, so a link loop
// is never followed.
bool Pass::CollectDirectories(std::vector<std::string>& queue, std::size_t from) {
  Trace("Getting dirs...\n");
  for (std::size_t j = from; j < queue.size(); ++j) {
    listing_.clear();
    fs_.ListDirectory(queue[j], listing_);  // a directory that cannot be listed adds nothing
    for (DirectoryEntry& listed : listing_) {
      if (StopRequested()) {
        return false;
      }
      if (listed.is_directory) {
        std::string path = PathInDirectory(queue[j], listed.name);
        queue.push_back(std::move(path));  // after the join: the push may move queue[j]
      }
    }
  }
  Trace("Finished getting dirs...\n");
  return true;
}

// The changed folders (new ones with everything below them), then the folders above each up to
// the source, listed alone: an SFV file there may name a volume that arrived below it. Folders
// outside the row's source (the rows changed meanwhile) are left to the countdown's pass.
bool Pass::CollectScopedDirectories(const WatchEntry& entry,
                                    const std::vector<PassScope::Folder>& folders,
                                    std::vector<std::string>& queue) {
  const std::string source = WithoutTrailingSeparators(entry.source);
  const auto inside = [&source](const std::string& path) { return IsAtOrBelow(path, source); };
  for (const PassScope::Folder& folder : folders) {
    if (folder.subtree && inside(folder.path)) {
      queue.push_back(folder.path);
    }
  }
  if (!CollectDirectories(queue)) {
    return false;
  }
  std::set<std::string> seen(queue.begin(), queue.end());
  for (const PassScope::Folder& folder : folders) {
    for (std::string path = folder.path; inside(path);) {
      if (seen.insert(path).second) {
        queue.push_back(path);
      }
      const std::size_t slash = path.find_last_of('/');
      if (path == source || slash == std::string::npos) {
        break;
      }
      path.resize(std::max<std::size_t>(slash, 1));
    }
  }
  return true;
}

bool Pass::FindSfvFiles(std::size_t row, const std::vector<std::string>& queue,
                        std::vector<std::string>& sfv_list) {
  Trace("Start scanning dirs...\n");
  const std::size_t total = queue.size();
  last_row_percent_ = 0;
  for (std::size_t taken = 0; taken < total; ++taken) {
    if (StopRequested()) {
      return false;
    }
    const std::size_t remaining = total - taken - 1;
    const auto percent = static_cast<std::int64_t>(100 - remaining * 100 / total);
    if (percent != last_row_percent_) {
      Post(WM_SCAN_ROWPROGRESS, static_cast<std::int64_t>(row), percent);
      last_row_percent_ = percent;
    }
    listing_.clear();
    fs_.ListDirectory(queue[taken], listing_);
    for (DirectoryEntry& listed : listing_) {
      if (StopRequested()) {
        return false;
      }
      if (listed.is_directory || !IsSfvFileName(listed.name)) {
        continue;
      }
      std::string path = PathInDirectory(queue[taken], listed.name);
      // Read for every SFV file, so a change in the settings dialog counts at once.
      if (IsOn(*c_.settings, Setting::CreateNoCheckFile) &&
          VerifiedMarkerPresent(SetDirectoryOf(path))) {
        SetReport done;
        done.sfv_path = std::move(path);
        done.state = SetReport::State::kComplete;
        report_.sets.push_back(std::move(done));
        continue;
      }
      sfv_list.push_back(std::move(path));
    }
  }
  Trace("End scanning dirs...\n");
  return true;
}

bool Pass::VerifiedMarkerPresent(const std::string& directory) {
  std::unique_ptr<ReadableFile> marker;
  return fs_.OpenForReading(directory + kVerifiedMarkerName, marker) == kErrorSuccess;
}

bool Pass::CheckSet(std::size_t row, const WatchEntry& entry, const std::string& sfv_path,
                    std::size_t k, std::size_t set_count) {
  ArchiveSet set;
  set.sfv_path = sfv_path;
  set.set_directory = SetDirectoryOf(sfv_path);

  // The first set of a row shows 1, never 0. The 0 becomes 1 before the comparison, so a row
  // of more than a hundred sets does not post 1 twice.
  std::int64_t percent = static_cast<std::int64_t>(k * 100 / set_count);
  if (percent == 0) {
    percent = 1;
  }
  if (percent != last_row_percent_) {
    Post(WM_SCAN_ROWPROGRESS, static_cast<std::int64_t>(row), percent);
    last_row_percent_ = percent;
  }

  Trace("Checking file: ", sfv_path);
  Trace("\n");
  if (ReadSfvFile(fs_, set) != kErrorSuccess) {
    return EndEarly("the SFV file " + sfv_path + " cannot be opened");
  }
  if (StopRequested()) {
    return false;
  }

  const std::string state_path = set.set_directory + kStateFileName;
  std::unique_ptr<ReadableFile> state;
  if (fs_.OpenForReading(state_path, state) != kErrorSuccess || !state) {
    if (fs_.ReplaceFileAtomically(state_path, FormatStateFile(set.entry_names, {})) !=
        kErrorSuccess) {
      return EndEarly("the state file " + state_path + " cannot be written");
    }
    if (StopRequested()) {
      return false;
    }
    // A state file just written that cannot be opened again means the directory is being
    // changed under us; ending the pass, as for a state file that cannot be written, keeps the
    // set from being judged on data we cannot read.
    if (fs_.OpenForReading(state_path, state) != kErrorSuccess || !state) {
      return EndEarly("the state file " + state_path + " cannot be read back");
    }
  }

  StateFileReader reader(std::move(state));
  SetReport report;
  report.sfv_path = sfv_path;
  report.total = set.entry_names.size();
  if (!CheckLines(reader, set, report) || StopRequested()) {
    return false;
  }

  // An SFV entry without a state line (the state file is shorter) is not verified either.
  const bool complete = set.statuses.size() >= set.entry_names.size() &&
                        std::none_of(set.statuses.begin(), set.statuses.end(),
                                     [](std::uint32_t status) { return status == 0; });
  // Done: handed off here or by another process. A set whose completion could not run keeps
  // its state file (every volume verified) for the next pass to try again without rereading.
  bool done = false;
  if (complete) {
    done = Complete(row, entry, set);
  } else {
    Trace("Archive is not complete, checking it again next round...\n");
  }
  // A complete set whose completion could not run waits (for the companion), as the row's
  // notice says.
  report.state = done                            ? SetReport::State::kComplete
                 : report.failed_volumes.empty() ? SetReport::State::kWaiting
                                                 : SetReport::State::kFailed;
  report_.sets.push_back(std::move(report));

  // Names without a status are written as 0 (FormatStateFile).
  if (fs_.ReplaceFileAtomically(state_path, FormatStateFile(set.entry_names, set.statuses)) !=
      kErrorSuccess) {
    return EndEarly("the state file " + state_path + " cannot be written");
  }
  if (done && IsOn(*c_.settings, Setting::DeleteQuarrystream)) {
    fs_.DeleteFile(state_path);
  }
  return true;
}

bool Pass::Complete(std::size_t row, const WatchEntry& entry, ArchiveSet& set) {
  checksums_.Release();  // the completion starts other programs
  if (c_.completion == nullptr) {
    return true;
  }
  // A volume named the Windows way ("sub\\x.rar") is handed on by the name it was found by.
  if (set.first_volume_name.find('\\') != std::string::npos) {
    std::unique_ptr<ReadableFile> literal;
    if (fs_.OpenForReading(set.set_directory + set.first_volume_name, literal) != kErrorSuccess) {
      set.first_volume_name = WithFolderSeparators(set.first_volume_name);
    }
  }
  // The destination is read again now: the user may have changed it during the check.
  WatchEntry for_completion = entry;
  WatchEntry current;
  if (c_.watch_list->CopyRow(row, current)) {
    for_completion.destination = current.destination;
  }
  const CompletionResult result = c_.completion->Perform(for_completion, set);
  if (result.outcome == CompletionResult::Outcome::kHandedOff) {
    Log(CompleteSetLine(set.set_directory + set.first_volume_name));
  }
  if (result.outcome == CompletionResult::Outcome::kCompanionMissing) {
    report_.notice = "Complete sets wait for the companion program " +
                     std::string(kCompanionExecutable) + ", which cannot be started";
  }
  if (!result.failure.empty()) {
    Fail(row_, result.failure);
  }
  return result.outcome != CompletionResult::Outcome::kCompanionMissing;
}

// Judges the state lines in order, posting the file progress before each. Lines are read up to
// kLinesAhead ahead, and the checksum of each ahead that needs one is queued at once.
bool Pass::CheckLines(StateFileReader& reader, ArchiveSet& set, SetReport& report) {
  struct AheadLine {
    StateLine line;
    bool queued = false;
  };
  const std::size_t entries = set.entry_names.size();
  // The volumes are opened by name in the set's folder, held open for the set.
  const std::shared_ptr<FolderHandle> folder = fs_.OpenFolder(set.set_directory);
  std::deque<AheadLine> ahead;
  std::size_t lines_read = 0;
  bool more = true;
  for (std::size_t m = 0;; ++m) {
    while (more && ahead.size() < kLinesAhead) {
      AheadLine next;
      if (!reader.Next(next.line)) {
        more = false;
        break;
      }
      const std::size_t index = lines_read++;
      // A line without an SFV entry ends the reading (see below), so none after it is read.
      more = index < entries;
      next.queued = more && !next.line.truncated && NeedsVerification(next.line);
      if (next.queued) {
        checksums_.Queue(folder, next.line.name);
      }
      ahead.push_back(std::move(next));
    }
    if (ahead.empty()) {
      break;
    }
    const AheadLine& current = ahead.front();
    Post(WM_SCAN_FILEPROGRESS, 0, FileProgress(m, entries));
    ApplyFirstVolumeRule(current.line.name, set.first_volume_name);
    if (StopRequested()) {
      return false;
    }
    if (m >= entries) {
      // A line without an SFV entry (the SFV file changed, or two SFV files share the
      // directory) is not verified: the set stays incomplete until the state file is rebuilt
      // from the SFV file. Nothing after it can change that, so the rest is not read: a state
      // file of millions of lines costs no memory and posts no flood of progress.
      set.statuses.push_back(0);
      break;
    }
    std::uint32_t status = 1;
    if (current.line.truncated) {
      // Longer than any line this program writes: its status is unknown.
      status = 0;
    } else if (current.queued) {
      std::uint32_t crc = 0;
      const SystemError result = checksums_.TakeNext(crc);
      if (result == kErrorOperationAborted) {
        return false;  // stopped inside the checksum: end as at a stop check, write nothing
      }
      status = result == kErrorSuccess && CrcMatches(crc, set.expected_crcs[m]) ? 1 : 0;
      if (result == kErrorSuccess && status == 0) {
        report.failed_volumes.push_back(current.line.name);
        Fail(row_, "CRC mismatch: " + set.set_directory + current.line.name + " (expected " +
                       ToUpperAscii(set.expected_crcs[m]) + ", computed " + FormatCrc(crc) + ")");
      }
    }
    report.verified += status;
    set.statuses.push_back(status);
    ahead.pop_front();
  }
  Post(WM_SCAN_FILEPROGRESS, 0, 100);
  return true;
}

}  // namespace

unsigned DefaultChecksumThreads() {
  return std::thread::hardware_concurrency() > 1 ? 2 : 1;
}

unsigned ScanThreadProc(ScanPassContext& context) {
  if (context.watch_list == nullptr || context.sink == nullptr || context.settings == nullptr ||
      context.fs == nullptr || context.stop_event == nullptr || context.done_event == nullptr) {
    if (context.done_event != nullptr) {
      context.done_event->Set();
    }
    return 0;
  }
  Pass pass(context);
  return pass.Run();
}

}  // namespace qs
