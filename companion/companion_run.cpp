#include "companion/companion_run.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <vector>

#include "companion/extractor.h"
#include "companion/printable.h"
#include "companion/rar_checksums.h"
#include "companion/staging.h"
#include "companion/tree_check.h"
#include "companion/unar_engine.h"
#include "companion/volume_set.h"
#include "platform/event_log.h"

namespace qs {

namespace {

using Clock = std::chrono::steady_clock;

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Later volumes are opened by name: a link there could pull any file's bytes into the set.
bool IsRegularNotLink(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool StartsWithRarMark(const std::string& path) {
  char mark[6] = {};
  std::ifstream(path, std::ios::binary).read(mark, sizeof mark);
  return std::string_view(mark, sizeof mark) == std::string_view("Rar!\x1A\x07", 6);
}

std::uint64_t FreeBytes(const std::string& path) {
  struct statvfs fs {};
  if (statvfs(path.c_str(), &fs) != 0) {
    return UINT64_MAX;
  }
  return static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize;
}

std::string Mebibytes(std::uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1024.0 * 1024.0));
  return text;
}

class Run {
 public:
  Run(const CompanionOptions& options, const RunEnvironment& environment)
      : options_(options),
        environment_(environment),
        log_(environment.log_path, "mirrowen"),
        start_(Clock::now()) {}

  int Execute() {
    const std::string& first = options_.first_volume;
    Log("start: " + first + " into " + options_.destination);
    if (first.back() == '/' || !IsRegularFile(first)) {
      return Fail("no first volume to read at " + first);
    }
    const std::vector<std::string> volumes = FindVolumes(first, IsRegularNotLink);
    Log("set: " + std::to_string(volumes.size()) + (volumes.size() == 1 ? " volume" : " volumes"));

    if (StartsWithRarMark(first)) {
      if (const std::string damage = CheckRarChecksums(volumes); !damage.empty()) {
        return Fail("the set is damaged: " + damage);
      }
    }
    const SetSurvey survey = SurveyArchiveSet(volumes);
    const bool rar = survey.rar || StartsWithRarMark(first);
    bool use_unar = false;
    if (survey.failure == SetFailure::kUnreadable && rar) {
      Log("libarchive cannot read the set (" + survey.error + "); trying unar");
      use_unar = true;
    } else if (survey.failure != SetFailure::kNone) {
      return Fail(survey.error);
    }

    std::vector<std::string> notes;
    std::string error;
    if (!staging_.Create(options_.destination, notes, error)) {
      return Fail(error);
    }
    LogNotes(notes);
    const std::uint64_t free_bytes = FreeBytes(staging_.Tree());
    if (survey.size_known && survey.unpacked_bytes > free_bytes) {
      return Fail("the set does not fit: it unpacks to " + Mebibytes(survey.unpacked_bytes) + " (" +
                  std::to_string(survey.unpacked_bytes) + " bytes), and " + Mebibytes(free_bytes) +
                  " are free");
    }
    if (!use_unar) {
      Log("engine: libarchive (" + survey.format + ")");
      const ExtractionResult result = ExtractWithLibarchive(volumes, free_bytes, survey);
      if (result.failure == SetFailure::kNone) {
        return Place(result.entries_written, result.bytes_written, "libarchive");
      }
      if (result.failure != SetFailure::kUnreadable || !rar) {
        return Fail(result.error);
      }
      Log("libarchive failed (" + result.error + "); trying unar");
      refused_.clear();
      if (!staging_.ResetTree(error)) {
        return Fail(error);
      }
    }
    return ExtractWithUnarAndCheck();
  }

 private:
  int ExtractWithUnarAndCheck() {
    Log("engine: unar");
    const UnarResult unar =
        ExtractWithUnar(options_.first_volume, staging_.Tree(), staging_.Folder() + "/unar.log",
                        environment_.unar_program);
    if (!unar.succeeded) {
      return Fail(unar.installed ? unar.error
                                 : "libarchive cannot read this RAR set, and unar (Debian "
                                   "package unar) is not installed");
    }
    // unar makes links and paths itself: what it made is judged before anything moves.
    const TreeCheck check = CheckExtractedTree(staging_.Tree());
    if (!check.error.empty()) {
      return Fail(check.error);
    }
    for (const std::string& line : check.refused) {
      Refused("refused " + line);
    }
    return Place(check.entries, check.bytes, "unar");
  }

