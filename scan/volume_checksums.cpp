#include "scan/volume_checksums.h"

#include <new>
#include <system_error>
#include <utility>

namespace qs {

namespace {

std::unique_ptr<Crc32Engine> MakeEngine(FileSystem& fs, ReadGate& gate) {
  std::unique_ptr<Crc32Engine> engine(new (std::nothrow) Crc32Engine(fs, &gate));
  if (engine) {
    engine->BuildTable();
  }
  return engine;
}

}  // namespace

VolumeChecksums::VolumeChecksums(FileSystem& fs, ReadGate& gate, unsigned threads)
    : fs_(fs), gate_(gate), want_helper_(threads > 1), engine_(MakeEngine(fs, gate)) {}

VolumeChecksums::~VolumeChecksums() {
  End();
}

void VolumeChecksums::End() {
  Abandon();
  want_helper_ = false;
  if (helper_.joinable()) {
    {
      std::lock_guard lock(mutex_);
      ending_ = true;
    }
    queued_.notify_one();
    helper_.join();
  }
}

void VolumeChecksums::Release() {
  if (helper_.joinable()) {
    {
      std::lock_guard lock(mutex_);
      ending_ = true;
    }
    queued_.notify_one();
  }
}

void VolumeChecksums::Queue(std::shared_ptr<FolderHandle> folder, std::string name) {
  if (want_helper_) {
    if (helper_.joinable() && ending_) {  // released: ended or about to
      helper_.join();
      ending_ = false;
    }
    if (!helper_.joinable()) {
      StartHelper();
    }
  }
  {
    std::lock_guard lock(mutex_);
    jobs_.push_back(Job{std::move(folder), std::move(name)});
  }
  queued_.notify_one();
}

std::size_t VolumeChecksums::Pending() const {
  std::lock_guard lock(mutex_);
  return jobs_.size();
}

SystemError VolumeChecksums::TakeNext(std::uint32_t& crc) {
  std::unique_lock lock(mutex_);
  for (;;) {
    Job& oldest = jobs_.front();
    if (oldest.state == JobState::kDone) {
      const SystemError result = oldest.result;
      crc = oldest.crc;
      jobs_.pop_front();
      return result;
    }
    // The oldest is queued, or the helper has it: then the next queued one is worth starting.
    Job* job = oldest.state == JobState::kQueued ? &oldest : FirstQueued();
    if (job == nullptr) {
      finished_.wait(lock);
      continue;
    }
    RunJob(*job, engine_.get(), lock);
  }
}

void VolumeChecksums::RunJob(Job& job, Crc32Engine* engine, std::unique_lock<std::mutex>& lock) {
  job.state = JobState::kRunning;
  lock.unlock();
  std::uint32_t crc = 0;
  const SystemError result =
      engine != nullptr ? engine->FileCrc32(*job.folder, job.name, crc) : kErrorNotEnoughMemory;
  lock.lock();
  job.result = result;
  job.crc = crc;
  job.state = JobState::kDone;
}

void VolumeChecksums::Abandon() {
  std::unique_lock lock(mutex_);
  // Marked done rather than removed: the running job must stay where the helper has it.
  for (Job& job : jobs_) {
    if (job.state == JobState::kQueued) {
      job.state = JobState::kDone;
      job.result = kErrorOperationAborted;
    }
  }
  abandoning_.store(true, std::memory_order_relaxed);
  finished_.wait(lock, [this] { return !helper_running_job_; });
  jobs_.clear();
  abandoning_.store(false, std::memory_order_relaxed);
}

bool VolumeChecksums::HelperGate::Continue() {
  return !owner_.abandoning_.load(std::memory_order_relaxed) && owner_.gate_.Continue();
}

VolumeChecksums::Job* VolumeChecksums::FirstQueued() {
  for (Job& job : jobs_) {
    if (job.state == JobState::kQueued) {
      return &job;
    }
  }
  return nullptr;
}

void VolumeChecksums::StartHelper() {
  try {
    helper_ = std::thread([this] { HelperLoop(); });
  } catch (const std::system_error&) {
    want_helper_ = false;  // the owner computes every checksum, as on a single core
  }
}

void VolumeChecksums::HelperLoop() {
  HelperGate gate(*this);
  const std::unique_ptr<Crc32Engine> engine = MakeEngine(fs_, gate);  // see engine_
  if (!engine) {
    return;  // the owner computes every checksum, as when the helper cannot start
  }
  std::unique_lock lock(mutex_);
  for (;;) {
    Job* job = nullptr;
    queued_.wait(lock, [&] { return ending_ || (job = FirstQueued()) != nullptr; });
    if (ending_) {
      return;
    }
    // The job stays where it is while it runs: the owner removes only finished ones, and
    // Abandon waits for this one to finish before it clears the queue.
    helper_running_job_ = true;
    RunJob(*job, engine.get(), lock);
    helper_running_job_ = false;
    finished_.notify_one();
  }
}

}  // namespace qs
