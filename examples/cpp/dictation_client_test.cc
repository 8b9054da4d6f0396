// The C++ client against the simulated helper, against stand-ins that break
// the rules, and against the real helper where an audio server answers.

#include "dictation_client.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>

namespace orlimbo_host {
namespace {

const std::string kSim = ORLIMBO_BINARY_DIR "/orlimbo-dictation-sim";
const std::string kHelper = ORLIMBO_BINARY_DIR "/orlimbo-dictation";

std::string scratchFile(const std::string& text, bool executable = false) {
  static int count = 0;
  std::string path =
      testing::TempDir() + "host_kit_" + std::to_string(::getpid()) + "_" + std::to_string(count++);
  std::ofstream(path) << text;
  if (executable) ::chmod(path.c_str(), 0755);
  return path;
}

// What a host saw of one run.
struct HostView {
  std::vector<std::string> seen;  // "state listening", "interim Hello" …
  Event last{Event::kFailure, "no event", ""};
};

// Drives `client` until its last event; `act` runs after each state event.
HostView drive(DictationClient& client, const std::function<void(const std::string&)>& act = {}) {
  HostView run;
  for (int spins = 0; spins < 100000; ++spins) {
    std::optional<Event> event = client.next(0.05);
    if (!event) continue;
    if (event->kind == Event::kClosing || event->kind == Event::kFailure) {
      run.last = *event;
      return run;
    }
    std::string kind = event->kind == Event::kState ? "state " : "interim ";
    run.seen.push_back(kind + event->text);
    if (act && event->kind == Event::kState) act(event->text);
  }
  return run;
}

struct SimCase {
  const char* name;
  std::string scenario;
  std::function<void(DictationClient&, const std::string& state)> act;
  std::string closing;
  std::string text;
};

const std::string kHuge = [] {
  std::string text;
  for (int i = 0; i < 16000; ++i)
    text += "\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7";  // 👩‍👧
  return text;
}();

const SimCase kSimCases[] = {
    {"StopDeliversTheFinal", "{}",
     [](DictationClient& c, const std::string& state) {
       if (state == "listening") c.stop();
     },
     "final", "Hello from the simulated helper."},
    {"CancelWhileListening", R"({"recognition": []})",
     [](DictationClient& c, const std::string& state) {
       if (state == "listening") c.cancel();
     },
     "cancelled", ""},
    {"NoMicrophone", R"({"microphone": null})", nullptr, "error",
     "No usable microphone was found."},
    {"StopBeforeRecording", R"({"speechPrompt": null})",
     [](DictationClient& c, const std::string& state) {
       if (state == "starting") c.stop();
     },
     "final", ""},
    {"FinalLongerThanAnyPipeBuffer",
     R"({"recognition": [{"at": 0.05, "final": ")" + kHuge + R"("}]})", nullptr, "final", kHuge},
};

class SimClientTest : public testing::TestWithParam<SimCase> {};

TEST_P(SimClientTest, EndsWithTheClosingMessageAndItsExitStatus) {
  const SimCase& c = GetParam();
  DictationClient client;
  ASSERT_TRUE(client.start(kSim, {}, {"ORLIMBO_DICTATION_SCENARIO=" + scratchFile(c.scenario)}));
  HostView run = drive(client, [&](const std::string& state) {
    if (c.act) c.act(client, state);
  });
  EXPECT_EQ(run.last.kind, Event::kClosing) << run.last.text;
  EXPECT_EQ(run.last.closing, c.closing);
  EXPECT_EQ(run.last.text, c.text);
  EXPECT_FALSE(client.next(0).has_value());
}

INSTANTIATE_TEST_SUITE_P(HostKit, SimClientTest, testing::ValuesIn(kSimCases),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(SimClientTest, ReportsStatesAndInterimsInOrder) {
  DictationClient client;
  ASSERT_TRUE(client.start(kSim));
  HostView run = drive(client, [&](const std::string& state) {
    if (state == "listening") client.stop();
  });
  ASSERT_GE(run.seen.size(), 3u);
  EXPECT_EQ(run.seen[0], "state starting");
  EXPECT_EQ(run.seen[1], "state listening");
  EXPECT_EQ(run.seen.back(), "state stopping");
}

struct StandInCase {
  const char* name;
  std::string script;  // bash
  bool stopAtListening;
  std::string failure;
};

const StandInCase kStandIns[] = {
    {"SilentAtStart", "exec sleep 30", false, "no message within the start limit"},
    {"NeverClosesAfterListening", R"(echo '{"type":"state","state":"listening"}'; exec sleep 30)",
     false, "no closing message after the cap"},
    {"IgnoresStop", R"(echo '{"type":"state","state":"listening"}'; exec sleep 30)", true,
     "no closing message after a command"},
    {"ErrorWithStatusZero", R"(echo '{"type":"error","message":"x"}')", false,
     "wrong exit status after \"error\""},
    {"FinalWithStatusOne", R"(echo '{"type":"final","text":""}'; exit 1)", false,
     "wrong exit status after \"final\""},
    {"ExitsWithoutClosing", R"(echo '{"type":"state","state":"starting"}')", false,
     "the helper exited without a closing message"},
    {"NotJson", "echo hello; exec sleep 30", false, "not a JSON object: hello"},
    {"LineAfterClosing", R"(echo '{"type":"final","text":""}'; echo '{"type":"interim"}')", false,
     "a line after the closing message"},
    {"StaysAfterClosing", R"(echo '{"type":"final","text":""}'; exec sleep 30 </dev/null)", false,
     "the helper did not exit after its closing message"},
};

class StandInTest : public testing::TestWithParam<StandInCase> {};

TEST_P(StandInTest, IsKilledAndReported) {
  const StandInCase& c = GetParam();
  Limits limits{.start = 0.5, .stopGrace = 0.2, .cap = 1.0, .margin = 0.1, .exit = 0.3};
  DictationClient client(limits);
  ASSERT_TRUE(client.start(scratchFile("#!/bin/bash\n" + c.script + "\n", true)));
  HostView run = drive(client, [&](const std::string& state) {
    if (c.stopAtListening && state == "listening") client.stop();
  });
  EXPECT_EQ(run.last.kind, Event::kFailure);
  EXPECT_EQ(run.last.text, c.failure);
}

INSTANTIATE_TEST_SUITE_P(HostKit, StandInTest, testing::ValuesIn(kStandIns),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(StandInTest, MissingExecutableIsAFailure) {
  DictationClient client;
  EXPECT_FALSE(client.start(testing::TempDir() + "no_such_helper"));
  std::optional<Event> event = client.next(0);
  ASSERT_TRUE(event.has_value());
  EXPECT_EQ(event->kind, Event::kFailure);
}

// Like the helper, the stand-in cancels when its input ends after "stop".
TEST(StandInTest, InputStaysOpenUntilTheClosingMessage) {
  DictationClient client;
  ASSERT_TRUE(client.start(scratchFile(R"(#!/bin/bash
echo '{"type":"state","state":"listening"}'
read line
read -t 0.3 more; ended=$?
[ $ended -gt 128 ] && echo '{"type":"final","text":"kept"}' || echo '{"type":"state","state":"cancelled"}'
)",
                                       true)));
  HostView run = drive(client, [&](const std::string& state) {
    if (state == "listening") client.stop();
  });
  EXPECT_EQ(run.last.closing, "final");
  EXPECT_EQ(run.last.text, "kept");
}

TEST(RealHelperClientTest, CancelWhileListening) {
  if (std::getenv("PULSE_SERVER") == nullptr) GTEST_SKIP() << "no audio server named";
  DictationClient client;
  ASSERT_TRUE(client.start(kHelper, {"--locale", "en-US"}));
  HostView run = drive(client, [&](const std::string& state) {
    if (state == "listening") client.cancel();
  });
  if (run.last.closing == "error") GTEST_SKIP() << run.last.text;
  EXPECT_EQ(run.last.closing, "cancelled") << run.last.text;
}

}  // namespace
}  // namespace orlimbo_host
