#include "scan/crc32_engine.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

namespace qs {

namespace {

constexpr std::uint32_t kPolynomial = 0xEDB88320u;
constexpr std::size_t kBufferSize = 2 * Crc32Engine::kBlocksPerHalf * Crc32Engine::kReadBlockSize;

// Where one thread sleeps until a condition on atomics holds, and another wakes it. The waker
// makes a system call only when the sleeper is asleep: the condition's atomics are changed with
// sequentially consistent operations before Wake, and the sleeper marks itself asleep with one
// before it looks at them, so one of the two always sees the other.
class Parking {
 public:
  template <class Ready>
  void WaitUntil(Ready ready) {
    if (ready()) {
      return;
    }
    std::unique_lock lock(mutex_);
    asleep_.store(true);
    while (!ready()) {
      wake_.wait(lock);
    }
    asleep_.store(false, std::memory_order_relaxed);
  }

  void Wake() {
    if (asleep_.load()) {
      { std::lock_guard lock(mutex_); }  // the sleeper is waiting, or will look again
      wake_.notify_one();
    }
  }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  std::atomic<bool> asleep_{false};
};

}  // namespace

// The engine's own thread: checksums the full halves handed to it, in the order handed, and
// sleeps when there is none. Half n (counted over the engine's life) lies in half n % 2 of the
// buffer. Calls other than the constructor and destructor come from the engine's caller.
class Crc32Engine::Checksummer {
 public:
  explicit Checksummer(const Crc32Engine& engine) : engine_(engine) {}
  ~Checksummer() {
    quit_.store(true);
    worker_.Wake();
    if (thread_.joinable()) {
      thread_.join();
    }
  }
  Checksummer(const Checksummer&) = delete;
  Checksummer& operator=(const Checksummer&) = delete;

  bool Start() {
    try {
      thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
      return false;
    }
    return true;
  }

  // Only while nothing is pending: the register the next half continues from.
  void SetRegister(std::uint32_t crc) { crc_ = crc; }
  // The half's blocks and sizes are in place; they stay untouched until it is done.
  void HandOff() {
    handed_.fetch_add(1);
    worker_.Wake();
  }
  void WaitUntilPendingAtMost(std::uint32_t pending) {
    caller_.WaitUntil(
        [&] { return handed_.load(std::memory_order_relaxed) - done_.load() <= pending; });
  }
  // Waits for every half handed; the register after the last.
  std::uint32_t Finish() {
    WaitUntilPendingAtMost(0);
    return crc_;
  }

 private:
  void Run() {
    std::uint32_t done = 0;
    for (;;) {
      worker_.WaitUntil([&] { return handed_.load() != done || quit_.load(); });
      if (handed_.load() == done) {
        return;  // quit, with nothing pending
      }
      crc_ = engine_.UpdateHalf(crc_, done % 2, kBlocksPerHalf);
      done_.store(++done);
      caller_.Wake();
    }
  }

  const Crc32Engine& engine_;
  // Written by whichever side holds the work: the caller while nothing is pending, this thread
  // while a half is; handed_ and done_ pass it over.
  std::uint32_t crc_ = 0;
  std::atomic<std::uint32_t> handed_{0};
  std::atomic<std::uint32_t> done_{0};
  std::atomic<bool> quit_{false};
  Parking caller_;
  Parking worker_;
  std::thread thread_;
};

Crc32Engine::Crc32Engine(FileSystem& fs, ReadGate* gate)
    : fs_(fs), gate_(gate), update_(ActiveCrc32Kernel().update) {}

Crc32Engine::~Crc32Engine() = default;

void Crc32Engine::BuildTable() {
  FreeTable();
  table_.reset(new (std::nothrow) std::uint32_t[256]);
  if (!table_) {
    return;  // FileCrc32 then answers 23, as without a table
  }
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int bit = 0; bit < 8; ++bit) {
      c = (c & 1u) != 0 ? (c >> 1) ^ kPolynomial : c >> 1;
    }
    table_[i] = c;
  }
}

void Crc32Engine::FreeTable() {
  table_.reset();
}

SystemError Crc32Engine::FileCrc32(const std::string& path, std::uint32_t& crc) {
  crc = 0xFFFFFFFFu;
  SystemError result = kErrorSuccess;
  // The table only says the engine was set up; the kernel does the arithmetic (it gives the
  // same values as the per-byte table loop, faster).
  if (!table_) {
    result = kErrorCrc;
  } else if (!buffer_) {
    // Not value-initialised: a set of small files touches only the pages of its first block.
    buffer_.reset(new (std::nothrow) unsigned char[kBufferSize]);
    if (!buffer_) {
      result = kErrorCrc;
    }
  }
  if (result == kErrorSuccess) {
    std::unique_ptr<ReadableFile> file;
    result = fs_.OpenForVerify(path, file);
    if (result == kErrorSuccess && !file) {
      result = kErrorCrc;
    }
    if (result == kErrorSuccess) {
      result = Checksum(*file, crc);
    }
  }
  crc = ~crc;
  return result;
}

// Reads block after block into the current half. A full half goes to the engine's thread while
// the next is read into the other half; what is left at the end is checksummed here, once the
// thread is done (it usually is: checksumming is faster than reading).
SystemError Crc32Engine::Checksum(ReadableFile& file, std::uint32_t& crc) {
  SystemError result = kErrorSuccess;
  bool handed = false;  // the engine's thread holds part of this file
  unsigned half = halves_handed_ % 2;
  std::size_t blocks = 0;  // read into `half`
  for (;;) {
    // A failed read ends the data unnoticed: the shortened CRC will not match.
    const long got = file.Read(Block(half, blocks), kReadBlockSize);
    if (got <= 0) {
      break;
    }
    block_sizes_[half][blocks++] = got;
    if (gate_ != nullptr && !gate_->Continue()) {
      result = kErrorOperationAborted;
      break;
    }
    if (blocks == kBlocksPerHalf) {
      if (!HandOff(half, crc, handed)) {
        crc = UpdateHalf(crc, half, blocks);
      }
      half ^= 1u;
      blocks = 0;
      if (handed) {
        checksummer_->WaitUntilPendingAtMost(1);  // the half to read into is done
      }
    }
  }
  if (handed) {
    crc = checksummer_->Finish();
  }
  crc = UpdateHalf(crc, half, blocks);
  return result;
}

bool Crc32Engine::HandOff(unsigned half, std::uint32_t crc, bool& handed) {
  if (!checksummer_ && !checksummer_failed_) {
    auto checksummer = std::make_unique<Checksummer>(*this);
    if (checksummer->Start()) {
      checksummer_ = std::move(checksummer);
    } else {
      checksummer_failed_ = true;  // no thread to be had: this engine checksums inline
    }
  }
  if (!checksummer_) {
    return false;
  }
  // The thread takes halves in the order handed and finds half n at n % 2: a file starts at
  // the half that keeps them in step.
  if (half != halves_handed_ % 2) {
    return false;
  }
  if (!handed) {
    checksummer_->SetRegister(crc);
    handed = true;
  }
  ++halves_handed_;
  checksummer_->HandOff();
  return true;
}

unsigned char* Crc32Engine::Block(unsigned half, std::size_t index) const {
  return buffer_.get() + (half * kBlocksPerHalf + index) * kReadBlockSize;
}

std::uint32_t Crc32Engine::UpdateHalf(std::uint32_t crc, unsigned half, std::size_t blocks) const {
  for (std::size_t i = 0; i < blocks; ++i) {
    crc = update_(crc, Block(half, i), static_cast<std::size_t>(block_sizes_[half][i]));
  }
  return crc;
}

}  // namespace qs
