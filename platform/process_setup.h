// Process-wide settings that must be in place before anything else runs.
#pragma once

namespace qs {

// Ignores SIGIO: the read-lease probe of OpenForVerify can otherwise kill the process when a
// lease is broken. Call first thing in main().
void IgnoreLeaseSignals();

// Lowers the calling thread's CPU priority (nice +1) and its I/O priority (best-effort, lowest
// level), so that a long verification does not slow the desktop.
void LowerCurrentThreadPriority();

}  // namespace qs
