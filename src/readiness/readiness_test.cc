#include <gtest/gtest.h>

#include <functional>

#include "host/process_values.h"
#include "platform/fake/expected_lines.h"
#include "platform/fake/fake_platform.h"
#include "readiness/availability.h"

namespace orlimbo {
namespace {

using namespace lines;

const std::string kSpeechSettings =
    "Allow Orlimbo in System Settings → Privacy & Security → Speech Recognition.";
const std::string kMicrophoneSettings =
    "Allow Orlimbo in System Settings → Privacy & Security → Microphone.";
const std::string kOnDeviceFrench =
    "On-device dictation is unavailable for fr-FR. Enable this language in macOS Dictation "
    "settings, then try again.";

struct Availability {
  const char* name;
  std::string locale;
  int speechStatus;
  int microphoneStatus;
  std::optional<std::string> reason;
  int statusReads;  // speech and microphone statuses read, together
};

const Availability kAvailabilities[] = {
    {"NothingDecidedYet", "en-US", 0, 0, std::nullopt, 2},
    {"BothAuthorized", "en-US", 3, 3, std::nullopt, 2},
    {"UnsupportedLocale", "xx-YY", 1, 2, "Speech recognition is unavailable for xx-YY.", 0},
    {"NoOnDeviceSupport", "fr-FR", 1, 1, kOnDeviceFrench, 0},
    {"SpeechDenied", "en-US", 1, 3, kSpeechSettings, 1},
    {"SpeechRestricted", "en-US", 2, 3, kSpeechSettings, 1},
    {"BothRefused", "en-US", 1, 2, kSpeechSettings, 1},
    {"MicrophoneRestricted", "en-US", 3, 1, kMicrophoneSettings, 2},
    {"MicrophoneDenied", "en-US", 0, 2, kMicrophoneSettings, 2},
    {"UnknownStatusesAreNotRefusals", "en-US", 7, -1, std::nullopt, 2},
};

class AvailabilityTest : public testing::TestWithParam<Availability> {};

TEST_P(AvailabilityTest, GivesTheFirstReasonThatApplies) {
  const Availability& c = GetParam();
  FakePlatform fake;
  fake.scenario.onDeviceByLocale = {{"en-US", true}, {"fr-FR", false}};
  fake.scenario.speechAuthorization = c.speechStatus;
  fake.scenario.microphoneAuthorization = c.microphoneStatus;
  fake.run({"--status", "--locale", c.locale});
  fake.speech.statusReads = fake.privacy.statusReads = 0;

  EXPECT_EQ(unavailableReason(), c.reason);
  EXPECT_EQ(fake.speech.statusReads + fake.privacy.statusReads, c.statusReads);
}

INSTANTIATE_TEST_SUITE_P(Readiness, AvailabilityTest, testing::ValuesIn(kAvailabilities),
                         [](const auto& test) { return std::string(test.param.name); });

struct StatusCase {
  const char* name;
  std::vector<std::string> arguments;
  std::function<void(FakePlatform&)> setup;
  std::string line;
};

void noSetup(FakePlatform&) {}

const StatusCase kStatusCases[] = {
    {"AvailableWithDefaultLocale", {"--status"}, noSetup,
     R"({"type":"status","available":true,"locale":"en-US","reason":null})"},
    {"UnsupportedLocale", {"--locale", "de-DE", "--status"}, noSetup,
     R"({"type":"status","available":false,"locale":"de-DE","reason":"Speech recognition is unavailable for de-DE."})"},
    {"RefusedPermission", {"--status"}, [](FakePlatform& f) { f.scenario.microphoneAuthorization = 2; },
     R"({"type":"status","available":false,"locale":"en-US","reason":")" + kMicrophoneSettings +
         R"("})"},
    {"PrivacyTextsAreNotLookedAt", {"--status"},
     [](FakePlatform& f) { f.scenario.infoPlist.clear(); },
     R"({"type":"status","available":true,"locale":"en-US","reason":null})"},
    {"NoWayToAMicrophone",
     {"--status"},
     [](FakePlatform& f) { f.scenario.microphoneReachable = false; },
     R"({"type":"status","available":false,"locale":"en-US","reason":"No usable microphone was found."})"},
    {"LocaleReasonComesFirst",
     {"--status", "--locale", "de-DE"},
     [](FakePlatform& f) { f.scenario.microphoneReachable = false; },
     R"({"type":"status","available":false,"locale":"de-DE","reason":"Speech recognition is unavailable for de-DE."})"},
};

class StatusReportTest : public testing::TestWithParam<StatusCase> {};

