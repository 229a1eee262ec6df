// The messages the worker posts to its front end: the four of the Windows program with their
// numeric values, two of our own that carry what the pass found and what failed, and one that
// tells that a stop has settled.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "scan/set_report.h"

namespace qs {

inline constexpr std::uint32_t WM_SCAN_ROWPROGRESS = 0x801A;   // wparam row, lparam percent
inline constexpr std::uint32_t WM_SCAN_FINISHED = 0x801B;      // 0, 0
inline constexpr std::uint32_t WM_SCAN_SETCOMPLETE = 0x801C;   // texts travel in `texts`
inline constexpr std::uint32_t WM_SCAN_FILEPROGRESS = 0x801D;  // 0, lparam percent
// wparam row; the row's RowReport travels in `report`, posted once the pass has walked the row.
inline constexpr std::uint32_t WM_SCAN_ROWREPORT = 0x801E;
// wparam row (-1 for none); `text` says what failed. Already in the log when posted.
inline constexpr std::uint32_t WM_SCAN_FAILURE = 0x801F;
// 0, 0: a worker asked to stop has left its pass and waited out the grace; its thread posts
// nothing after it.
inline constexpr std::uint32_t WM_SCAN_STOPPED = 0x8020;

// The two texts of WM_SCAN_SETCOMPLETE; whoever holds the message owns them, so nothing leaks
// when nobody handles it.
struct SetCompleteTexts {
  std::string sfv_text;
  std::string volume_text;
};

struct ScanMessage {
  std::uint32_t id = 0;
  std::int64_t wparam = 0;
  std::int64_t lparam = 0;
  std::unique_ptr<SetCompleteTexts> texts;
  std::unique_ptr<RowReport> report{};
  std::string text{};
};

// Receives the worker's messages. Post() is called on the worker thread and must only queue
// the message: it must never wait for the receiving thread.
class ScanMessageSink {
 public:
  virtual ~ScanMessageSink() = default;
  virtual void Post(ScanMessage message) = 0;
};

}  // namespace qs
