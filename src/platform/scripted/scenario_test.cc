#include "platform/scripted/scenario.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace orlimbo {
namespace {

// A property list as an executable carries it, read over by documents.
const Scenario kDefaults = defaultScenario({{"NSMicrophoneUsageDescription", "Microphone."},
                                            {"NSSpeechRecognitionUsageDescription", "Speech."}});

std::optional<Scenario> parseScenario(std::string_view json) {
  return orlimbo::parseScenario(json, kDefaults);
}

TEST(ScenarioTest, OverridesOnlyWhatItNames) {
  std::optional<Scenario> scenario = parseScenario(R"({
    "preferredLanguages": ["fr-CA"],
    "recognizers": {"fr-CA": {"onDevice": false}},
    "speechAuthorization": 1, "speechPrompt": null, "speechPromptDelay": 0.5,
    "microphonePrompt": false,
    "microphone": {"sampleRate": 16000, "channels": 2},
    "infoPlist": {"NSMicrophoneUsageDescription": null, "Extra": ""},
    "recognition": [{"at": 0.1, "partial": "a"}, {"afterEndAudio": 0.2, "final": "b", "error": true},
                    {"at": 0.3}]
  })");
  ASSERT_TRUE(scenario);
  EXPECT_EQ(scenario->preferredLanguages, std::vector<std::string>{"fr-CA"});
  EXPECT_EQ(scenario->onDeviceByLocale, (std::map<std::string, bool>{{"fr-CA", false}}));
  EXPECT_EQ(scenario->speechAuthorization, 1);
  EXPECT_FALSE(scenario->speechPrompt);
  EXPECT_EQ(scenario->microphonePrompt, false);
  EXPECT_EQ(scenario->microphoneAuthorization, kDefaults.microphoneAuthorization);
  EXPECT_EQ(scenario->microphone.sampleRate, 16000);
  EXPECT_EQ(scenario->microphone.channelCount, 2u);
  EXPECT_FALSE(scenario->infoPlist.contains("NSMicrophoneUsageDescription"));
  EXPECT_TRUE(scenario->infoPlist.contains("NSSpeechRecognitionUsageDescription"));
  EXPECT_EQ(scenario->infoPlist.at("Extra"), "");
  ASSERT_EQ(scenario->recognition.size(), 3u);
  EXPECT_EQ(scenario->recognition[0].text, "a");
  EXPECT_FALSE(scenario->recognition[0].isFinal);
  EXPECT_TRUE(scenario->recognition[1].afterEndAudio);
  EXPECT_TRUE(scenario->recognition[1].isFinal);
  EXPECT_TRUE(scenario->recognition[1].error);
  EXPECT_FALSE(scenario->recognition[2].text);
  EXPECT_FALSE(scenario->recognition[2].error);
}

TEST(ScenarioTest, NoMicrophone) {
  std::optional<Scenario> scenario = parseScenario(R"({"microphone": null})");
  ASSERT_TRUE(scenario);
  EXPECT_EQ(scenario->microphone.sampleRate, 0);
  EXPECT_EQ(scenario->microphone.channelCount, 0u);
}

TEST(ScenarioTest, RejectsWrongShapes) {
  const char* documents[] = {
      "", "[]", "{", R"({"speechAuthorization":"3"})", R"({"speechPrompt":true})",
      R"({"microphonePrompt":3})", R"({"microphone":{"sampleRate":"fast"}})",
      R"({"infoPlist":{"K":1}})", R"({"recognizers":{"en-US":true}})",
      R"({"recognition":[{"partial":"no time"}]})", R"({"recognition":[{"at":1,"partial":2}]})",
      R"({"recognition":{"at":1}})", R"({"preferredLanguages":"en-US"})",
  };
  for (const char* document : documents) EXPECT_FALSE(parseScenario(document)) << document;
}

// Only a regular file of bounded size is read; anything else is refused at
// once instead of blocking or growing without end.
TEST(ReadScenarioFileTest, ReadsOnlyABoundedRegularFile) {
  std::string directory = testing::TempDir() + "scenario-files-" + std::to_string(::getpid());
  ASSERT_EQ(::mkdir(directory.c_str(), 0700), 0);
  auto write = [&directory](const std::string& name, std::size_t size) {
    std::string path = directory + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    std::string bytes(size, ' ');
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    return path;
  };
  std::string fifo = directory + "/fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

  EXPECT_EQ(readScenarioFile(write("empty", 0).c_str()), "");
  EXPECT_EQ(readScenarioFile(write("largest", kMaxScenarioBytes).c_str())->size(),
            kMaxScenarioBytes);
  const std::string refused[] = {write("too-large", kMaxScenarioBytes + 1), fifo, directory,
                                 "/dev/zero", directory + "/missing"};
  for (const std::string& path : refused) EXPECT_FALSE(readScenarioFile(path.c_str())) << path;

  for (const char* name : {"empty", "largest", "too-large", "fifo"}) {
    ::unlink((directory + "/" + name).c_str());
  }
  ::rmdir(directory.c_str());
}

}  // namespace
}  // namespace orlimbo
