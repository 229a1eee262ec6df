#include "companion/entry_policy.h"

#include <gtest/gtest.h>

#include <string>

#include "companion/printable.h"

namespace qs {
namespace {

struct PolicyCase {
  EntryKind kind;
  std::string name;
  std::string target;
  bool refused;
};

class RefusalReasonTest : public ::testing::TestWithParam<PolicyCase> {};

TEST_P(RefusalReasonTest, RefusesWhatCouldLeaveOrOverwhelmTheDestination) {
  const PolicyCase& c = GetParam();
  EXPECT_EQ(!RefusalReason(c.kind, c.name, c.target).empty(), c.refused)
      << c.name << " -> " << c.target;
}

std::string Deep(int folders) {
  std::string name;
  for (int i = 0; i < folders; ++i) {
    name += "d/";
  }
  return name + "f";
}

INSTANTIATE_TEST_SUITE_P(
    Entries, RefusalReasonTest,
    ::testing::Values(PolicyCase{EntryKind::kSymlink, "a/b/l", "c/./file", false},
                      // ".." anywhere, even where it would stay inside: earlier links of the
                      // same archive can make it lead anywhere.
                      PolicyCase{EntryKind::kSymlink, "a/b/l", "../file", true},
                      PolicyCase{EntryKind::kSymlink, "x/", "..", true},
                      PolicyCase{EntryKind::kSymlink, "home", "d/u/d/u/../../root", true},
                      PolicyCase{EntryKind::kSymlink, "l", "/etc", true},
                      PolicyCase{EntryKind::kHardlink, "h", "d/../../etc/passwd", true},
                      PolicyCase{EntryKind::kSpecial, "null", "", true},
                      PolicyCase{EntryKind::kRegular, "a/../../x", "", true},
                      PolicyCase{EntryKind::kRegular, Deep(256), "", false},
                      PolicyCase{EntryKind::kRegular, Deep(257), "", true},
                      PolicyCase{EntryKind::kDirectory, std::string(4097, 'n'), "", true}));

TEST(PrintableTest, ReplacesEveryControlCharacterAndBrokenByte) {
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

}  // namespace
}  // namespace qs
