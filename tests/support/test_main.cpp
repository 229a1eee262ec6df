// The main of every core test executable. The read-lease probe of OpenForVerify can draw a
// lease-break SIGIO, which kills a process that has not ignored it, so the tests ignore it first
// thing, as the program does.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/process_setup.h"

int main(int argc, char** argv) {
  qs::IgnoreLeaseSignals();
  ::testing::InitGoogleMock(&argc, argv);
  return RUN_ALL_TESTS();
}
