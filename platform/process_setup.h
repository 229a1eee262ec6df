// Process-wide settings that must be in place before anything else runs.
#pragma once

namespace qs {

// Ignores SIGIO: the read-lease probe of OpenForVerify can otherwise kill the process when a
// lease is broken. Call first thing in main().
void IgnoreLeaseSignals();

// Keeps the memory the process frees for its next use rather than handing it back to the
// system. A pass frees and allocates again the same few hundred KiB; each hand-back makes
// every core that ran one of the process's threads flush its TLB, which on a virtual machine
// can hold the freeing thread for half a millisecond. Call early in main().
void KeepFreedMemory();

// Lowers the calling thread's CPU priority (nice +1) and its I/O priority (best-effort, lowest
// level), so that a long verification does not slow the desktop.
void LowerCurrentThreadPriority();

}  // namespace qs
