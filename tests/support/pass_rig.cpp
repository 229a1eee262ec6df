#include "tests/support/pass_rig.h"

#include <gtest/gtest.h>

namespace qs::test {

std::string PassRig::WriteSet(const std::string& dir, const std::string& sfv_name,
                              const std::vector<Volume>& volumes) {
  std::string sfv = "; generated\r\n";
  for (const Volume& volume : volumes) {
    sfv += volume.name + " " + CrcText(volume.content) + "\r\n";
    if (volume.present) {
      temp.WriteFile(dir + "/" + volume.name, volume.content);
    }
  }
  return temp.WriteFile(dir + "/" + sfv_name, sfv);
}

void PassRig::UseCompanion(std::string executable_directory, ProgramCheck present,
                           bool start_for_real) {
  CommandLineStarter recorder = [this](std::string_view line) {
    lines.emplace_back(line);
    return kErrorSuccess;
  };
  companion.emplace(settings, fs, sink, std::move(executable_directory),
                    start_for_real ? CommandLineStarter{} : recorder, std::move(present));
}

unsigned PassRig::RunPass() {
  sink.posted.clear();
  sink.texts.clear();
  stop.Reset();
  done.Reset();
  CompletionActions* completion = companion ? static_cast<CompletionActions*>(&*companion) : this;
  ScanPassContext context{
      {&list, &sink, &settings, &fs, completion, checksum_threads, log}, &stop, &done, &pause};
  const unsigned result = ScanThreadProc(context);
  EXPECT_TRUE(done.IsSet());
  return result;
}

void PassRig::OnPosted(std::string word, std::function<void()> action) {
  sink.on_post = [word, action, fired = false](const std::string& posted) mutable {
    if (!fired && posted == word) {
      fired = true;
      action();
    }
  };
}

std::vector<std::string> PassRig::CompletedSfvs() const {
  std::vector<std::string> sfvs;
  for (const Completed& done_set : completed) {
    sfvs.push_back(done_set.set.sfv_path);
  }
  return sfvs;
}

}  // namespace qs::test
