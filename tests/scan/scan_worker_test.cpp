// The worker's control block and the message queue between the worker and its front end.
#include "scan/scan_worker.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "config/memory_settings_store.h"
#include "config/watch_list.h"
#include "scan/scan_message_queue.h"
#include "tests/scan/scan_test_doubles.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

using test::RecordingSleeper;
using test::ScriptedFileSystem;
using test::TempDir;

ScanMessage Message(std::uint32_t id, std::int64_t wparam = 0, std::int64_t lparam = 0) {
  ScanMessage message;
  message.id = id;
  message.wparam = wparam;
  message.lparam = lparam;
  return message;
}

TEST(ScanWorkerTest, StoppingABlockWhoseThreadNeverStartedDoesNotWait) {
  ScanMessageQueue queue;
  ScanWorker worker(ScanWorkerSetup{&queue, nullptr, nullptr, nullptr, nullptr});
  RecordingSleeper sleeper;
  StopScanWorker(worker, sleeper);
  EXPECT_TRUE(worker.hStopEvent.IsSet());
  EXPECT_TRUE(sleeper.Sleeps().empty());
}

TEST(ScanWorkerTest, ControlBlockPointsThePassAtItsOwnEventsAndGate) {
  ScanMessageQueue queue;
  WatchList list;
  MemorySettingsStore settings;
  ScriptedFileSystem fs;
  ScanWorker worker(ScanWorkerSetup{&queue, &list, &settings, &fs, nullptr});
  EXPECT_EQ(worker.hWnd, &queue);
  EXPECT_EQ(worker.pWatchList, &list);
  EXPECT_EQ(worker.bPaused, 0);
  EXPECT_EQ(worker.context.stop_event, &worker.hStopEvent);
  EXPECT_EQ(worker.context.done_event, &worker.hDoneEvent);
  EXPECT_EQ(worker.context.pause, &worker.pause);
  EXPECT_EQ(worker.context.sink, &worker.relay);
  EXPECT_EQ(worker.context.fs, &fs);
}

TEST(ScanWorkerTest, PausedWorkerIsResumedByTheStopAndLeavesTheFileUnread) {
  TempDir temp;
  const std::string big = temp.WriteFile("in/big.bin", "");
  temp.WriteFile("in/big.sfv", "big.bin 00000000\n");
  WatchList list;
  list.Append({temp.Path("in"), temp.MakeDir("out"), 1});
  MemorySettingsStore settings;
  ScriptedFileSystem fs;
  ScanMessageQueue queue;
  RecordingSleeper sleeper;
  fs.ServeLargeFile(big, 4096);
  fs.HoldRead(big, 1);

  auto worker = StartScanWorker({&queue, &list, &settings, &fs, nullptr});
  ASSERT_NE(worker, nullptr);
  fs.read_hold().WaitEntered();
  PauseScanWorker(*worker);
  EXPECT_EQ(worker->bPaused, 1);
  EXPECT_TRUE(worker->pause.IsPaused());
  fs.read_hold().Release();

  StopScanWorker(*worker, sleeper);
  EXPECT_FALSE(worker->pThread.joinable());
  EXPECT_TRUE(worker->hDoneEvent.IsSet());
  EXPECT_EQ(worker->bPaused, 0);
  EXPECT_FALSE(worker->pause.IsPaused());
  EXPECT_EQ(fs.BlocksRead(big), 1);
  EXPECT_FALSE(worker->relay.FinishedPosted());
  EXPECT_EQ(worker->pass_result.load(), 0);
  EXPECT_EQ(sleeper.Sleeps(),
            std::vector<std::chrono::milliseconds>{std::chrono::milliseconds(kStopScanPauseMs)});
}

