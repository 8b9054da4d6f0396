#include "platform/linux/linux_sentences.h"

#include <gtest/gtest.h>

namespace orlimbo {
namespace {

// The situations a Linux run can end in; the two permission refusals before
// a run cannot happen there, as both permissions read as authorized.
TEST(LinuxSentencesTest, NoSentenceThatCanShowSendsTheUserToMacOS) {
  const Sentences& table = linuxSentences();
  const std::string Sentences::*shown[] = {
      &Sentences::noRecognizer,
      &Sentences::onDeviceUnsupported,
      &Sentences::privacyTextsMissing,
      &Sentences::speechPromptRefused,
      &Sentences::microphonePromptRefused,
      &Sentences::onDeviceLost,
      &Sentences::noMicrophone,
      &Sentences::microphoneStartFailed,
      &Sentences::recognitionFailed,
  };
  for (const std::string Sentences::*sentence : shown) {
    EXPECT_EQ((table.*sentence).find("macOS"), std::string::npos) << table.*sentence;
    EXPECT_FALSE((table.*sentence).empty());
  }
  EXPECT_EQ(withLocale(table.noRecognizer, "fr-FR"),
            "Speech recognition is unavailable for fr-FR.");
  EXPECT_EQ(table.noMicrophone, designedSentences().noMicrophone);
}

}  // namespace
}  // namespace orlimbo
