#include "platform/linux/pocketsphinx_speech.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/linux/captured_stderr.h"
#include "platform/linux/pulse_sphinx_backend.h"
#include "platform/linux/recognition_reports.h"
#include "platform/linux/sphinx_recognition.h"

namespace orlimbo {
namespace {

using namespace std::chrono_literals;

// "go forward ten meters", 16 kHz mono 16-bit (Debian's pocketsphinx-testdata).
constexpr char kSpokenSample[] = "/usr/share/pocketsphinx/test/data/goforward.raw";

const BackendFactories* noBackend() { return nullptr; }

bool modelInstalled() { return sphinxModelFiles(kDefaultSphinxModelRoot, "en-us").present(); }

// The sample as a capture device would deliver it: 48 kHz stereo floats.
std::vector<float> spokenSampleAt48kStereo() {
  std::ifstream file(kSpokenSample, std::ios::binary);
  std::vector<std::int16_t> pcm;
  std::int16_t sample;
  while (file.read(reinterpret_cast<char*>(&sample), sizeof sample)) pcm.push_back(sample);
  std::vector<float> samples;
  for (std::size_t i = 0; i + 1 < pcm.size(); ++i) {
    for (int step = 0; step < 3; ++step) {
      float value = (pcm[i] + (pcm[i + 1] - pcm[i]) * step / 3.0f) / 32768.0f;
      samples.push_back(value);
      samples.push_back(value);
    }
  }
  return samples;
}

void feed(RecognitionRequest& request, const std::vector<float>& stereo48k) {
  constexpr std::size_t kSamplesPerBuffer = 1024 * 2;
  for (std::size_t at = 0; at + kSamplesPerBuffer <= stereo48k.size(); at += kSamplesPerBuffer) {
    request.appendAudioPCMBuffer(
        {{48000, 2}, 1024, std::span(stereo48k).subspan(at, kSamplesPerBuffer)});
  }
}

TEST(SphinxModelForLocaleTest, MapsOnlyKnownLocalesThroughAFixedTable) {
  struct Case {
    std::string locale;
    std::optional<std::string> model;
  };
  const Case cases[] = {
      {"en-US", "en-us"},
      {"en_US", "en-us"},
      {"en", "en-us"},
      {"EN-us", "en-us"},
      {"fr-FR", std::nullopt},
      {"en-GB", std::nullopt},
      {"", std::nullopt},
      {"en-US.UTF-8", std::nullopt},
      {"../../etc", std::nullopt},
      {"en-us/../../etc", std::nullopt},
      {"en-us/", std::nullopt},
      {std::string("en-US\0/x", 8), std::nullopt},
      {std::string(10000, 'e'), std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sphinxModelForLocale(c.locale), c.model) << "locale: " << c.locale.substr(0, 40);
  }
}

TEST(PocketSphinxSpeechTest, MakesRecognizersOnlyForInstalledModels) {
  PocketSphinxSpeech missingRoot("/nonexistent/orlimbo-models", noBackend);
  EXPECT_EQ(missingRoot.makeRecognizer("en-US"), nullptr);

  if (!modelInstalled()) GTEST_SKIP() << "pocketsphinx-en-us is not installed";
  PocketSphinxSpeech speech(kDefaultSphinxModelRoot, noBackend);
  for (const char* locale : {"en-US", "en_US", "en"}) {
    std::unique_ptr<SpeechRecognizer> recognizer = speech.makeRecognizer(locale);
    ASSERT_NE(recognizer, nullptr) << locale;
    EXPECT_TRUE(recognizer->supportsOnDeviceRecognition());
  }
  EXPECT_EQ(speech.makeRecognizer("fr-FR"), nullptr);
  EXPECT_EQ(speech.makeRecognizer(std::string(10000, 'a')), nullptr);
  EXPECT_EQ(speech.makeRecognizer("../../etc"), nullptr);
}

TEST(PocketSphinxSpeechTest, AuthorizesFromAnotherThread) {
  PocketSphinxSpeech speech(kDefaultSphinxModelRoot, noBackend);
  EXPECT_EQ(speech.authorizationStatus(), kSpeechAuthorized);
  std::mutex mutex;
  std::condition_variable answered;
  std::optional<int> status;
  std::thread::id answeringThread;
  speech.requestAuthorization([&](int answer) {
    std::lock_guard lock(mutex);
    status = answer;
    answeringThread = std::this_thread::get_id();
    answered.notify_all();
  });
  std::unique_lock lock(mutex);
  ASSERT_TRUE(answered.wait_for(lock, 10s, [&] { return status.has_value(); }));
  EXPECT_EQ(*status, kSpeechAuthorized);
  EXPECT_NE(answeringThread, std::this_thread::get_id());
}

class SphinxRecognitionTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!modelInstalled()) GTEST_SKIP() << "pocketsphinx-en-us is not installed";
    if (!std::filesystem::exists(kSpokenSample)) GTEST_SKIP() << "pocketsphinx-testdata missing";
  }

  // The engine prints its configuration and progress unless silenced.
  void TearDown() override { EXPECT_EQ(errors.text(), ""); }

  // Starts recognising the whole spoken sample and ends its audio.
  std::unique_ptr<RecognitionTask> recognizeSample(SpeechRecognizer& recognizer,
                                                   bool partialResults,
                                                   RecognitionReports& reports) {
    std::shared_ptr<RecognitionRequest> request = recognizer.makeRequest();
    request->setShouldReportPartialResults(partialResults);
    std::unique_ptr<RecognitionTask> task = request->recognitionTask(reports.handler());
    feed(*request, spokenSampleAt48kStereo());
    request->endAudio();
    return task;
  }

  CapturedStderr errors;

  // A fresh backend, so the model is still loading when audio arrives.
  BackendFactories backend = makePulseSphinxBackend();
  PocketSphinxSpeech speech{kDefaultSphinxModelRoot, [this] { return &backend; }};
};

