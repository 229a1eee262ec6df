#include "tests/support/fakes.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <random>

namespace qs::test {

std::string RandomBytes(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string data(size, '\0');
  for (char& c : data) {
    c = static_cast<char>(random());
  }
  return data;
}

std::uint32_t ReferenceCrcUpdate(std::uint32_t crc, const unsigned char* data, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 1u) != 0 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
  }
  return crc;
}

std::uint32_t ReferenceCrc(std::string_view data) {
  return ~ReferenceCrcUpdate(0xFFFFFFFFu, reinterpret_cast<const unsigned char*>(data.data()),
                             data.size());
}

std::string CrcText(std::string_view data) {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(ReferenceCrc(data)));
  return text;
}

void Hold::Arm() {
  chosen_.Reset();
  entered_.Reset();
  armed_ = true;
}

void Hold::Pass() {
  if (armed_.exchange(false)) {
    entered_.Set();
    chosen_.Wait();
    until_.load()->Wait();
  }
}

void TestFileSystem::Serve(const std::string& path, FakeContent content) {
  std::lock_guard lock(mutex_);
  served_[path] = std::move(content);
}

void TestFileSystem::FailEveryCall(FsOperation, SystemError error, std::string path_part) {
  std::lock_guard lock(mutex_);
  faults_.emplace_back(std::move(path_part), error);
}

void TestFileSystem::ClearFaults() {
  std::lock_guard lock(mutex_);
  faults_.clear();
}

int TestFileSystem::Calls(FsOperation) const {
  std::lock_guard lock(mutex_);
  return write_calls_;
}

SystemError TestFileSystem::Open(const std::string& path, bool verify,
                                 std::unique_ptr<ReadableFile>& file) {
  file.reset();
  std::unique_ptr<FakeContent> served;
  {
    std::lock_guard lock(mutex_);
    ++(verify ? verified : read)[path];
    if (const auto found = served_.find(path); found != served_.end()) {
      served = std::make_unique<FakeContent>(found->second);
    }
  }
  if (verify && before_verify) {
    before_verify(path);
  }
  if (const SystemError error = fail_open ? fail_open(path) : kErrorSuccess) {
    return error;
  }
  if (served) {
    file = std::make_unique<FakeFile>(*served, [this, path](long result) { OnRead(path, result); });
    return kErrorSuccess;
  }
  return verify ? inner_.OpenForVerify(path, file) : inner_.OpenForReading(path, file);
}

void TestFileSystem::HoldListing(const std::string& directory) {
  {
    std::lock_guard lock(mutex_);
    hold_listing_ = directory;
  }
  listing_hold.Arm();
}

void TestFileSystem::HoldRead(const std::string& path, int block) {
  {
    std::lock_guard lock(mutex_);
    hold_read_path_ = path;
    hold_read_block_ = block;
  }
  read_hold.Arm();
}

void TestFileSystem::WatchPause(const PauseGate* gate) {
  std::lock_guard lock(mutex_);
  watched_ = gate;
}

void TestFileSystem::OnRead(const std::string& path, long result) {
  if (on_read) {
    on_read(path, result);
  }
  bool hold = false;
  if (result > 0) {
    std::lock_guard lock(mutex_);
    hold = ++blocks[path] == hold_read_block_ && path == hold_read_path_;
    reads_while_paused += watched_ != nullptr && watched_->IsPaused() ? 1 : 0;
  }
  if (hold) {
    read_hold.Pass();
  }
}

bool TestFileSystem::ListDirectory(const std::string& directory,
                                   std::vector<DirectoryEntry>& entries) {
  entries.clear();
  bool hold = false;
  {
    std::lock_guard lock(mutex_);
    listing_thread_nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
    hold = directory == hold_listing_;
  }
  if (hold) {
    listing_hold.Pass();
  }
  const bool listed = inner_.ListDirectory(directory, entries);
  std::sort(entries.begin(), entries.end(),
            [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });
  return listed;
}

SystemError TestFileSystem::Write(const std::string& path, std::string_view content, Writer write) {
  std::lock_guard lock(mutex_);
  ++write_calls_;
  for (const auto& [path_part, error] : faults_) {
    if (path.find(path_part) != std::string::npos) {
      return error;
    }
  }
  ++writes;
  served_.erase(path);  // what is written replaces what was served
  return (inner_.*write)(path, content);
}

SystemError TestFileSystem::DeleteFile(const std::string& path) {
  {
    std::lock_guard lock(mutex_);
    served_.erase(path);
  }
  return inner_.DeleteFile(path);
}

void RecordingSink::Post(ScanMessage message) {
  // Reports and failures are kept apart: the trace is the designed sequence of messages.
  if (message.id == WM_SCAN_ROWREPORT && message.report) {
    reports.push_back(*message.report);
    return;
  }
  if (message.id == WM_SCAN_FAILURE) {
    failures.push_back(message.text);
    return;
  }
  const std::string numbers = std::to_string(message.wparam) + ":" + std::to_string(message.lparam);
  std::string word = "?" + std::to_string(message.id) + ":" + numbers;
  if (message.id == WM_SCAN_ROWPROGRESS) {
    word = "r" + numbers;
  } else if (message.id == WM_SCAN_FILEPROGRESS && message.wparam == 0) {
    word = "f" + std::to_string(message.lparam);
  } else if (numbers == "0:0" && message.id == WM_SCAN_SETCOMPLETE && message.texts) {
    word = "set";
    texts.push_back(std::move(message.texts));
  } else if (numbers == "0:0" && message.id == WM_SCAN_FINISHED) {
    word = "end";
  }
  posted.push_back(word);
  if (on_post) {
    on_post(word);
  }
}

std::string RecordingSink::Trace() const {
  std::string trace;
  for (const std::string& word : posted) {
    trace += (trace.empty() ? "" : " ") + word;
  }
  return trace;
}

bool RecordingSink::WasPosted(const std::string& word) const {
  return std::find(posted.begin(), posted.end(), word) != posted.end();
}

}  // namespace qs::test
