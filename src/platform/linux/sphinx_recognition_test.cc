#include "platform/linux/sphinx_recognition.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <mutex>
#include <string>
#include <vector>

#include "platform/linux/captured_stderr.h"
#include "platform/linux/recognition_reports.h"

namespace orlimbo {
namespace {

using namespace std::chrono_literals;

constexpr char kModelDirectory[] = "/usr/share/pocketsphinx/model/en-us";

// One 1024-frame stereo buffer at a steady level (root mean square).
std::vector<float> bufferAt(float level) {
  std::vector<float> samples(2048);
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = i % 4 < 2 ? level : -level;
  return samples;
}

void append(CapturedAudio& audio, const std::vector<float>& samples) {
  audio.append({{48000, 2}, 1024, std::span(samples)});
}

TEST(CapturedAudioTest, EndedInSilenceOnlyWhenAllOfItWasQuiet) {
  constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
  constexpr float kInfinity = std::numeric_limits<float>::infinity();
  std::vector<float> click = bufferAt(0.0f);
  click[1500] = 0.2f;
  std::vector<float> shortWord = bufferAt(0.0f);
  std::fill(shortWord.begin() + 1000, shortWord.begin() + 1960, 0.05f);
  std::vector<float> notANumber = bufferAt(0.001f);
  notANumber[300] = kNaN;
  struct Case {
    const char* name;
    std::vector<std::vector<float>> buffers;
    bool ended;
    bool silent;
  };
  const Case cases[] = {
      {"nothing captured", {}, true, false},
      {"digital silence", {bufferAt(0.0f), bufferAt(0.0f)}, true, true},
      {"a quiet room", {bufferAt(0.001f), bufferAt(0.004f), bufferAt(0.009f)}, true, true},
      {"a lone click", {click}, true, true},
      {"not ended yet", {bufferAt(0.0f)}, false, false},
      {"a word after the quiet", {bufferAt(0.001f), bufferAt(0.1f), bufferAt(0.0f)}, true, false},
      {"a hundredth of a second of sound", {shortWord}, true, false},
      {"just above the quiet level", {bufferAt(0.011f)}, true, false},
      {"a sample that is not a number", {notANumber}, true, false},
      {"infinite samples", {bufferAt(kInfinity)}, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CapturedAudio audio;
    for (const std::vector<float>& buffer : c.buffers) append(audio, buffer);
    if (c.ended) audio.end();
    EXPECT_EQ(audio.endedInSilence(), c.silent);
  }
}

TEST(CapturedAudioTest, SoundAfterTheEndIsNotHeard) {
  CapturedAudio audio;
  append(audio, bufferAt(0.0f));
  audio.end();
  append(audio, bufferAt(0.3f));
  EXPECT_TRUE(audio.endedInSilence());
}

TEST(CapturedAudioTest, TheEndListenerRunsOnceAfterTheEndIsVisible) {
  CapturedAudio audio;
  append(audio, bufferAt(0.0f));
  int calls = 0;
  bool silentWhenCalled = false;
  audio.setEndListener([&] {
    ++calls;
    silentWhenCalled = audio.endedInSilence();
  });
  audio.end();
  audio.end();
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(silentWhenCalled);

  // A listener that comes after the end is never called: the end is visible.
  audio.setEndListener([&] { ++calls; });
  audio.end();
  EXPECT_EQ(calls, 1);
}

SphinxModelFiles modelWith(std::string languageModel, std::string dictionary) {
  return {std::string(kModelDirectory) + "/en-us", std::move(languageModel), std::move(dictionary)};
}

// A request whose audio `model` decodes for `reports`, with partial results.
struct Recognizing {
  Recognizing(std::shared_ptr<SphinxModel> model, RecognitionReports& reports)
      : request(std::make_shared<PocketSphinxRequest>(std::move(model))) {
    request->setShouldReportPartialResults(true);
    task = request->recognitionTask(reports.handler());
  }

  std::shared_ptr<PocketSphinxRequest> request;
  std::unique_ptr<RecognitionTask> task;
};

// A model whose dictionary is a named pipe that nobody writes: its loading
// stops there for good, so the recognition sees a model that is still loading.
class StuckModelTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(kModelDirectory)) {
      GTEST_SKIP() << "pocketsphinx-en-us is not installed";
    }
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  }
  void TearDown() override {
    std::filesystem::remove(pipe);
    EXPECT_EQ(errors.text(), "");
  }

  CapturedStderr errors;
  const std::string pipe = (std::filesystem::temp_directory_path() /
                            ("orlimbo-stuck-dictionary-" + std::to_string(getpid())))
                               .string();
  const std::shared_ptr<SphinxModel> model = std::make_shared<SphinxModel>(
      modelWith(std::string(kModelDirectory) + "/en-us.lm.bin", pipe));
};

TEST_F(StuckModelTest, SilenceThatEndsBeforeTheModelIsReadyGetsAnEmptyFinal) {
  RecognitionReports reports;
  Recognizing recognizing(model, reports);
  std::vector<float> quiet = bufferAt(0.001f);
  for (int i = 0; i < 10; ++i) {
    recognizing.request->appendAudioPCMBuffer({{48000, 2}, 1024, std::span(quiet)});
  }
  recognizing.request->endAudio();

  ASSERT_TRUE(reports.waitForEnd());
  std::lock_guard lock(reports.mutex);
  EXPECT_EQ(reports.errors, 0);
  ASSERT_EQ(reports.results.size(), 1u);
  EXPECT_TRUE(reports.results[0].isFinal);
  EXPECT_EQ(reports.results[0].formattedString, "");
}

// The language model is read apart from the rest of the model; when it cannot
// be read, recognition fails as for any other part of the model.
TEST(SphinxLanguageModelFailureTest, ReportsAnErrorInsteadOfResults) {
  if (!std::filesystem::exists(kModelDirectory)) {
    GTEST_SKIP() << "pocketsphinx-en-us is not installed";
  }
  CapturedStderr errors;
  std::filesystem::path broken = std::filesystem::temp_directory_path() /
                                 ("orlimbo-broken-lm-" + std::to_string(getpid()) + ".lm.bin");
  std::ofstream(broken, std::ios::binary | std::ios::trunc) << "not a language model\n";

  for (const std::string& languageModel :
       {std::string("/nonexistent/en-us.lm.bin"), broken.string()}) {
    SCOPED_TRACE(languageModel);
    RecognitionReports reports;
    Recognizing recognizing(
        std::make_shared<SphinxModel>(
            modelWith(languageModel, std::string(kModelDirectory) + "/cmudict-en-us.dict")),
        reports);
    std::vector<float> loud = bufferAt(0.3f);
    recognizing.request->appendAudioPCMBuffer({{48000, 2}, 1024, std::span(loud)});
    recognizing.request->endAudio();
    ASSERT_TRUE(reports.waitForEnd());
    std::lock_guard lock(reports.mutex);
    EXPECT_EQ(reports.errors, 1);
    EXPECT_TRUE(reports.results.empty());
  }
  std::filesystem::remove(broken);
  EXPECT_EQ(errors.text(), "");
}

}  // namespace
}  // namespace orlimbo