TEST_P(StatusReportTest, WritesOneLineAndExitsZeroWithoutRecording) {
  const StatusCase& c = GetParam();
  FakePlatform fake;
  c.setup(fake);
  fake.run(c.arguments);

  EXPECT_EQ(fake.lines(), std::vector<std::string>{c.line});
  EXPECT_EQ(fake.process.exitStatuses, std::vector<int>{0});
  // No session, no reader, no prompt.
  EXPECT_EQ(fake.events, (EventLog{"out " + c.line, "exit 0"}));
  EXPECT_EQ(fake.privacy.prompts, 0);
  EXPECT_LE(fake.audio.reachChecks, 1);
}

INSTANTIATE_TEST_SUITE_P(Readiness, StatusReportTest, testing::ValuesIn(kStatusCases),
                         [](const auto& test) { return std::string(test.param.name); });

struct StartCase {
  const char* name;
  std::function<void(FakePlatform&)> setup;
  std::vector<std::string> lines;
  int exitStatus;
};

const std::string kMissingTexts =
    error("The dictation helper is missing its macOS permission descriptions. Update Orlimbo.");
const std::string kSpeechNotGranted = error(
    "Speech recognition permission was not granted. Allow Orlimbo in Privacy & Security "
    "settings.");
const std::string kMicrophoneNotGranted = error(
    "Microphone permission was not granted. Allow Orlimbo in Privacy & Security settings.");

const StartCase kStartCases[] = {
    {"BothGranted", noSetup, {kStarting, kListening}, -1},
    {"UnsupportedLocale", [](FakePlatform& f) { f.scenario.onDeviceByLocale.clear(); },
     {error("Speech recognition is unavailable for en-US.")}, 1},
    {"SpeechRefusedBefore", [](FakePlatform& f) { f.scenario.speechAuthorization = 2; },
     {error(kSpeechSettings)}, 1},
    {"NoMicrophoneText",
     [](FakePlatform& f) { f.scenario.infoPlist.erase("NSMicrophoneUsageDescription"); },
     {kMissingTexts}, 1},
    {"NoSpeechText",
     [](FakePlatform& f) { f.scenario.infoPlist.erase("NSSpeechRecognitionUsageDescription"); },
     {kMissingTexts}, 1},
    {"EmptyTextCountsAsPresent",
     [](FakePlatform& f) { f.scenario.infoPlist["NSMicrophoneUsageDescription"] = ""; },
     {kStarting, kListening}, -1},
    {"SpeechDeniedAtPrompt", [](FakePlatform& f) { f.scenario.speechPrompt = 1; },
     {kStarting, kSpeechNotGranted}, 1},
    {"SpeechRestrictedAtPrompt", [](FakePlatform& f) { f.scenario.speechPrompt = 2; },
     {kStarting, kSpeechNotGranted}, 1},
    {"SpeechStillUndecided", [](FakePlatform& f) { f.scenario.speechPrompt = 0; },
     {kStarting, kSpeechNotGranted}, 1},
    {"MicrophoneRefusedAtPrompt", [](FakePlatform& f) { f.scenario.microphonePrompt = false; },
     {kStarting, kMicrophoneNotGranted}, 1},
};

class StartTest : public testing::TestWithParam<StartCase> {};

TEST_P(StartTest, WalksThroughTheChecksAndPrompts) {
  const StartCase& c = GetParam();
  FakePlatform fake;
  c.setup(fake);
  fake.run();
  EXPECT_EQ(fake.lines(), c.lines);
  if (c.exitStatus < 0) {
    EXPECT_TRUE(fake.process.exitStatuses.empty());
  } else {
    EXPECT_EQ(fake.process.exitStatuses, std::vector<int>{c.exitStatus});
  }
}

