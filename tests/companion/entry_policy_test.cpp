#include "companion/entry_policy.h"

#include <gtest/gtest.h>

#include <string>

namespace qs {
namespace {

struct LinkCase {
  std::string link_path;
  std::string target;
  bool inside;
};

class SymlinkStaysInsideTest : public ::testing::TestWithParam<LinkCase> {};

TEST_P(SymlinkStaysInsideTest, ResolvesFromTheLinksDirectory) {
  EXPECT_EQ(SymlinkStaysInside(GetParam().link_path, GetParam().target), GetParam().inside)
      << GetParam().link_path << " -> " << GetParam().target;
}

INSTANTIATE_TEST_SUITE_P(
    Links, SymlinkStaysInsideTest,
    ::testing::Values(LinkCase{"l", "file", true}, LinkCase{"a/b/l", "../../file", true},
                      LinkCase{"a/b/l", "../../../file", false}, LinkCase{"l", "..", false},
                      LinkCase{"l", ".", true}, LinkCase{"a//b/l", "..//../x", true},
                      LinkCase{"a/./l", "./../x", true},
                      // Leaving and coming back still leaves.
                      LinkCase{"a/l", "../../root/a/x", false},
                      LinkCase{"a/l", "/etc/passwd", false}, LinkCase{"l", "", false}));

}  // namespace
}  // namespace qs