TEST_F(SphinxRecognitionTest, AudioCapturedWhileTheModelLoadsIsDecodedInFull) {
  std::unique_ptr<SpeechRecognizer> recognizer = speech.makeRecognizer("en-US");
  ASSERT_NE(recognizer, nullptr);
  RecognitionReports reports;
  std::unique_ptr<RecognitionTask> task = recognizeSample(*recognizer, true, reports);

  ASSERT_TRUE(reports.waitForEnd());
  std::lock_guard lock(reports.mutex);
  EXPECT_EQ(reports.errors, 0);
  ASSERT_GE(reports.results.size(), 2u) << "expected interim results before the final one";
  for (std::size_t i = 0; i + 1 < reports.results.size(); ++i) {
    EXPECT_FALSE(reports.results[i].isFinal);
    EXPECT_NE(reports.results[i].formattedString,
              i > 0 ? reports.results[i - 1].formattedString : std::string());
  }
  const RecognitionResult& final = reports.results.back();
  EXPECT_TRUE(final.isFinal);
  // The first words were spoken before the model was ready.
  EXPECT_TRUE(final.formattedString.starts_with("Go forward")) << final.formattedString;
  EXPECT_NE(final.formattedString.find("meters"), std::string::npos) << final.formattedString;
}

TEST_F(SphinxRecognitionTest, WithoutPartialResultsOnlyTheFinalArrives) {
  std::unique_ptr<SpeechRecognizer> recognizer = speech.makeRecognizer("en-US");
  ASSERT_NE(recognizer, nullptr);
  RecognitionReports reports;
  std::unique_ptr<RecognitionTask> task = recognizeSample(*recognizer, false, reports);

  ASSERT_TRUE(reports.waitForEnd());
  std::lock_guard lock(reports.mutex);
  ASSERT_EQ(reports.results.size(), 1u);
  EXPECT_TRUE(reports.results[0].isFinal);
}

TEST_F(SphinxRecognitionTest, CancelReturnsAtOnceAndSilencesTheHandler) {
  std::unique_ptr<SpeechRecognizer> recognizer = speech.makeRecognizer("en-US");
  std::vector<float> audio = spokenSampleAt48kStereo();

  std::shared_ptr<RecognitionRequest> cancelledRequest = recognizer->makeRequest();
  cancelledRequest->setShouldReportPartialResults(true);
  RecognitionReports cancelledReports;
  std::unique_ptr<RecognitionTask> cancelled =
      cancelledRequest->recognitionTask(cancelledReports.handler());
  feed(*cancelledRequest, audio);
  auto before = std::chrono::steady_clock::now();
  cancelled->cancel();
  EXPECT_LT(std::chrono::steady_clock::now() - before, 100ms);
  cancelledRequest->endAudio();

  // A second recognition on the same model ends only after the model has
  // loaded, by when the cancelled one would have reported.
  RecognitionReports reports;
  std::unique_ptr<RecognitionTask> task = recognizeSample(*recognizer, true, reports);
  ASSERT_TRUE(reports.waitForEnd());

  std::lock_guard lock(cancelledReports.mutex);
  EXPECT_TRUE(cancelledReports.results.empty());
  EXPECT_EQ(cancelledReports.errors, 0);
}

// A model that cannot be loaded reaches the handler as one error, and the
// process lives on, even when the engine would treat the damage as fatal.
TEST(SphinxModelFailureTest, ReportsAnErrorInsteadOfResults) {
  CapturedStderr errors;
  std::filesystem::path broken =
      std::filesystem::temp_directory_path() / ("orlimbo-broken-model-" + std::to_string(getpid()));
  std::filesystem::create_directories(broken);
  SphinxModelFiles real = sphinxModelFiles(kDefaultSphinxModelRoot, "en-us");
  bool haveReal = real.present();
  if (haveReal) {
    std::filesystem::copy(real.acousticModel, broken,
                          std::filesystem::copy_options::overwrite_existing);
  }
  std::ofstream(broken / "mdef", std::ios::binary | std::ios::trunc) << "not a model definition";

  const SphinxModelFiles models[] = {
      sphinxModelFiles("/nonexistent/orlimbo-models", "en-us"),
      {broken.string(), real.languageModel, real.dictionary},
  };
  for (const SphinxModelFiles& files : models) {
    if (files.acousticModel == broken.string() && !haveReal) continue;
    SCOPED_TRACE(files.acousticModel);
    PocketSphinxRequest request(std::make_shared<SphinxModel>(files));
    RecognitionReports reports;
    std::unique_ptr<RecognitionTask> task = request.recognitionTask(reports.handler());
    request.endAudio();
    ASSERT_TRUE(reports.waitForEnd());
    std::lock_guard lock(reports.mutex);
    EXPECT_EQ(reports.errors, 1);
    EXPECT_TRUE(reports.results.empty());
  }
  std::filesystem::remove_all(broken);
  EXPECT_EQ(errors.text(), "");
}

