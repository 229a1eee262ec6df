// The state file on any bytes, read on its own and by a whole scan pass over a set of three
// volumes: the pass ends normally, completes the set only when every entry counts as verified,
// and rewrites the state file as exactly one well-formed line per SFV entry.
#include <cstdint>
#include <string>
#include <vector>

#include "config/memory_settings_store.h"
#include "config/settings_keys.h"
#include "config/watch_list.h"
#include "fuzz/fuzz_support.h"
#include "platform/manual_reset_event.h"
#include "scan/completion_actions.h"
#include "scan/scan_pass.h"
#include "scan/state_file.h"

namespace {

using qs::fuzz::Require;

class DiscardingSink final : public qs::ScanMessageSink {
 public:
  void Post(qs::ScanMessage) override {}
};

class CountingCompletion final : public qs::CompletionActions {
 public:
  qs::CompletionResult Perform(const qs::WatchEntry&, const qs::ArchiveSet&) override {
    ++performed;
    return {};
  }
  int performed = 0;
};

// a.rar holds "a" (CRC E8B7BE43), b.rar holds "b" (CRC 71BEEFF9), c.rar is missing.
const std::vector<std::string> kNames = {"a.rar", "b.rar", "c.rar"};

void PassOver(std::string_view state, std::size_t read_size) {
  qs::fuzz::MemoryDisk disk;
  disk.read_size = read_size;
  disk.folders["/in"] = {{"x.sfv", false}};
  disk.files["/in/x.sfv"] = "a.rar E8B7BE43\r\nb.rar 71BEEFF9\r\nc.rar 00000000\r\n";
  disk.files["/in/a.rar"] = "a";
  disk.files["/in/b.rar"] = "b";
  disk.files["/in/#####Quarrystream#####"] = std::string(state);
  qs::WatchList list;
  list.Append({"/in", "/out", 1});
  qs::MemorySettingsStore settings;
  qs::WriteInt(settings, qs::Setting::DeleteQuarrystream, 0);
  DiscardingSink sink;
  CountingCompletion completion;
  qs::ManualResetEvent stop;
  qs::ManualResetEvent done;
  qs::ScanPassContext context;
  context.watch_list = &list;
  context.sink = &sink;
  context.settings = &settings;
  context.fs = &disk;
  context.completion = &completion;
  context.stop_event = &stop;
  context.done_event = &done;
  context.checksum_threads = 1;
  Require(qs::ScanThreadProc(context) == 1, "the pass ends normally");
  Require(done.IsSet(), "the pass says it is done");

  const std::string& rewritten = disk.files["/in/#####Quarrystream#####"];
  qs::StateFileReader reader(std::make_unique<qs::test::TextFile>(rewritten, 4096));
  qs::StateLine line;
  std::size_t m = 0;
  bool all_verified = true;
  while (reader.Next(line)) {
    Require(m < kNames.size() && line.name == kNames[m], "one line per SFV entry, in order");
    Require(line.status_text == "0" || line.status_text == "1", "statuses are 0 or 1");
    all_verified = all_verified && line.status_text == "1";
    ++m;
  }
  Require(m == kNames.size(), "every entry has its line");
  // A line past the entries keeps the set incomplete even when every entry is verified; the
  // next pass, over the rebuilt file, completes it.
  Require(completion.performed == 0 || all_verified, "complete only when all are verified");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = qs::fuzz::AsText(data, size);
  qs::StateFileReader reader(
      std::make_unique<qs::test::TextFile>(std::string(text), qs::fuzz::kReadSizes[size % 5]));
  qs::StateLine line;
  while (reader.Next(line)) {
    Require(line.name.size() + line.status_text.size() <= qs::StateFileReader::kMaxLineLength,
            "a line stays within its bound");
    Require(line.name.find('\n') == std::string::npos, "no line break in a name");
    Require(line.status_text.empty() || line.status_text.back() != ' ',
            "the status loses its trailing blanks");
  }
  PassOver(text, qs::fuzz::kReadSizes[(size / 5) % 5]);
  return 0;
}
