#include "platform/scripted/scripted_platform.h"

#include <gtest/gtest.h>

#include <functional>

#include "platform/fake/expected_lines.h"
#include "platform/fake/fake_platform.h"

namespace orlimbo {
namespace {

using namespace lines;

using Step = std::function<void(FakePlatform&)>;
Step advance(double seconds) {
  return [seconds](FakePlatform& fake) { fake.advanceBy(seconds); };
}
const Step kStop = [](FakePlatform& fake) { fake.command(R"({"command":"stop"})"); };

ScenarioEvent at(double seconds, std::string partial) {
  return {seconds, false, std::move(partial), false, false};
}
ScenarioEvent afterEndAudio(double seconds, std::string final) {
  return {seconds, true, std::move(final), true, false};
}

void partialAtHalfASecond(Scenario& s) { s.recognition = {at(0.5, "Hello")}; }
void finalAfterTheEndOfAudio(Scenario& s) { s.recognition = {afterEndAudio(0.2, "Hi.")}; }
void captureEndsAfterASecond(Scenario& s) {
  s.microphoneEndsAfter = 1.0;
  finalAfterTheEndOfAudio(s);
}

// What the simulated helper plays in real time, played on the virtual clock:
// each answer and report falls due when the scenario says, and not before.
struct Timed {
  const char* name;
  std::function<void(Scenario&)> script;
  std::vector<Step> steps;
  std::vector<std::string> lines;
};

const Timed kTimed[] = {
    {"PartialNotBeforeItsTime", partialAtHalfASecond, {advance(0.49)}, {kStarting, kListening}},
    {"PartialAtItsTime",
     partialAtHalfASecond,
     {advance(0.5)},
     {kStarting, kListening, interim("Hello")}},
    // Timed from the end of the audio, however long the recording ran.
    {"FinalNotBeforeItsTime",
     finalAfterTheEndOfAudio,
     {advance(10), kStop, advance(0.19)},
     {kStarting, kListening, kStopping}},
    {"FinalAtItsTime",
     finalAfterTheEndOfAudio,
     {advance(10), kStop, advance(0.2)},
     {kStarting, kListening, kStopping, final("Hi.")}},
    {"CaptureNotEndedBeforeItsTime",
     captureEndsAfterASecond,
     {advance(0.99)},
     {kStarting, kListening}},
    {"CaptureEndedLikeAStop",
     captureEndsAfterASecond,
     {advance(1.2)},
     {kStarting, kListening, kStopping, final("Hi.")}},
    {"PromptAnswerNotBeforeItsDelay",
     [](Scenario& s) { s.speechPromptDelay = 1.0; },
     {advance(0.99)},
     {kStarting}},
    {"PromptAnswerAfterItsDelay",
     [](Scenario& s) { s.microphonePromptDelay = 1.0; },
     {advance(1.0)},
     {kStarting, kListening}},
};

class TimedScenarioTest : public testing::TestWithParam<Timed> {};

TEST_P(TimedScenarioTest, ReportsFallDueOnTheClock) {
  const Timed& c = GetParam();
  FakePlatform fake;
  c.script(fake.scenario);
  fake.run();
  for (const Step& step : c.steps) step(fake);
  EXPECT_EQ(fake.lines(), c.lines);
}

INSTANTIATE_TEST_SUITE_P(Scripted, TimedScenarioTest, testing::ValuesIn(kTimed),
                         [](const auto& test) { return std::string(test.param.name); });

// The scripted request starts one task, and its end of audio schedules the
// reports that follow it once, however often the core ends it.
TEST(ScriptedSpeechTest, EndingTheAudioTwiceReportsOnce) {
  Scenario scenario;
  scenario.recognition = {afterEndAudio(0.1, "once")};
  FakeMainQueue queue;
  ScriptedSpeech speech(scenario, queue);
  std::unique_ptr<SpeechRecognizer> recognizer = speech.makeRecognizer("en-US");
  ASSERT_TRUE(recognizer);
  std::shared_ptr<RecognitionRequest> request = recognizer->makeRequest();
  int reports = 0;
  std::unique_ptr<RecognitionTask> task = request->recognitionTask(
      [&reports](std::optional<RecognitionResult>, std::optional<RecognitionError>) { ++reports; });
  request->endAudio();
  request->endAudio();
  queue.advanceBy(1);
  EXPECT_EQ(reports, 1);
}

// A cancelled task hears nothing more from the scenario, though what a test
// delivers by hand still reaches it, as a late report from a real
// recognizer would.
TEST(ScriptedSpeechTest, CancelledTaskGetsNoScheduledReports) {
  Scenario scenario;
  scenario.recognition = {at(0.5, "late")};
  FakeMainQueue queue;
  ScriptedSpeech speech(scenario, queue);
  std::shared_ptr<RecognitionRequest> request = speech.makeRecognizer("en-US")->makeRequest();
  std::vector<std::string> heard;
  std::unique_ptr<RecognitionTask> task = request->recognitionTask(
      [&heard](std::optional<RecognitionResult> result, std::optional<RecognitionError>) {
        heard.push_back(result ? result->formattedString : "");
      });
  task->cancel();
  queue.advanceBy(1);
  speech.deliver(RecognitionResult{"by hand", false});
  EXPECT_EQ(heard, std::vector<std::string>{"by hand"});
}

// The timer that ends the capture outlives a stopped engine without calling it.
TEST(ScriptedAudioTest, CaptureThatWasStoppedDoesNotEndOnItsOwn) {
  Scenario scenario;
  scenario.microphoneEndsAfter = 1.0;
  FakeMainQueue queue;
  ScriptedAudio audio(scenario, queue);
  int ended = 0;
  {
    std::unique_ptr<AudioEngine> engine = audio.makeEngine();
    engine->setCaptureEndedHandler([&ended] { ++ended; });
    ASSERT_TRUE(engine->start());
    engine->stop();
  }
  queue.advanceBy(2);
  EXPECT_EQ(ended, 0);
}

}  // namespace
}  // namespace orlimbo