// A model root whose en-us files exist but hold nothing: enough for every
// check the executable makes, and never loaded here. The backend records what
// the speech services ask of it, from whichever thread.
class BackendBoundaryTest : public testing::Test {
 protected:
  BackendBoundaryTest() {
    std::filesystem::create_directories(root / "en-us" / "en-us");
    std::ofstream(root / "en-us" / "en-us.lm.bin");
    std::ofstream(root / "en-us" / "cmudict-en-us.dict");
  }
  ~BackendBoundaryTest() override { std::filesystem::remove_all(root); }

  BackendSource source() {
    return [this]() -> const BackendFactories* {
      std::lock_guard lock(mutex);
      ++fetches;
      changed.notify_all();
      return available ? &factories : nullptr;
    };
  }

  // Waits, bounded, until `done` holds; `done` runs under the lock.
  bool waitFor(const std::function<bool()>& done) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, 10s, done);
  }

  const std::filesystem::path root =
      std::filesystem::temp_directory_path() / ("orlimbo-empty-models-" + std::to_string(getpid()));
  std::mutex mutex;
  std::condition_variable changed;
  bool available = true;
  int fetches = 0;
  std::vector<SphinxModelFiles> preloaded;
  std::thread::id preloadedOn;
  std::vector<SphinxModelFiles> requestFiles;
  const std::shared_ptr<RecognitionRequest> request =
      std::make_shared<PocketSphinxRequest>(nullptr);
  BackendFactories factories{
      .makeEngine = {},
      .makeRequest =
          [this](const SphinxModelFiles& files) {
            std::lock_guard lock(mutex);
            requestFiles.push_back(files);
            return request;
          },
      .preloadModel =
          [this](const SphinxModelFiles& files) {
            std::lock_guard lock(mutex);
            preloaded.push_back(files);
            preloadedOn = std::this_thread::get_id();
            changed.notify_all();
          },
  };
};

TEST_F(BackendBoundaryTest, OnlyDictationStepsFetchTheBackend) {
  PocketSphinxSpeech speech(root.string(), source());
  // What a status probe does.
  std::unique_ptr<SpeechRecognizer> recognizer = speech.makeRecognizer("en_US");
  ASSERT_NE(recognizer, nullptr);
  EXPECT_TRUE(recognizer->supportsOnDeviceRecognition());
  EXPECT_EQ(speech.makeRecognizer("fr-FR"), nullptr);
  EXPECT_EQ(speech.authorizationStatus(), kSpeechAuthorized);
  EXPECT_EQ(fetches, 0);

  // Getting ready loads the model away from the main queue, which opening
  // the module would hold up.
  const SphinxModelFiles files = sphinxModelFiles(root.string(), "en-us");
  recognizer->prepareForDictation();
  ASSERT_TRUE(waitFor([&] { return !preloaded.empty(); }));
  EXPECT_EQ(preloaded, std::vector{files});
  EXPECT_NE(preloadedOn, std::this_thread::get_id());

  EXPECT_EQ(recognizer->makeRequest(), request);
  EXPECT_EQ(requestFiles, std::vector{files});
}

// Without a backend the session learns of it from the microphone ("No usable
// microphone was found."), which a recognition error must not overtake.
TEST_F(BackendBoundaryTest, WithoutABackendTheRecognizerStaysAndItsTaskReportsNothing) {
  available = false;
  PocketSphinxSpeech speech(root.string(), source());
  std::unique_ptr<SpeechRecognizer> recognizer = speech.makeRecognizer("en-US");
  ASSERT_NE(recognizer, nullptr);
  EXPECT_TRUE(recognizer->supportsOnDeviceRecognition());
  recognizer->prepareForDictation();
  ASSERT_TRUE(waitFor([&] { return fetches > 0; }));

  std::shared_ptr<RecognitionRequest> request = recognizer->makeRequest();
  ASSERT_NE(request, nullptr);
  RecognitionReports reports;
  std::unique_ptr<RecognitionTask> task = request->recognitionTask(reports.handler());
  const std::vector<float> silence(2048);
  request->appendAudioPCMBuffer({{48000, 2}, 1024, silence});
  request->endAudio();
  if (task != nullptr) task->cancel();

  std::lock_guard lock(reports.mutex);
  EXPECT_EQ(reports.errors, 0);
  EXPECT_TRUE(reports.results.empty());
}

}  // namespace
}  // namespace orlimbo