INSTANTIATE_TEST_SUITE_P(Readiness, StartTest, testing::ValuesIn(kStartCases),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(StartTest, AsksForSpeechBeforeTheMicrophoneAndWaitsForEachAnswer) {
  FakePlatform fake;
  fake.scenario.speechPrompt.reset();
  fake.scenario.microphonePrompt.reset();
  fake.run();
  EXPECT_EQ(fake.lines(), std::vector<std::string>{kStarting});
  EXPECT_EQ(fake.privacy.prompts, 0);

  fake.advanceBy(600);  // prompts have no time limit
  fake.speech.openPrompt(kSpeechAuthorized);
  fake.queue.runUntilIdle();
  EXPECT_EQ(fake.privacy.prompts, 1);
  EXPECT_EQ(fake.lines(), std::vector<std::string>{kStarting});

  fake.privacy.openPrompt(true);
  fake.queue.runUntilIdle();
  EXPECT_EQ(fake.lines(), (std::vector<std::string>{kStarting, kListening}));
}

// A session does not ask whether a microphone is reachable: it finds out by
// opening one, after "starting", and says so then.
TEST(StartTest, UnreachableMicrophoneEndsRightAfterStarting) {
  FakePlatform fake;
  fake.scenario.microphoneReachable = false;
  fake.scenario.microphone = {0, 0};
  fake.run();
  EXPECT_EQ(fake.lines(), (std::vector<std::string>{kStarting, kNoMicrophone}));
  EXPECT_EQ(fake.audio.reachChecks, 0);
}

// Every sentence comes from the platform's table, so a platform can give
// advice that fits it.
struct SentenceCase {
  const char* name;
  std::string Sentences::*sentence;
  std::function<void(FakePlatform&)> setup;
  std::vector<std::string> arguments;
  std::string shown;
};

const SentenceCase kSentenceCases[] = {
    {"NoRecognizer", &Sentences::noRecognizer, noSetup, {"--locale", "xx"}, "NoRecognizer xx"},
    {"OnDeviceUnsupported",
     &Sentences::onDeviceUnsupported,
     [](FakePlatform& f) { f.scenario.onDeviceByLocale["en-US"] = false; },
     {},
     "OnDeviceUnsupported en-US"},
    {"SpeechRefusedEarlier",
     &Sentences::speechRefusedEarlier,
     [](FakePlatform& f) { f.scenario.speechAuthorization = 1; },
     {},
     "SpeechRefusedEarlier"},
    {"MicrophoneRefusedEarlier",
     &Sentences::microphoneRefusedEarlier,
     [](FakePlatform& f) { f.scenario.microphoneAuthorization = 2; },
     {},
     "MicrophoneRefusedEarlier"},
    {"PrivacyTextsMissing",
     &Sentences::privacyTextsMissing,
     [](FakePlatform& f) { f.scenario.infoPlist.clear(); },
     {},
     "PrivacyTextsMissing"},
    {"SpeechPromptRefused",
     &Sentences::speechPromptRefused,
     [](FakePlatform& f) { f.scenario.speechPrompt = 1; },
     {},
     "SpeechPromptRefused"},
    {"MicrophonePromptRefused",
     &Sentences::microphonePromptRefused,
     [](FakePlatform& f) { f.scenario.microphonePrompt = false; },
     {},
     "MicrophonePromptRefused"},
    {"NoMicrophone",
     &Sentences::noMicrophone,
     [](FakePlatform& f) {
       f.scenario.microphone = {0, 0};
     },
     {},
     "NoMicrophone"},
    {"MicrophoneStartFailed",
     &Sentences::microphoneStartFailed,
     [](FakePlatform& f) { f.scenario.microphoneStartFails = true; },
     {},
     "MicrophoneStartFailed"},
};

class SentenceTableTest : public testing::TestWithParam<SentenceCase> {};

TEST_P(SentenceTableTest, EndsWithThePlatformsSentence) {
  const SentenceCase& c = GetParam();
  FakePlatform fake;
  for (const SentenceCase& each : kSentenceCases) {
    fake.sentences.*each.sentence = each.name;
  }
  fake.sentences.noRecognizer += " {locale}";
  fake.sentences.onDeviceUnsupported += " {locale}";
  c.setup(fake);
  fake.run(c.arguments);
  ASSERT_FALSE(fake.lines().empty());
  EXPECT_EQ(fake.lines().back(), error(c.shown));
}

INSTANTIATE_TEST_SUITE_P(Readiness, SentenceTableTest, testing::ValuesIn(kSentenceCases),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(SentenceTableTest, RecognitionFailureUsesThePlatformsSentence) {
  FakePlatform fake;
  fake.sentences.recognitionFailed = "Check your sound settings.";
  fake.run();
  fake.recognitionError();
  EXPECT_EQ(fake.lines().back(), error("Check your sound settings."));
}

TEST(SentenceTableTest, LocaleFillsItsPlaceholderOnce) {
  EXPECT_EQ(withLocale("For {locale}.", "fr-FR"), "For fr-FR.");
  EXPECT_EQ(withLocale("No placeholder.", "fr-FR"), "No placeholder.");
  // A locale is user input: a placeholder inside it stays as given.
  EXPECT_EQ(withLocale("For {locale}.", "{locale}"), "For {locale}.");
}

}  // namespace
}  // namespace orlimbo
