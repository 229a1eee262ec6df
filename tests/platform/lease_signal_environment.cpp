// The read-lease probe of OpenForVerify can draw a lease-break SIGIO, which would kill a test
// process that had not ignored it, as the program does first thing in main().
#include <gtest/gtest.h>

#include "platform/process_setup.h"

namespace {

class LeaseSignalEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { qs::IgnoreLeaseSignals(); }
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new LeaseSignalEnvironment);

}  // namespace