  int Place(int entries, std::uint64_t bytes, const std::string& engine) {
    std::vector<std::string> notes;
    std::string error;
    if (!staging_.MoveIntoPlace(notes, error)) {
      return Fail(error);
    }
    LogNotes(notes);
    return Finish(entries, bytes, engine);
  }

  ExtractionResult ExtractWithLibarchive(const std::vector<std::string>& volumes,
                                         std::uint64_t free_bytes, const SetSurvey& survey) {
    ExtractionCallbacks callbacks;
    callbacks.on_problem = [this](std::string_view line) { Refused(std::string(line)); };
    callbacks.on_note = [this](std::string_view line) { Log("note: " + std::string(line)); };
    if (!options_.quiet && !environment_.terminal) {
      callbacks.on_entry = [](std::string_view name) {
        std::cout << "  " << Printable(name) << '\n';
      };
    }
    if (!options_.quiet && environment_.terminal) {
      callbacks.on_entry = [this](std::string_view name) { current_ = Printable(name); };
      callbacks.on_progress = [this, &survey](std::uint64_t bytes) { Progress(bytes, survey); };
    }
    ExtractionLimits limits;
    limits.free_bytes = free_bytes;
    ExtractionResult result = ExtractArchiveSet(volumes, staging_.Tree(), callbacks, limits);
    if (!options_.quiet && environment_.terminal) {
      std::cout << "\r\033[K" << std::flush;
    }
    return result;
  }

  void Progress(std::uint64_t bytes, const SetSurvey& survey) {
    const Clock::time_point now = Clock::now();
    if (now - last_progress_ < std::chrono::milliseconds(200)) {
      return;
    }
    last_progress_ = now;
    std::cout << "\r\033[K" << Mebibytes(bytes);
    if (survey.size_known && survey.unpacked_bytes > 0) {
      std::cout << " (" << bytes * 100 / survey.unpacked_bytes << "%)";
    }
    std::cout << "  " << current_.substr(0, 60) << std::flush;
  }

  void Log(const std::string& text) { log_.Append(Printable(text)); }

  void LogNotes(std::vector<std::string>& notes) {
    for (const std::string& note : notes) {
      Log(note);
    }
    notes.clear();
  }

  void Refused(const std::string& line) {
    refused_.push_back(line);
    Log(line);
    std::cerr << "mirrowen: " << Printable(line) << '\n';
  }

  std::string Seconds() const {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s",
                  std::chrono::duration<double>(Clock::now() - start_).count());
    return text;
  }

  int Fail(const std::string& error) {
    const std::string shown = Printable(error);
    Log("result: failed, nothing moved into place: " + error + " (" + Seconds() + ")");
    std::cerr << "mirrowen: " << Printable(options_.first_volume) << ": " << shown << '\n';
    Notify("Could not extract " + Printable(options_.first_volume), shown, true);
    return kExitFailed;
  }

  int Finish(int entries, std::uint64_t bytes, const std::string& engine) {
    std::string summary = "extracted " + std::to_string(entries) + " entries (" + Mebibytes(bytes) +
                          ") with " + engine + " in " + Seconds();
    if (!refused_.empty()) {
      summary += ", refused " + std::to_string(refused_.size());
    }
    Log("result: " + summary);
    if (!refused_.empty()) {
      Notify("Some entries of " + Printable(options_.first_volume) + " were refused",
             Printable(refused_.front()) +
                 (refused_.size() > 1
                      ? " (and " + std::to_string(refused_.size() - 1) + " more: see the log)"
                      : ""),
             true);
      return kExitRefused;
    }
    if (!options_.quiet) {
      std::cout << "Extracted " << entries << " entries into " << Printable(options_.destination)
                << '\n';
      Notify("Extracted " + Printable(options_.first_volume), summary, false);
    }
    return kExitExtracted;
  }

  void Notify(const std::string& summary, const std::string& body, bool failure) {
    if (environment_.notify) {
      environment_.notify(summary, body, failure);
    }
  }

  const CompanionOptions& options_;
  const RunEnvironment& environment_;
  EventLog log_;
  Clock::time_point start_;
  Clock::time_point last_progress_{};
  Staging staging_;  // removed, whatever is left in it, when the run ends
  std::vector<std::string> refused_;
  std::string current_;
};

}  // namespace

int RunCompanion(const CompanionOptions& options, const RunEnvironment& environment) {
  return Run(options, environment).Execute();
}

}  // namespace qs
