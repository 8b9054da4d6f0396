#include "host/entry.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "host/process_values.h"
#include "platform/fake/fake_platform.h"

namespace orlimbo {
namespace {

struct LocaleCase {
  const char* name;
  std::vector<std::string> arguments;  // after the program path
  std::vector<std::string> preferred;
  std::string locale;
  bool statusMode;
};

const LocaleCase kLocaleCases[] = {
    {"NoArguments", {}, {"de-CH", "fr-FR"}, "de-CH", false},
    {"NoArgumentsNoPreferences", {}, {}, "en-US", false},
    {"Given", {"--locale", "ja-JP"}, {"de-CH"}, "ja-JP", false},
    {"LastArgument", {"--status", "--locale"}, {}, "en-US", true},
    {"FirstOccurrenceWins", {"--locale", "fr-FR", "--locale", "de-DE"}, {}, "fr-FR", false},
    {"StatusAsLocale", {"--locale", "--status"}, {}, "--status", true},
    {"EmptyLocale", {"--locale", ""}, {"de-CH"}, "", false},
    {"CaseSensitive", {"--LOCALE", "fr-FR", "--Status"}, {"it-IT"}, "it-IT", false},
    {"StatusTwice", {"--status", "--status"}, {}, "en-US", true},
    {"StatusAfterLocale", {"--locale", "pt-BR", "--status"}, {}, "pt-BR", true},
    {"UnknownOptionsIgnored", {"-v", "--verbose", "--locale=fr", "--locale", "es-ES"}, {},
     "es-ES", false},
};

class LocaleTest : public testing::TestWithParam<LocaleCase> {};

TEST_P(LocaleTest, ResolvesTheLocaleAndTheMode) {
  const LocaleCase& c = GetParam();
  std::vector<std::string> arguments = c.arguments;
  arguments.insert(arguments.begin(), "/opt/orlimbo/orlimbo-dictation");
  EXPECT_EQ(resolveLocale(arguments, c.preferred), c.locale);
  EXPECT_EQ(isStatusMode(arguments), c.statusMode);
}

INSTANTIATE_TEST_SUITE_P(Entry, LocaleTest, testing::ValuesIn(kLocaleCases),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(EntryTest, TheProgramPathTakesPartInTheWalk) {
  EXPECT_TRUE(isStatusMode({"--status"}));
  EXPECT_EQ(resolveLocale({"--locale", "fr-FR"}, {}), "fr-FR");
}

TEST(EntryTest, NormalModeStartsTheReaderBeforeStart) {
  FakePlatform fake;
  fake.scenario.preferredLanguages = {"fr-CA"};
  fake.scenario.onDeviceByLocale = {{"fr-CA", true}};
  fake.process.readerRunsAtOnce = true;
  fake.run();
  EXPECT_EQ(requestedLocale, "fr-CA");
  // End of input was read at once, so its cancel ran before start().
  EXPECT_EQ(fake.lines(), std::vector<std::string>{R"({"type":"state","state":"cancelled"})"});
}

// Getting ready loads a model on some platforms: worth it only for a dictation
// that is about to begin, never for a status probe.
TEST(EntryTest, OnlyADictationGetsTheRecognizerReady) {
  struct Case {
    std::vector<std::string> arguments;
    int preparations;
  };
  const Case cases[] = {
      {{}, 1},
      {{"--locale", "en-US"}, 1},
      {{"--status"}, 0},
      {{"--locale", "de-DE"}, 0},  // no recognizer to get ready
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.arguments));
    FakePlatform fake;
    fake.run(c.arguments);
    EXPECT_EQ(fake.speech.dictationPreparations, c.preparations);
  }
}

struct OptionCase {
  const char* name;
  std::vector<std::string> arguments;
  std::string output;
};

const std::string kVersionLine =
    R"({"type":"version","version":")" ORLIMBO_VERSION R"(","protocol":1})"
    "\n";

const OptionCase kOptionCases[] = {
    {"Version", {"--version"}, kVersionLine},
    {"VersionBeatsStatus", {"--status", "--version", "--locale", "fr-FR"}, kVersionLine},
    {"Help", {"--help"}, kUsage},
    {"HelpBeatsVersion", {"--version", "--help"}, kUsage},
    {"HelpAsLocale", {"--locale", "--help"}, kUsage},
};

class OptionTest : public testing::TestWithParam<OptionCase> {};

TEST_P(OptionTest, AnswersFromTheProgramAloneAndExitsZero) {
  const OptionCase& c = GetParam();
  FakePlatform fake;
  fake.process.input = {"{\"command\":\"stop\"}\n"};
  fake.run(c.arguments);
  EXPECT_EQ(fake.process.output, c.output);
  EXPECT_EQ(fake.process.exitStatuses, std::vector<int>{0});
  // Nothing read, no recognizer asked for, no engine, no reachability check.
  EXPECT_EQ(fake.process.input.size(), 1u);
  EXPECT_EQ(recognizer, nullptr);
  EXPECT_EQ(fake.speech.statusReads, 0);
  EXPECT_EQ(fake.audio.reachChecks, 0);
  EXPECT_EQ(std::count(fake.events.begin(), fake.events.end(), "engine.create"), 0);
}

INSTANTIATE_TEST_SUITE_P(Entry, OptionTest, testing::ValuesIn(kOptionCases),
                         [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace orlimbo
