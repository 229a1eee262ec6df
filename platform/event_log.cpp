#include "platform/event_log.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "platform/unique_fd.h"

namespace qs {

namespace {

std::string StateHome() {
  if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && state[0] == '/') {
    return state;
  }
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr && home[0] != '\0' ? home : "/") + "/.local/state";
}

std::string Timestamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  char text[40] = "";
  if (::localtime_r(&now, &local) != nullptr) {
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local);
  }
  return text;
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t written = ::write(fd, data.data(), data.size());
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// Opens the log and locks it; reopens when another process rotated the file between the open
// and the lock, so that no line goes into the older file.
UniqueFd OpenLocked(const std::string& path) {
  for (int attempt = 0; attempt < 4; ++attempt) {
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd.Valid() || ::flock(fd.Get(), LOCK_EX) != 0) {
      return {};
    }
    struct stat opened {};
    struct stat named {};
    if (::fstat(fd.Get(), &opened) == 0 && ::stat(path.c_str(), &named) == 0 &&
        opened.st_dev == named.st_dev && opened.st_ino == named.st_ino) {
      return fd;
    }
  }
  return {};
}

}  // namespace

std::string DefaultLogPath() {
  if (const char* path = std::getenv(kLogEnvironmentVariable); path != nullptr && path[0] == '/') {
    return path;
  }
  return StateHome() + "/Quarrystream/" + kLogFileName;
}

EventLog::EventLog(std::string path, std::string program)
    : path_(std::move(path)), program_(std::move(program)) {}

bool EventLog::Append(std::string_view text) const {
  if (path_.empty()) {
    return false;
  }
  std::string line = Timestamp() + ' ' + program_ + '[' + std::to_string(::getpid()) + "]: ";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    line.push_back(byte < 0x20 || byte == 0x7f ? ' ' : c);
  }
  line.push_back('\n');

  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(path_).parent_path(), error);
  UniqueFd fd = OpenLocked(path_);
  if (!fd.Valid()) {
    return false;
  }
  struct stat info {};
  if (::fstat(fd.Get(), &info) == 0 &&
      static_cast<std::uintmax_t>(info.st_size) >= kLogRotateBytes &&
      ::rename(path_.c_str(), (path_ + ".1").c_str()) == 0) {
    // Still locked: writers waiting on the old file see the rename and reopen.
    UniqueFd fresh = OpenLocked(path_);
    if (!fresh.Valid()) {
      return false;
    }
    fd = std::move(fresh);
  }
  return WriteAll(fd.Get(), line);
}

}  // namespace qs
