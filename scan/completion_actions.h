// What happens to a set the pass finds complete: the hand-off to the companion program and the
// rest. Called on the worker thread, before the pass rewrites the set's state file.
#pragma once

#include <string>

#include "config/watch_entry.h"
#include "scan/archive_set.h"

namespace qs {

struct CompletionResult {
  enum class Outcome {
    kHandedOff,         // the actions ran: the set is done
    kHandledElsewhere,  // another process completes it now or has completed it: nothing ran
    kCompanionMissing,  // nothing ran; the set stays incomplete so a later pass tries again
  };
  Outcome outcome = Outcome::kHandedOff;
  // A failure the user is to hear of now (the companion missing, the first time for this set;
  // the companion that could not be started); empty when there is none.
  std::string failure;
};

class CompletionActions {
 public:
  virtual ~CompletionActions() = default;
  // Called once at the start of every pass.
  virtual void BeginPass() {}
  virtual CompletionResult Perform(const WatchEntry& entry, const ArchiveSet& set) = 0;
};

}  // namespace qs
