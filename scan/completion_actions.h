// What happens to a set the pass finds complete: the hand-off to the companion program and the
// rest. Called on the worker thread, before the pass rewrites the set's state file.
#pragma once

#include "config/watch_entry.h"
#include "scan/archive_set.h"

namespace qs {

class CompletionActions {
 public:
  virtual ~CompletionActions() = default;
  virtual void Perform(const WatchEntry& entry, const ArchiveSet& set) = 0;
};

}  // namespace qs
