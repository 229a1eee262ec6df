#include "tests/scan/scan_test_support.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>

namespace qs::test {

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
  if (message.id == WM_SCAN_ROWPROGRESS) {
    posted.push_back("r" + numbers);
  } else if (message.id == WM_SCAN_FILEPROGRESS && message.wparam == 0) {
    posted.push_back("f" + std::to_string(message.lparam));
  } else if (numbers == "0:0" && message.id == WM_SCAN_SETCOMPLETE && message.texts) {
    posted.push_back("set");
    texts.push_back(std::move(message.texts));
  } else if (numbers == "0:0" && message.id == WM_SCAN_FINISHED) {
    posted.push_back("end");
  } else {
    posted.push_back("?" + std::to_string(message.id) + ":" + numbers);
  }
  if (on_post) {
    on_post(posted.back());
  }
}

std::string RecordingSink::Trace() const {
  std::string trace;
  for (const std::string& word : posted) {
    trace += (trace.empty() ? "" : " ") + word;
  }
  return trace;
}

long FakeFile::Read(void* buffer, std::size_t size) {
  if (c_.fail_after >= 0 && offset_ >= static_cast<std::size_t>(c_.fail_after)) {
    return -1;
  }
  const std::size_t end =
      std::min({c_.text.size(), offset_ + std::min(size, c_.chunk),
                c_.fail_after < 0 ? c_.text.size() : static_cast<std::size_t>(c_.fail_after)});
  std::memcpy(buffer, c_.text.data() + offset_, end - offset_);
  const auto n = static_cast<long>(end - offset_);
  offset_ = end;
  if (n > 0 && owner_ != nullptr) {
    owner_->OnBlockRead(path_);
  }
  return n;
}

std::string RandomBytes(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string data(size, '\0');
  for (char& c : data) {
    c = static_cast<char>(random());
  }
  return data;
}

std::uint32_t ReferenceCrc(std::string_view data) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char byte : data) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 1u) != 0 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
  }
  return ~crc;
}

std::string CrcText(std::string_view data) {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(ReferenceCrc(data)));
  return text;
}

void Hold::Arm() {
  std::lock_guard lock(mutex_);
  armed_ = true;
  until_ = nullptr;
  entered_.Reset();
}

void Hold::ReleaseWhen(const ManualResetEvent& event) {
  {
    std::lock_guard lock(mutex_);
    until_ = &event;
    armed_ = armed_ && &event != &always_;
  }
  changed_.notify_all();
}

void Hold::Pass() {
  const ManualResetEvent* until = nullptr;
  {
    std::unique_lock lock(mutex_);
    if (!armed_) {
      return;
    }
    armed_ = false;
    entered_.Set();
    changed_.wait(lock, [this] { return until_ != nullptr; });
    until = until_;
  }
  until->Wait();
}

SystemError TestFileSystem::Open(const std::string& path, bool verify,
                                 std::unique_ptr<ReadableFile>& file) {
  std::optional<FakeContent> served;
  {
    std::lock_guard lock(mutex_);
    ++(verify ? verified : read)[path];
    if (const auto found = served_.find(path); found != served_.end()) {
      served = found->second;
    }
  }
  if (verify && before_verify) {
    before_verify(path);
  }
  if (const SystemError error = fail_open ? fail_open(path) : kErrorSuccess) {
    return error;
  }
  if (served) {
    file = std::make_unique<FakeFile>(*served, this, path);
    return kErrorSuccess;
  }
  return verify ? real_.OpenForVerify(path, file) : real_.OpenForReading(path, file);
}

bool TestFileSystem::ListDirectory(const std::string& directory,
                                   std::vector<DirectoryEntry>& entries) {
  bool hold = false;
  {
    std::lock_guard lock(mutex_);
    listing_thread_nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
    hold = directory == hold_listing_;
  }
  if (hold) {
    listing_hold.Pass();
  }
  const bool listed = real_.ListDirectory(directory, entries);
  std::sort(entries.begin(), entries.end(),
            [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });
  return listed;
}

SystemError TestFileSystem::WriteFileAtomically(const std::string& path, std::string_view content) {
  {
    std::lock_guard lock(mutex_);
    ++writes;
  }
  return fail_writes ? kErrorDiskFull : real_.WriteFileAtomically(path, content);
}

void TestFileSystem::Serve(const std::string& path, FakeContent content) {
  std::lock_guard lock(mutex_);
  served_[path] = std::move(content);
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

void TestFileSystem::OnBlockRead(const std::string& path) {
  bool hold = false;
  {
    std::lock_guard lock(mutex_);
    hold = ++blocks[path] == hold_read_block_ && path == hold_read_path_;
    reads_while_paused += watched_ != nullptr && watched_->IsPaused() ? 1 : 0;
  }
  if (hold) {
    read_hold.Pass();
  }
}

}  // namespace qs::test
