#include "scan/post_execution.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace qs {
namespace {

struct PostCase {
  const char* label;
  const char* field;
  const char* sfv_text;
  const char* volume_text;
  std::vector<std::string> started;  // empty: nothing started
};

class OnSetCompleteTest : public ::testing::TestWithParam<PostCase> {};

TEST_P(OnSetCompleteTest, SplitsFirstThenFillsThePlaceholders) {
  auto texts = std::make_unique<SetCompleteTexts>();
  texts->sfv_text = GetParam().sfv_text;
  texts->volume_text = GetParam().volume_text;
  std::vector<std::vector<std::string>> starts;
  const auto returned =
      OnSetComplete(std::move(texts), GetParam().field, [&](const std::vector<std::string>& args) {
        starts.push_back(args);
        return kErrorSuccess;
      });
  EXPECT_EQ(returned, GetParam().started);
  if (GetParam().started.empty()) {
    EXPECT_TRUE(starts.empty());
  } else {
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0], GetParam().started);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Fields, OnSetCompleteTest,
    ::testing::Values(
        PostCase{"AllThree",
                 "unrar \"%1\" \"%2\" \"%3\"",
                 "/d/x.sfv",
                 "/d/x.rar",
                 {"unrar", "/d/", "/d/x.sfv", "/d/x.rar"}},
        PostCase{"AfterDeleteSfvOneAndTwoAreEmpty",
                 "tool \"%1\" \"%2\" %3",
                 "",
                 "/d/x.rar",
                 {"tool", "", "", "/d/x.rar"}},
        PostCase{
            "EverySeveralOne", "tool %1%1 x%1", "/d/x.sfv", "/d/x.rar", {"tool", "/d//d/", "x/d/"}},
        PostCase{
            "EmptyFirstVolumeGivesTheDirectory", "tool %3", "/d/x.sfv", "/d/", {"tool", "/d/"}},
        PostCase{"EmptyFieldStartsNothing", "", "/d/x.sfv", "/d/x.rar", {}},
        PostCase{"BlankFieldStartsNothing", " \t ", "/d/x.sfv", "/d/x.rar", {}},
        PostCase{"LeadingBlanksAreSkipped", "  tool %2", "/d/x.sfv", "/v", {"tool", "/d/x.sfv"}},
        PostCase{"QuoteInANameStaysOneArgument",
                 "tool %2 end",
                 "/d/say \"hi\"/x.sfv",
                 "/v",
                 {"tool", "/d/say \"hi\"/x.sfv", "end"}},
        PostCase{"ShellTextStaysLiteral",
                 "tool %3",
                 "/d/x.sfv",
                 "/d/$(rm -rf x); `y` x.rar",
                 {"tool", "/d/$(rm -rf x); `y` x.rar"}},
        PostCase{
            "SpacesInANameNeedNoQuotes", "tool %1", "/my dir/x.sfv", "/v", {"tool", "/my dir/"}},
        // Each replacement works on the result of the one before.
        PostCase{"ReplacementsChain", "tool %1", "/p%3/x.sfv", "V", {"tool", "/pV/"}},
        PostCase{
            "PlaceholderInTheProgram", "%1run.sh %2", "/d/x.sfv", "/v", {"/d/run.sh", "/d/x.sfv"}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(OnSetCompleteNullTest, NoTextsStartNothing) {
  bool started = false;
  EXPECT_TRUE(OnSetComplete(nullptr, "tool %1", [&](const std::vector<std::string>&) {
                started = true;
                return kErrorSuccess;
              }).empty());
  EXPECT_FALSE(started);
}

}  // namespace
}  // namespace qs
