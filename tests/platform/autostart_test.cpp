#include "platform/autostart.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/executable_paths.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

// Reads the Exec value back as a desktop environment does: string escapes first, then the
// quoting of one argument.
std::string ExecArgument(const std::string& entry) {
  const auto begin = entry.find("\nExec=");
  if (begin == std::string::npos) {
    return "<no Exec>";
  }
  const std::string raw = entry.substr(begin + 6, entry.find('\n', begin + 6) - begin - 6);
  std::string value;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\\' && i + 1 < raw.size()) {
      const char next = raw[++i];
      value.push_back(next == 'n' ? '\n' : next == 't' ? '\t' : next == 'r' ? '\r' : next);
    } else {
      value.push_back(raw[i]);
    }
  }
  if (value.size() < 2 || value.front() != '"' || value.back() != '"') {
    return "<not quoted: " + value + ">";
  }
  std::string argument;
  for (std::size_t i = 1; i + 1 < value.size(); ++i) {
    if (value[i] == '\\' || (value[i] == '%' && value[i + 1] == '%')) {
      ++i;
    } else if (value[i] == '"' || value[i] == '`' || value[i] == '$' || value[i] == '%') {
      return "<unescaped special: " + value + ">";
    }
    argument.push_back(value[i]);
  }
  return argument;
}

TEST(AutostartTest, EntryStartsTheProgramByItsQuotedPath) {
  test::TempDir dir;
  const std::string autostart_dir = dir.Path("config/autostart");
  Autostart autostart(autostart_dir);
  EXPECT_EQ(autostart.EntryPath(), autostart_dir + "/Quarrystream.desktop");
  EXPECT_FALSE(autostart.IsSet());
  for (const std::string program_dir :
       {"/opt/quarrystream/", "/home/me/my apps/", R"(/odd "q" `b` $HOME \x 100%/)"}) {
    autostart.Set(program_dir);
    ASSERT_TRUE(autostart.IsSet()) << program_dir;
    const std::string entry = test::ReadFile(autostart.EntryPath());
    EXPECT_TRUE(entry.starts_with("[Desktop Entry]\n")) << entry;
    EXPECT_NE(entry.find("\nType=Application\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nName=Quarrystream\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nX-GNOME-Autostart-enabled=true\n"), std::string::npos) << entry;
    EXPECT_EQ(ExecArgument(entry), program_dir + std::string(kProgramExecutable)) << entry;
  }
  EXPECT_NE(test::ReadFile(autostart.EntryPath()).find(R"(\\\\x 100%%)"), std::string::npos);
  autostart.Remove();
  EXPECT_FALSE(autostart.IsSet());
  EXPECT_FALSE(test::Exists(autostart.EntryPath()));
  autostart.Remove();
}

TEST(AutostartTest, DefaultFolderIsTheUserAutostartFolder) {
  test::TempDir dir;
  const char* old = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = old != nullptr ? old : "";
  ::setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
  Autostart autostart;
  EXPECT_EQ(autostart.EntryPath(), dir.Path("autostart/Quarrystream.desktop"));
  autostart.Set("/usr/bin/");
  EXPECT_TRUE(test::Exists(dir.Path("autostart/Quarrystream.desktop")));
  if (old != nullptr) {
    ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  } else {
    ::unsetenv("XDG_CONFIG_HOME");
  }
}

}  // namespace
}  // namespace qs
