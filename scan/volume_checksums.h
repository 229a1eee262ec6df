// The checksums of a set's volumes, computed on the pass's thread and, on a machine with a
// second core, on one helper thread that works through the volumes queued ahead. Two volumes
// read at once go markedly faster than one after the other: the copy out of the page cache and
// the system calls of small files take most of the time, and each core does its own.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/file_system.h"
#include "platform/system_error.h"
#include "scan/crc32_engine.h"

namespace qs {

// Thread contract: every public member is for the one thread that owns the object (the pass's
// thread). The helper thread only runs checksums; `fs`, the folders queued and `gate` are called
// from both threads, so they must be safe to share. The helper is created with the first queued
// checksum and inherits the priorities the owner's thread lowered for itself.
class VolumeChecksums {
 public:
  // With `threads` above 1 a helper thread shares the work; with 1 the owner's thread does it
  // all, as it does should the helper fail to start.
  VolumeChecksums(FileSystem& fs, ReadGate& gate, unsigned threads);
  ~VolumeChecksums();  // End()
  VolumeChecksums(const VolumeChecksums&) = delete;
  VolumeChecksums& operator=(const VolumeChecksums&) = delete;

  // Queues the checksum of the volume `name` in `folder`. Results come back in queue order.
  void Queue(std::shared_ptr<FolderHandle> folder, std::string name);
  // The checksums queued and not yet taken.
  std::size_t Pending() const;
  // Takes the result of the oldest pending checksum (pending: at least one), as
  // Crc32Engine::FileCrc32 answers it. Computes it here unless the helper has it; while the
  // helper finishes it, computes the next one queued rather than wait idle.
  SystemError TakeNext(std::uint32_t& crc);
  // Drops every pending checksum. One the helper is computing ends at its next read block;
  // returns once the helper is idle, so no file stays open.
  void Abandon();
  // Lets the helper thread end as soon as it is idle, without waiting for it; the next Queue
  // starts another. For before the owner starts another program: a helper left waiting is slow
  // to wake for its end once that program has taken its core.
  void Release();
  // Abandon(), then ends the helper thread; later checksums are computed by the owner alone.
  void End();

 private:
  enum class JobState { kQueued, kRunning, kDone };
  struct Job {
    std::shared_ptr<FolderHandle> folder;
    std::string name;
    JobState state = JobState::kQueued;
    SystemError result = kErrorSuccess;
    std::uint32_t crc = 0;
  };

  // Stops the helper's checksum when the owner abandons it, besides the owner's own gate.
  class HelperGate final : public ReadGate {
   public:
    explicit HelperGate(VolumeChecksums& owner) : owner_(owner) {}
    bool Continue() override;

   private:
    VolumeChecksums& owner_;
  };

  Job* FirstQueued();  // under mutex_
  // Runs `job` with `engine` outside `lock`, which is held on entry and again on return. Without
  // an engine (there was no memory for one) the job fails with kErrorNotEnoughMemory.
  void RunJob(Job& job, Crc32Engine* engine, std::unique_lock<std::mutex>& lock);
  void StartHelper();
  void HelperLoop();

  FileSystem& fs_;
  ReadGate& gate_;
  bool want_helper_;
  // The engines, and their read blocks, live on the heap rather than on a thread's stack: when
  // a thread ends, glibc hands the stack it used back to the system, and on a virtual machine
  // the TLB flush that takes holds the end of a pass for half a millisecond.
  std::unique_ptr<Crc32Engine> engine_;  // the owner's

  mutable std::mutex mutex_;
  std::condition_variable queued_;    // a job was queued, or the helper is to end
  std::condition_variable finished_;  // a helper's job is done, or the helper is idle
  std::deque<Job> jobs_;              // pending, oldest first; a running job is never removed
  bool helper_running_job_ = false;
  std::atomic<bool> abandoning_{false};  // read by the helper between its blocks
  bool ending_ = false;
  std::thread helper_;
};

}  // namespace qs
