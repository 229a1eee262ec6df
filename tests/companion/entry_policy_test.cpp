// The rules every entry of an archive must pass, for libarchive's entries one by one and for
// a tree another program extracted.
#include "companion/entry_policy.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>
#include <string>

#include "companion/printable.h"
#include "companion/tree_check.h"
#include "tests/support/temp_dir.h"

namespace qs {
namespace {

namespace fs = std::filesystem;

struct PolicyCase {
  EntryKind kind;
  std::string name;
  std::string target;
  bool refused;
};

std::string Deep(int folders) {
  std::string name;
  for (int i = 0; i < folders; ++i) {
    name += "d/";
  }
  return name + "f";
}

TEST(RefusalReason, RefusesWhatCouldLeaveOrOverwhelmTheDestination) {
  const PolicyCase cases[] = {{EntryKind::kSymlink, "a/b/l", "c/./file", false},
                              // ".." anywhere, even where it would stay inside: earlier links of
                              // the same archive can make it lead anywhere.
                              {EntryKind::kSymlink, "a/b/l", "../file", true},
                              {EntryKind::kSymlink, "x/", "..", true},
                              {EntryKind::kSymlink, "home", "d/u/d/u/../../root", true},
                              {EntryKind::kSymlink, "l", "/etc", true},
                              {EntryKind::kHardlink, "h", "d/../../etc/passwd", true},
                              {EntryKind::kSpecial, "null", "", true},
                              {EntryKind::kRegular, "a/../../x", "", true},
                              {EntryKind::kRegular, Deep(256), "", false},
                              {EntryKind::kRegular, Deep(257), "", true},
                              {EntryKind::kDirectory, std::string(4097, 'n'), "", true}};
  for (const PolicyCase& c : cases) {
    EXPECT_EQ(!RefusalReason(c.kind, c.name, c.target).empty(), c.refused)
        << c.name.substr(0, 20) << " -> " << c.target;
  }
}

TEST(Printable, ReplacesEveryControlCharacterAndBrokenByte) {
  // C0, DEL, C1 (NEL, CSI), line separator, bidi override, a lone continuation byte.
  EXPECT_EQ(Printable("a\tb\x7f"
                      "c\xc2\x85"
                      "d\xc2\x9b"
                      "e\xe2\x80\xa8"
                      "f\xe2\x80\xae"
                      "g\x80"),
            "a?b?c?d?e?f?g?");
  EXPECT_EQ(Printable("ünï ✓ 映画.mkv"), "ünï ✓ 映画.mkv");
  EXPECT_EQ(Printable("\xc0\xaf\xed\xa0\x80"), "?????");  // overlong '/', a surrogate
}

// What another program made of a hostile archive, judged before anything of it moves.
TEST(CheckExtractedTree, RemovesEveryEntryTheRulesRefuse) {
  test::TempDir temp;
  const std::string root = temp.MakeDir("tree");
  temp.WriteFile("tree/ok/file", "kept");
  fs::create_symlink("file", root + "/ok/link");
  fs::create_symlink("../../secret", root + "/ok/up");
  fs::create_symlink("/etc", root + "/abs");
  ASSERT_EQ(mkfifo((root + "/fifo").c_str(), 0600), 0);
  fs::create_hard_link(temp.WriteFile("secret", "outside"), root + "/hard");
  fs::create_directories(root + "/" + Deep(300).substr(0, 599));  // 300 folders

  const TreeCheck check = CheckExtractedTree(root);

  EXPECT_EQ(check.error, "");
  EXPECT_EQ(check.refused.size(), 5u);
  // ok, ok/file, ok/link and the folders with up to 256 above them.
  EXPECT_EQ(check.entries, 3 + 257);
  std::set<std::string> left;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.path().filename() != "d") {
      left.insert(entry.path().lexically_relative(root).string());
    }
  }
  EXPECT_EQ(left, (std::set<std::string>{"ok", "ok/file", "ok/link"}));
  EXPECT_EQ(test::ReadFile(temp.Path("secret")), "outside");
}

}  // namespace
}  // namespace qs