TEST(ScanWorkerTest, NormalEndPostsFinishedThroughTheRelay) {
  TempDir temp;
  WatchList list;
  list.Append({temp.MakeDir("in"), temp.MakeDir("out"), 1});
  list.Append({temp.MakeDir("skipped"), temp.MakeDir("out2"), 0});
  MemorySettingsStore settings;
  ScanMessageQueue queue;
  RecordingSleeper sleeper;
  auto worker = StartScanWorker({&queue, &list, &settings, &RealFileSystem(), nullptr});
  ASSERT_NE(worker, nullptr);
  std::vector<std::uint32_t> ids;
  do {
    ScanMessage message = queue.Take();
    EXPECT_NE(message.wparam, 1) << "an excluded row reported progress";
    ids.push_back(message.id);
  } while (ids.back() != WM_SCAN_FINISHED);
  EXPECT_TRUE(worker->relay.FinishedPosted());
  StopScanWorker(*worker, sleeper);
  EXPECT_EQ(worker->pass_result.load(), 1);
  EXPECT_TRUE(queue.Empty());
}

TEST(ScanWorkerRelayTest, MarksOnlyFinishedAndForwardsEverythingInOrder) {
  ScanMessageQueue queue;
  ScanWorkerRelay relay(queue);
  relay.Post(Message(WM_SCAN_ROWPROGRESS, 2, 50));
  relay.Post(Message(WM_SCAN_FILEPROGRESS, 0, 10));
  EXPECT_FALSE(relay.FinishedPosted());
  relay.Post(Message(WM_SCAN_FINISHED));
  EXPECT_TRUE(relay.FinishedPosted());
  ScanMessage message;
  ASSERT_TRUE(queue.TryTake(message));
  EXPECT_EQ(message.id, WM_SCAN_ROWPROGRESS);
  EXPECT_EQ(message.wparam, 2);
  EXPECT_EQ(message.lparam, 50);
  ASSERT_TRUE(queue.TryTake(message));
  EXPECT_EQ(message.id, WM_SCAN_FILEPROGRESS);
  ASSERT_TRUE(queue.TryTake(message));
  EXPECT_EQ(message.id, WM_SCAN_FINISHED);
  EXPECT_FALSE(queue.TryTake(message));
}

TEST(ScanMessageQueueTest, KeepsEachPostersOrderAcrossThreadsAndWakesOncePerPost) {
  ScanMessageQueue queue;
  std::atomic<int> wakes{0};
  queue.SetWakeUp([&wakes] { wakes.fetch_add(1, std::memory_order_relaxed); });
  constexpr int kPerThread = 2000;
  auto poster = [&queue](std::int64_t thread) {
    for (int i = 0; i < kPerThread; ++i) {
      queue.Post(Message(WM_SCAN_ROWPROGRESS, thread, i));
    }
  };
  std::thread first(poster, 0);
  std::thread second(poster, 1);
  std::int64_t next[2] = {0, 0};
  for (int taken = 0; taken < 2 * kPerThread; ++taken) {
    const ScanMessage message = queue.Take();
    ASSERT_EQ(message.lparam, next[message.wparam]) << "thread " << message.wparam;
    ++next[message.wparam];
  }
  first.join();
  second.join();
  EXPECT_EQ(wakes.load(), 2 * kPerThread);
  EXPECT_TRUE(queue.Empty());
}

TEST(ScanMessageQueueTest, SetCompleteTextsTravelWithTheMessage) {
  ScanMessageQueue queue;
  ScanMessage message = Message(WM_SCAN_SETCOMPLETE);
  message.texts = std::make_unique<SetCompleteTexts>(SetCompleteTexts{"/d/x.sfv", "/d/x.rar"});
  queue.Post(std::move(message));
  ScanMessage taken;
  ASSERT_TRUE(queue.TryTake(taken));
  ASSERT_NE(taken.texts, nullptr);
  EXPECT_EQ(taken.texts->sfv_text, "/d/x.sfv");
  EXPECT_EQ(taken.texts->volume_text, "/d/x.rar");
  // A message nobody takes releases its texts with the queue (checked under ASan).
  ScanMessage dropped = Message(WM_SCAN_SETCOMPLETE);
  dropped.texts = std::make_unique<SetCompleteTexts>();
  queue.Post(std::move(dropped));
}

}  // namespace
}  // namespace qs
