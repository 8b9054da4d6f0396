#include "session/dictation_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "platform/fake/expected_lines.h"
#include "platform/fake/fake_platform.h"

namespace orlimbo {
namespace {

using Step = std::function<void(FakePlatform&)>;

Step command(const std::string& name) {
  return [name](FakePlatform& fake) { fake.command(R"({"command":")" + name + R"("})"); };
}
const Step kStop = command("stop");
const Step kCancel = command("cancel");
const Step kEndInput = [](FakePlatform& fake) { fake.endInput(); };
const Step kCaptureEnds = [](FakePlatform& fake) {
  fake.audio.endCapture();
  fake.queue.runUntilIdle();
};
Step advance(double seconds) {
  return [seconds](FakePlatform& fake) { fake.advanceBy(seconds); };
}
Step partial(const std::string& text) {
  return [text](FakePlatform& fake) { fake.partial(text); };
}

// The host's first lines, read before start() runs.
std::function<void(FakePlatform&)> earlyInput(std::string bytes) {
  return [bytes](FakePlatform& fake) {
    fake.process.readerRunsAtOnce = true;
    if (!bytes.empty()) fake.process.input.push_back(bytes);
  };
}
void speechPromptOpen(FakePlatform& fake) { fake.scenario.speechPrompt.reset(); }
// The host's line arrives while the engine answers listen()'s questions on
// a platform that keeps the main queue serving meanwhile.
std::function<void(FakePlatform&)> whileTheEngineAnswers(std::string name) {
  return [name](FakePlatform& fake) {
    fake.audio.whileAnswering = [&fake, name] { fake.command(R"({"command":")" + name + R"("})"); };
  };
}
void noSetup(FakePlatform&) {}

struct Ending {
  const char* name;
  std::function<void(FakePlatform&)> setup;
  std::vector<Step> steps;
  std::vector<std::string> lines;
  int exitStatus;
};

using namespace lines;

const Ending kEndings[] = {
    // Without a reader the host could never stop the run.
    {"NoThreadForTheReader", [](FakePlatform& fake) { fake.process.threadsStart = false; }, {},
     {error(kNoThreadSentence)}, 1},
    {"CancelBeforeStart", earlyInput("{\"command\":\"cancel\"}\n"), {}, {kCancelled}, 0},
    {"EndOfInputBeforeStart", earlyInput(""), {}, {kCancelled}, 0},
    {"StopBeforeStart", earlyInput("{\"command\":\"stop\"}\n"), {}, {final("")}, 0},
    {"CancelWhileSpeechPromptOpen", speechPromptOpen, {kCancel}, {kStarting, kCancelled}, 0},
    {"EndOfInputWhileSpeechPromptOpen", speechPromptOpen, {kEndInput}, {kStarting, kCancelled}, 0},
    {"StopWhileSpeechPromptOpen", speechPromptOpen, {kStop}, {kStarting, final("")}, 0},
    {"StopWhileTheEngineAnswers", whileTheEngineAnswers("stop"), {}, {kStarting, final("")}, 0},
    {"CancelWhileTheEngineAnswers", whileTheEngineAnswers("cancel"), {}, {kStarting, kCancelled},
     0},
    {"CancelWhileListening", noSetup, {kCancel}, {kStarting, kListening, kCancelled}, 0},
    {"EndOfInputWhileListening", noSetup, {kEndInput}, {kStarting, kListening, kCancelled}, 0},
    {"StopGraceDeliversLastInterim",
     noSetup,
     {partial("hello"), kStop, partial("hello there"), advance(3)},
     {kStarting, kListening, interim("hello"), kStopping, interim("hello there"),
      final("hello there")},
     0},
    {"StopGraceWithoutText", noSetup, {kStop, advance(3)},
     {kStarting, kListening, kStopping, final("")}, 0},
    {"SecondStopIgnored", noSetup, {kStop, advance(1), kStop, advance(3)},
     {kStarting, kListening, kStopping, final("")}, 0},
    {"CancelDuringGrace", noSetup, {partial("hi"), kStop, advance(1), kCancel, advance(5)},
     {kStarting, kListening, interim("hi"), kStopping, kCancelled}, 0},
    {"EndOfInputDuringGrace", noSetup, {kStop, kEndInput, advance(5)},
     {kStarting, kListening, kStopping, kCancelled}, 0},
    {"OtherCommandsIgnored",
     noSetup,
     {command("STOP"), command("pause"), command(""),
      [](FakePlatform& fake) { fake.command(R"({"action":"stop","other":"cancel"})"); }, kCancel},
     {kStarting, kListening, kCancelled},
     0},
    {"CapStopsAfterSixtySeconds", noSetup, {partial("a"), advance(59.999)},
     {kStarting, kListening, interim("a")}, -1},
    {"CapEndsLikeAStop", noSetup, {partial("a"), advance(60), advance(3)},
     {kStarting, kListening, interim("a"), kStopping, final("a")}, 0},
    {"CapAfterAStopDoesNothing", noSetup, {advance(10), kStop, advance(100)},
     {kStarting, kListening, kStopping, final("")}, 0},
    {"CaptureEndingEndsLikeAStop", noSetup, {partial("so far"), kCaptureEnds, advance(3)},
     {kStarting, kListening, interim("so far"), kStopping, final("so far")}, 0},
    {"CaptureEndingThenTheRecognizersFinal", noSetup,
     {partial("so"), kCaptureEnds, [](FakePlatform& fake) { fake.finalResult("so far"); }},
     {kStarting, kListening, interim("so"), kStopping, final("so far")}, 0},
    {"StopAfterCaptureEndedIsIgnored", noSetup, {kCaptureEnds, kStop, advance(3)},
     {kStarting, kListening, kStopping, final("")}, 0},
    {"CaptureEndingAfterAStopIsIgnored", noSetup, {kStop, kCaptureEnds, advance(3)},
     {kStarting, kListening, kStopping, final("")}, 0},
    {"CancelAfterCaptureEnded", noSetup, {kCaptureEnds, kCancel},
     {kStarting, kListening, kStopping, kCancelled}, 0},
};

class EndingTest : public testing::TestWithParam<Ending> {};

TEST_P(EndingTest, WritesItsLinesAndOneClosingMessageLast) {
  const Ending& ending = GetParam();
  FakePlatform fake;
  ending.setup(fake);
  fake.run();
  for (const Step& step : ending.steps) step(fake);

  EXPECT_EQ(fake.lines(), ending.lines);
  if (ending.exitStatus < 0) {
    EXPECT_TRUE(fake.process.exitStatuses.empty());
    return;
  }
  EXPECT_EQ(fake.process.exitStatuses, std::vector<int>{ending.exitStatus});
  // The process exits right after its closing message, and nothing follows.
  std::vector<std::string> tail = fake.outputAndExit();
  ASSERT_GE(tail.size(), 2u);
  EXPECT_EQ(tail.back(), "exit " + std::to_string(ending.exitStatus));
  EXPECT_EQ(tail[tail.size() - 2], "out " + ending.lines.back());
}

TEST(TerminationRequestTest, EndsTheRunAsACancelDoes) {
  FakePlatform fake;
  fake.run();
  fake.partial("not wanted");
  ASSERT_TRUE(fake.process.terminationTask);
  fake.queue.post(fake.process.terminationTask);
  fake.queue.runUntilIdle();
  EXPECT_EQ(fake.lines(),
            (std::vector<std::string>{lines::kStarting, lines::kListening,
                                      lines::interim("not wanted"), lines::kCancelled}));
  EXPECT_EQ(fake.process.exitStatuses, std::vector<int>{0});
  EXPECT_FALSE(fake.audio.tapInstalled());
}

INSTANTIATE_TEST_SUITE_P(Endings, EndingTest, testing::ValuesIn(kEndings),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(StopGraceTest, LastsThreeSecondsOnTheMonotonicClock) {
  FakePlatform fake;
  fake.run();
  fake.partial("almost");
  fake.advanceBy(5);
  fake.command(R"({"command":"stop"})");
  fake.advanceBy(2.999);
  EXPECT_EQ(fake.lines().back(), lines::kStopping);
  fake.advanceBy(0.001);
  EXPECT_EQ(fake.lines().back(), lines::final("almost"));
}

TEST(StopTest, ReleasesTheMicrophoneAndEndsTheAudioButKeepsTheTask) {
  FakePlatform fake;
  fake.run();
  fake.events.clear();
  fake.command(R"({"command":"stop"})");
  EXPECT_EQ(fake.events, (EventLog{"engine.stop", "tap.remove 0", "out " + lines::kStopping,
                                   "request.endAudio"}));
}

// Whatever ends the run, the microphone and the task are released before the
// closing line is written.
TEST(TeardownTest, ReleasesEverythingBeforeTheClosingLine) {
  const std::vector<Step> endings = {kCancel, kEndInput,
                                     [](FakePlatform& fake) { fake.recognitionError(); },
                                     [](FakePlatform& fake) { fake.finalResult("done"); }};
  for (const Step& end : endings) {
    FakePlatform fake;
    fake.run();
    fake.events.clear();
    end(fake);
    ASSERT_EQ(fake.events.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(fake.events.begin(), fake.events.begin() + 3),
              (EventLog{"engine.stop", "tap.remove 0", "task.cancel"}));
    EXPECT_TRUE(fake.events[3].starts_with("out "));
    EXPECT_FALSE(fake.audio.tapInstalled());
  }
}

// What reaches the session after its closing message, had the process not
// ended at once: a late permission answer, recognition report, command,
// timer or end of capture. Each is checked against the finished session and
// does nothing at all.
struct LateArrival {
  const char* name;
  std::function<void(FakePlatform&)> setup;
  Step ending;
  Step late;
};

const LateArrival kLateArrivals[] = {
    {"SpeechAnswerAfterCancel", speechPromptOpen, kCancel,
     [](FakePlatform& fake) { fake.speech.openPrompt(kSpeechAuthorized); }},
    {"MicrophoneAnswerAfterCancel", [](FakePlatform& fake) { fake.scenario.microphonePrompt.reset(); },
     kCancel, [](FakePlatform& fake) { fake.privacy.openPrompt(true); }},
    {"ResultAfterCancel", noSetup, kCancel, partial("late")},
    {"ErrorAfterCancel", noSetup, kCancel, [](FakePlatform& fake) { fake.recognitionError(); }},
    {"StopAfterCancel", noSetup, kCancel, kStop},
    {"CapAfterCancel", noSetup, kCancel, advance(60)},
    {"CaptureEndedAfterCancel", noSetup, kCancel, kCaptureEnds},
    {"GraceAfterFinal", noSetup,
     [](FakePlatform& fake) {
       kStop(fake);
       fake.finalResult("done");
     },
     advance(3)},
    {"CancelAfterFinal", noSetup, [](FakePlatform& fake) { fake.finalResult("done"); }, kCancel},
};

class LateArrivalTest : public testing::TestWithParam<LateArrival> {};

TEST_P(LateArrivalTest, DoesNothingOnceTheSessionHasEnded) {
  const LateArrival& arrival = GetParam();
  FakePlatform fake;
  fake.queue.keepRunningAfterExit();
  arrival.setup(fake);
  fake.run();
  arrival.ending(fake);
  ASSERT_EQ(fake.process.exitStatuses.size(), 1u);
  EventLog ended = fake.events;
  int prompts = fake.privacy.prompts;

  arrival.late(fake);
  fake.queue.runUntilIdle();
  EXPECT_EQ(fake.events, ended);
  EXPECT_EQ(fake.privacy.prompts, prompts);
}

INSTANTIATE_TEST_SUITE_P(LateArrivals, LateArrivalTest, testing::ValuesIn(kLateArrivals),
                         [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace orlimbo
