#include "platform/linux/transcript_format.h"

#include <gtest/gtest.h>

namespace orlimbo {
namespace {

struct FormatCase {
  const char* hypothesis;
  const char* typed;
};

TEST(TranscriptFormatTest, ReadsAsAPersonWouldTypeIt) {
  const FormatCase cases[] = {
      {"", ""},
      {"   ", ""},
      {"go forward ten meters", "Go forward ten meters"},
      {"i think i'm done", "I think I'm done"},
      {"so i'll go and i've seen what i'd do", "So I'll go and I've seen what I'd do"},
      // Only the pronoun: words that merely start with "i" stay as they are.
      {"it is in ice", "It is in ice"},
      {"<s> hello <sil> world </s>", "Hello world"},
      {"[NOISE] hello [BREATH] there ++UM++", "Hello there"},
      {"read(2) the(3) book", "Read the book"},
      // Parentheses that do not hold a variant number belong to the word.
      {"f(x) and g()", "F(x) and g()"},
      {"hello (2) world", "Hello world"},
      {"<sil> [NOISE]", ""},
      {"  many   spaces\there  ", "Many spaces here"},
      {"i", "I"},
  };
  for (const FormatCase& c : cases) {
    EXPECT_EQ(formatTranscript(c.hypothesis), c.typed) << "hypothesis: \"" << c.hypothesis << "\"";
  }
}

}  // namespace
}  // namespace orlimbo
