#include "platform/process_setup.h"

#include <malloc.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace qs {

namespace {

// From linux/ioprio.h, which not every libc ships.
constexpr int kIoprioWhoProcess = 1;
constexpr int kIoprioClassBestEffort = 2;
constexpr int kIoprioClassShift = 13;
constexpr int kIoprioLowestLevel = 7;

}  // namespace

void IgnoreLeaseSignals() {
  struct sigaction action {};
  action.sa_handler = SIG_IGN;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGIO, &action, nullptr);
}

void KeepFreedMemory() {
#ifdef __GLIBC__
  // Setting the trim threshold also fixes glibc's mmap threshold, which would otherwise rise
  // with use; raised here, blocks of a pass's size come from the heap and stay there.
  constexpr int kMmapThreshold = 4 << 20;
  constexpr int kTrimThreshold = 8 << 20;
  ::mallopt(M_MMAP_THRESHOLD, kMmapThreshold);
  ::mallopt(M_TRIM_THRESHOLD, kTrimThreshold);
#endif
}

void LowerCurrentThreadPriority() {
  // On Linux the nice value and the I/O priority belong to the thread when addressed by its id.
  const auto tid = static_cast<id_t>(::gettid());
  errno = 0;
  const int current = ::getpriority(PRIO_PROCESS, tid);
  if (errno == 0) {
    ::setpriority(PRIO_PROCESS, tid, current + 1);
  }
#ifdef SYS_ioprio_set
  ::syscall(SYS_ioprio_set, kIoprioWhoProcess, static_cast<int>(tid),
            (kIoprioClassBestEffort << kIoprioClassShift) | kIoprioLowestLevel);
#endif
}

}  // namespace qs
