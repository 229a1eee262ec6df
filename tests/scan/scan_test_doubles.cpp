#include "tests/scan/scan_test_doubles.h"

#include <algorithm>
#include <cstring>

#include "scan/crc32_engine.h"

#ifdef __linux__
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace qs::test {

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
    if (&event == &always_) {
      armed_ = false;
    }
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

namespace {

// Hands every read on to the real file and reports each block to its file system.
class CountingFile final : public ReadableFile {
 public:
  CountingFile(ScriptedFileSystem& fs, std::string path, std::unique_ptr<ReadableFile> inner)
      : fs_(fs), path_(std::move(path)), inner_(std::move(inner)) {}
  long Read(void* buffer, std::size_t size) override {
    const long got = inner_->Read(buffer, size);
    if (got > 0) {
      fs_.OnBlockRead(path_);
    }
    return got;
  }

 private:
  ScriptedFileSystem& fs_;
  std::string path_;
  std::unique_ptr<ReadableFile> inner_;
};

class ZeroFile final : public ReadableFile {
 public:
  explicit ZeroFile(std::int64_t bytes) : left_(bytes) {}
  long Read(void* buffer, std::size_t size) override {
    const auto n = static_cast<std::size_t>(std::min<std::int64_t>(left_, size));
    std::memset(buffer, 0, n);
    left_ -= static_cast<std::int64_t>(n);
    return static_cast<long>(n);
  }

 private:
  std::int64_t left_;
};

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

}  // namespace

SystemError ScriptedFileSystem::OpenForVerify(const std::string& path,
                                              std::unique_ptr<ReadableFile>& file) {
  std::int64_t large_blocks = -1;
  {
    std::lock_guard lock(mutex_);
    ++verify_opens_[path];
    if (auto it = large_files_.find(path); it != large_files_.end()) {
      large_blocks = it->second;
    }
  }
  std::unique_ptr<ReadableFile> inner;
  if (large_blocks >= 0) {
    inner = std::make_unique<ZeroFile>(large_blocks *
                                       static_cast<std::int64_t>(Crc32Engine::kReadBlockSize));
  } else if (const SystemError error = RealFileSystem().OpenForVerify(path, inner);
             error != kErrorSuccess) {
    return error;
  }
  file = std::make_unique<CountingFile>(*this, path, std::move(inner));
  return kErrorSuccess;
}

SystemError ScriptedFileSystem::OpenForReading(const std::string& path,
                                               std::unique_ptr<ReadableFile>& file) {
  if (fail_sfv_ && EndsWith(path, ".sfv")) {
    return kErrorAccessDenied;
  }
  return RealFileSystem().OpenForReading(path, file);
}

bool ScriptedFileSystem::ListDirectory(const std::string& directory,
                                       std::vector<DirectoryEntry>& entries) {
  bool hold = false;
  {
    std::lock_guard lock(mutex_);
#ifdef __linux__
    listing_nice_ = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
#endif
    hold = directory == hold_listing_;
  }
  if (hold) {
    listing_hold_.Pass();
  }
  return RealFileSystem().ListDirectory(directory, entries);
}

SystemError ScriptedFileSystem::WriteFileAtomically(const std::string& path,
                                                    std::string_view content) {
  return RealFileSystem().WriteFileAtomically(path, content);
}

SystemError ScriptedFileSystem::CreateEmptyFile(const std::string& path) {
  return RealFileSystem().CreateEmptyFile(path);
}

SystemError ScriptedFileSystem::MoveFileNoReplace(const std::string& from, const std::string& to) {
  return RealFileSystem().MoveFileNoReplace(from, to);
}

SystemError ScriptedFileSystem::DeleteFile(const std::string& path) {
  return RealFileSystem().DeleteFile(path);
}

void ScriptedFileSystem::HoldListing(const std::string& directory) {
  {
    std::lock_guard lock(mutex_);
    hold_listing_ = directory;
  }
  listing_hold_.Arm();
}

void ScriptedFileSystem::HoldRead(const std::string& path, int block) {
  {
    std::lock_guard lock(mutex_);
    hold_read_path_ = path;
    hold_read_block_ = block;
  }
  read_hold_.Arm();
}

void ScriptedFileSystem::ServeLargeFile(const std::string& path, std::int64_t blocks) {
  std::lock_guard lock(mutex_);
  large_files_[path] = blocks;
}

void ScriptedFileSystem::WatchPause(const PauseGate* gate) {
  std::lock_guard lock(mutex_);
  watched_ = gate;
}

void ScriptedFileSystem::ReleaseAll() {
  listing_hold_.Release();
  read_hold_.Release();
}

int ScriptedFileSystem::BlocksRead(const std::string& path) const {
  std::lock_guard lock(mutex_);
  auto it = blocks_read_.find(path);
  return it == blocks_read_.end() ? 0 : it->second;
}

int ScriptedFileSystem::VerifyOpens(const std::string& path) const {
  std::lock_guard lock(mutex_);
  auto it = verify_opens_.find(path);
  return it == verify_opens_.end() ? 0 : it->second;
}

int ScriptedFileSystem::ReadsWhilePaused() const {
  std::lock_guard lock(mutex_);
  return reads_while_paused_;
}

int ScriptedFileSystem::ListingThreadNice() const {
  std::lock_guard lock(mutex_);
  return listing_nice_;
}

void ScriptedFileSystem::OnBlockRead(const std::string& path) {
  bool hold = false;
  {
    std::lock_guard lock(mutex_);
    const int block = ++blocks_read_[path];
    if (watched_ != nullptr && watched_->IsPaused()) {
      ++reads_while_paused_;
    }
    hold = path == hold_read_path_ && block == hold_read_block_;
  }
  if (hold) {
    read_hold_.Pass();
  }
}

void PauseWatchingSink::Post(ScanMessage message) {
  {
    std::lock_guard lock(mutex_);
    if (watched_ != nullptr && watched_->IsPaused()) {
      ++posts_while_paused_;
    }
  }
  queue_.Post(std::move(message));
}

void PauseWatchingSink::WatchPause(const PauseGate* gate) {
  std::lock_guard lock(mutex_);
  watched_ = gate;
}

int PauseWatchingSink::PostsWhilePaused() const {
  std::lock_guard lock(mutex_);
  return posts_while_paused_;
}

std::uint32_t ReferenceCrc32(std::string_view data) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char byte : data) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 1u) != 0 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
  }
  return ~crc;
}

}  // namespace qs::test
