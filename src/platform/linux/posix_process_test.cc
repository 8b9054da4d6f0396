#include "platform/linux/posix_process.h"

#include <gtest/gtest.h>

#include <map>

namespace orlimbo {
namespace {

struct PosixLocale {
  const char* posix;
  std::optional<std::string> identifier;
};

const PosixLocale kPosixLocales[] = {
    {"en_US.UTF-8", "en-US"}, {"de_CH", "de-CH"},     {"sr_RS@latin", "sr-RS"},
    {"fr", "fr"},             {"C", std::nullopt},     {"C.UTF-8", std::nullopt},
    {"POSIX", std::nullopt},  {"", std::nullopt},      {".UTF-8", std::nullopt},
    {"zh_Hant_TW.Big5", "zh-Hant-TW"},
};

TEST(PosixProcessTest, TurnsPosixLocalesIntoIdentifiers) {
  for (const PosixLocale& c : kPosixLocales) {
    EXPECT_EQ(localeIdentifierFromPosix(c.posix), c.identifier) << c.posix;
  }
}

// The environment for one case; a plain function pointer reads it.
const std::map<std::string, std::string>* environment = nullptr;
const char* lookup(const char* name) {
  auto found = environment->find(name);
  return found == environment->end() ? nullptr : found->second.c_str();
}

struct Environment {
  std::map<std::string, std::string> variables;
  std::vector<std::string> languages;
};

const Environment kEnvironments[] = {
    {{}, {}},
    {{{"LANG", "C.UTF-8"}}, {}},
    {{{"LANG", "en_GB.UTF-8"}}, {"en-GB"}},
    {{{"LANGUAGE", "fr_CA:fr::C"}, {"LC_ALL", "de_DE.UTF-8"}, {"LC_MESSAGES", "it_IT"},
      {"LANG", "fr_CA.UTF-8"}},
     {"fr-CA", "fr", "de-DE", "it-IT"}},
    {{{"LANGUAGE", ""}, {"LC_ALL", ""}, {"LANG", "POSIX"}}, {}},
};

TEST(PosixProcessTest, ReadsPreferredLanguagesInOrderWithoutRepeats) {
  for (const Environment& c : kEnvironments) {
    environment = &c.variables;
    EXPECT_EQ(preferredLanguagesFrom(lookup), c.languages);
  }
}

}  // namespace
}  // namespace orlimbo
