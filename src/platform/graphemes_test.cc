#include "platform/graphemes.h"

#include <gtest/gtest.h>
#include <utf8proc.h>

#include <fstream>
#include <sstream>

namespace orlimbo {
namespace {

const char kGraphemeBreakTest[] = "/usr/share/unicode/auxiliary/GraphemeBreakTest.txt";

std::string utf8(long codepoint) {
  utf8proc_uint8_t bytes[4];
  utf8proc_ssize_t length = utf8proc_encode_char(static_cast<utf8proc_int32_t>(codepoint), bytes);
  return std::string(reinterpret_cast<char*>(bytes), static_cast<std::size_t>(length));
}

// Each test line reads "÷ 0020 × 0308 ÷ # comment": code points with ÷ where a
// boundary is and × where none is.
TEST(GraphemesTest, AgreesWithUnicodeGraphemeBreakTest) {
  std::ifstream file(kGraphemeBreakTest);
  if (!file) GTEST_SKIP() << "unicode-data is not installed";
  std::string line;
  int checked = 0;
  while (std::getline(file, line)) {
    line = line.substr(0, line.find('#'));
    if (line.find("÷") == std::string::npos) continue;
    std::istringstream fields(line);
    std::string text;
    std::vector<std::size_t> expected;
    for (std::string field; fields >> field;) {
      if (field == "÷") {
        expected.push_back(text.size());
      } else if (field != "×") {
        text += utf8(std::stol(field, nullptr, 16));
      }
    }
    ASSERT_EQ(graphemeBoundaries(text), expected) << line;
    std::size_t clusters = expected.size() - 1;
    EXPECT_EQ(firstGraphemes(text, clusters), text) << line;
    if (clusters > 0) {
      EXPECT_EQ(firstGraphemes(text, clusters - 1).size(), expected[clusters - 1]);
    }
    ++checked;
  }
  EXPECT_GT(checked, 500);
}

struct Cut {
  const char* name;
  std::string text;
  std::size_t clusters;
  std::string expected;
};

const Cut kCuts[] = {
    {"Empty", "", 3, ""},
    {"Shorter", "ab", 3, "ab"},
    {"Exact", "abc", 3, "abc"},
    {"Zero", "abc", 0, ""},
    {"CrLfIsOne", "a\r\nb", 2, "a\r\n"},
    {"CombiningMarks", "e\u0301e\u0301", 1, "e\u0301"},
    {"FlagsPairUp", "\U0001F1EB\U0001F1F7\U0001F1E9\U0001F1EA", 1, "\U0001F1EB\U0001F1F7"},
    {"BrokenByteStandsAlone", "a\xFF\xFE" "b", 2, "a\xFF"},
    {"TruncatedSequence", "a\xE2\x82", 2, "a\xE2"},
};

class CutTest : public testing::TestWithParam<Cut> {};

TEST_P(CutTest, KeepsWholeCharacters) {
  const Cut& cut = GetParam();
  EXPECT_EQ(firstGraphemes(cut.text, cut.clusters), cut.expected);
}

INSTANTIATE_TEST_SUITE_P(Graphemes, CutTest, testing::ValuesIn(kCuts),
                         [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace orlimbo
