#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/fake/expected_lines.h"
#include "platform/fake/fake_platform.h"
#include "platform/graphemes.h"
#include "session/dictation_session.h"

namespace orlimbo {
namespace {

using namespace lines;

// Where the run stands when the report arrives: listening or stopping, with an
// earlier interim text ("so far") or without one.
struct State {
  bool stopping;
  bool withText;
};
const State kListeningState{false, false};
const State kListeningWithText{false, true};
const State kStoppingWithText{true, true};
const State kStoppingWithoutText{true, false};

struct Report {
  const char* name;
  std::optional<RecognitionResult> result;
  bool error;
  State state;
  std::vector<std::string> after;  // lines after those of the state
  int exitStatus;                  // -1: the run goes on
};

const Report kReports[] = {
    {"PartialWhileListening", RecognitionResult{"one two", false}, false, kListeningState,
     {interim("one two")}, -1},
    {"FinalWhileListening", RecognitionResult{"one two.", true}, false, kListeningState,
     {final("one two.")}, 0},
    {"EmptyFinal", RecognitionResult{"", true}, false, kStoppingWithText, {final("")}, 0},
    {"PartialAndErrorWhileListening", RecognitionResult{"one", false}, true, kListeningState,
     {interim("one"), kNotRecognized}, 1},
    {"FinalAndError", RecognitionResult{"one", true}, true, kListeningState, {final("one")}, 0},
    {"ErrorWhileListening", std::nullopt, true, kListeningState, {kNotRecognized}, 1},
    {"ErrorWhileListeningWithText", std::nullopt, true, kListeningWithText, {kNotRecognized}, 1},
    {"ErrorWhileStoppingWithText", std::nullopt, true, kStoppingWithText, {final("so far")},
     0},
    {"ErrorWhileStoppingWithoutText", std::nullopt, true, kStoppingWithoutText,
     {kNotRecognized}, 1},
    {"PartialAndErrorWhileStopping", RecognitionResult{"more", false}, true,
     kStoppingWithoutText, {interim("more"), final("more")}, 0},
    {"EmptyPartialAndErrorWhileStopping", RecognitionResult{"", false}, true,
     kStoppingWithText, {interim(""), kNotRecognized}, 1},
    {"PartialWhileStopping", RecognitionResult{"later", false}, false, kStoppingWithText,
     {interim("later")}, -1},
    {"Neither", std::nullopt, false, kStoppingWithText, {}, -1},
    {"UnchangedPartialIsWrittenAgain", RecognitionResult{"so far", false}, false,
     kStoppingWithText, {interim("so far")}, -1},
};

class ReportTest : public testing::TestWithParam<Report> {};

TEST_P(ReportTest, DecidesWhatTheHostSees) {
  const Report& report = GetParam();
  FakePlatform fake;
  fake.run();
  std::vector<std::string> expected = {kStarting, kListening};
  if (report.state.withText) {
    fake.partial("so far");
    expected.push_back(interim("so far"));
  }
  if (report.state.stopping) {
    fake.command(R"({"command":"stop"})");
    expected.push_back(kStopping);
  }
  fake.report(report.result, report.error);

  expected.insert(expected.end(), report.after.begin(), report.after.end());
  EXPECT_EQ(fake.lines(), expected);
  if (report.exitStatus < 0) {
    EXPECT_TRUE(fake.process.exitStatuses.empty());
  } else {
    EXPECT_EQ(fake.process.exitStatuses, std::vector<int>{report.exitStatus});
  }
}

INSTANTIATE_TEST_SUITE_P(Recognition, ReportTest, testing::ValuesIn(kReports),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(RecognitionTest, GrowingPartialsThenFinal) {
  FakePlatform fake;
  fake.run();
  fake.partial("Send");
  fake.partial("Send the");
  fake.partial("Send the report");
  fake.finalResult("Send the report today.");
  EXPECT_EQ(fake.lines(), (std::vector<std::string>{
                              kStarting, kListening, interim("Send"), interim("Send the"),
                              interim("Send the report"), final("Send the report today.")}));
}

TEST(RecognitionTest, ReportsAfterTheEndAreIgnored) {
  FakePlatform fake;
  fake.run();
  fake.command(R"({"command":"cancel"})");
  std::size_t written = fake.lines().size();
  fake.partial("late");
  fake.recognitionError();
  EXPECT_EQ(fake.lines().size(), written);
}

// A transcript longer than the cap is cut to its first 16000 user-perceived
// characters, never inside one, in both interim and final lines.
struct LongTranscript {
  const char* name;
  std::string unit;  // one user-perceived character
};

const LongTranscript kLongTranscripts[] = {
    {"Ascii", "a"},
    {"CombiningMarks", "e\u0301\u0323"},
    {"EmojiZwjSequence", "\U0001F469\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466"},
    {"Flag", "\U0001F1EB\U0001F1F7"},
    {"Hangul", "\u1100\u1161\u11A8"},
};

class LongTranscriptTest : public testing::TestWithParam<LongTranscript> {};

TEST_P(LongTranscriptTest, IsCutToWholeCharacters) {
  const std::string& unit = GetParam().unit;
  std::string transcript;
  for (int i = 0; i < 20000; ++i) transcript += unit;
  std::string expected;
  for (std::size_t i = 0; i < kMaxTranscriptCharacters; ++i) expected += unit;

  FakePlatform fake;
  fake.run();
  fake.partial(transcript);
  fake.finalResult(transcript);
  std::vector<std::string> written = fake.lines();
  ASSERT_EQ(written.size(), 4u);
  EXPECT_EQ(written[2], interim(expected));
  EXPECT_EQ(written[3], final(expected));
}

INSTANTIATE_TEST_SUITE_P(Recognition, LongTranscriptTest, testing::ValuesIn(kLongTranscripts),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(RecognitionTest, ClusterStraddlingTheCapStaysWhole) {
  // 15999 letters, then one flag whose two halves would straddle the cut.
  std::string transcript(kMaxTranscriptCharacters - 1, 'x');
  transcript += "\U0001F1EB\U0001F1F7" "tail";
  FakePlatform fake;
  fake.run();
  fake.finalResult(transcript);
  std::string expected(kMaxTranscriptCharacters - 1, 'x');
  expected += "\U0001F1EB\U0001F1F7";
  EXPECT_EQ(fake.lines().back(), final(expected));
}

}  // namespace
}  // namespace orlimbo
