// The simulated helper run as a host runs it: through pipes, in real time.
// Scenarios keep their delays short; every wait is bounded.

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>

#include "child_process.h"
#include "platform/fake/expected_lines.h"

namespace orlimbo {
namespace {

using namespace lines;

const std::string kSim = ORLIMBO_BINARY_DIR "/orlimbo-dictation-sim";

// Each host action: write a line, close standard input, or wait for a line.
struct Action {
  enum Kind { kSend, kClose, kAwait } kind;
  std::string text;
};
Action send(const std::string& line) { return {Action::kSend, line + "\n"}; }
Action await(const std::string& line) { return {Action::kAwait, line}; }
const Action kClose{Action::kClose, ""};
const Action kStop = send(R"({"command":"stop"})");
const Action kCancel = send(R"({"command":"cancel"})");

std::string scenarioFile(const std::string& json) {
  static int count = 0;
  std::string path = testing::TempDir() + "scenario_" + std::to_string(getpid()) + "_" +
                     std::to_string(count++) + ".json";
  std::ofstream(path) << json;
  return path;
}

// Runs the simulated helper under `scenario` and plays `actions` as its host.
ChildExit runSim(const std::string& scenario, const std::vector<std::string>& arguments,
                 const std::vector<Action>& actions) {
  ChildProcess child(kSim, arguments, {"ORLIMBO_DICTATION_SCENARIO=" + scenarioFile(scenario)});
  for (const Action& action : actions) {
    if (action.kind == Action::kSend) {
      child.write(action.text);
    } else if (action.kind == Action::kClose) {
      child.closeInput();
    } else {
      for (std::optional<std::string> line; (line = child.readLine()) && *line != action.text;) {
      }
    }
  }
  return child.wait();
}

// What every run must show the host, whatever happened.
void expectCleanProtocol(const ChildExit& exit) {
  EXPECT_EQ(exit.errors, "");
  EXPECT_EQ(exit.unterminated, "");
  EXPECT_EQ(exit.signal, 0);
  for (const std::string& line : exit.lines) {
    nlohmann::ordered_json parsed = nlohmann::ordered_json::parse(line, nullptr, false);
    ASSERT_TRUE(parsed.is_object()) << line;
    EXPECT_EQ(parsed.dump(), line) << "not compact";
    EXPECT_TRUE(parsed.contains("type")) << line;
  }
}

const std::string kQuickDictation = R"({"recognition":[
  {"at":0.05,"partial":"Meet"},{"at":0.1,"partial":"Meet me"},{"at":0.15,"partial":"Meet me at"},
  {"afterEndAudio":0.05,"final":"Meet me at noon."}]})";
const std::string kPromptOpen = R"({"speechPrompt":null})";
const std::string kStatusLine = R"({"type":"status","available":true,"locale":"en-US","reason":null})";

struct ProcessCase {
  const char* name;
  std::string scenario;
  std::vector<std::string> arguments;
  std::vector<Action> actions;
  std::vector<std::string> lines;
  int status;
};

const ProcessCase kCases[] = {
    // Status reports.
    {"StatusAvailable", "{}", {"--status"}, {}, {kStatusLine}, 0},
    {"StatusTwice", "{}", {"--status", "--status"}, {}, {kStatusLine}, 0},
    {"StatusUnsupportedLocale", "{}", {"--status", "--locale", "fr-FR"}, {},
     {R"({"type":"status","available":false,"locale":"fr-FR","reason":"Speech recognition is unavailable for fr-FR."})"},
     0},
    {"StatusLocaleNamedStatus", R"({"recognizers":{"--status":{"onDevice":true}}})",
     {"--locale", "--status"}, {},
     {R"({"type":"status","available":true,"locale":"--status","reason":null})"}, 0},
    {"StatusRefusedSpeech", R"({"speechAuthorization":1})", {"--locale", "en-US", "--status"}, {},
     {R"({"type":"status","available":false,"locale":"en-US","reason":"Allow Orlimbo in System Settings → Privacy & Security → Speech Recognition."})"},
     0},
    {"StatusRefusedMicrophone", R"({"microphoneAuthorization":2})", {"--status"}, {},
     {R"({"type":"status","available":false,"locale":"en-US","reason":"Allow Orlimbo in System Settings → Privacy & Security → Microphone."})"},
     0},
    // Refusals.
    {"UnavailableAtOnce", "{}", {"--locale", "de-DE"}, {},
     {error("Speech recognition is unavailable for de-DE.")}, 1},
    {"MissingPrivacyText", R"({"infoPlist":{"NSSpeechRecognitionUsageDescription":null}})", {}, {},
     {error("The dictation helper is missing its macOS permission descriptions. Update Orlimbo.")},
     1},
    {"SpeechRefusedAtPrompt", R"({"speechPrompt":1})", {}, {},
     {kStarting, error("Speech recognition permission was not granted. Allow Orlimbo in Privacy "
                       "& Security settings.")},
     1},
    {"MicrophoneRefusedAtPrompt", R"({"microphonePrompt":false})", {}, {},
     {kStarting, error("Microphone permission was not granted. Allow Orlimbo in Privacy & "
                       "Security settings.")},
     1},
    {"NoMicrophone", R"({"microphone":null})", {}, {}, {kStarting, kNoMicrophone}, 1},
    {"MicrophoneWillNotStart", R"({"microphone":{"startFails":true}})", {}, {},
     {kStarting, kMicrophoneStart}, 1},
    // Commands and the end of input.
    {"StopWhileSpeechPromptOpen", kPromptOpen, {}, {await(kStarting), kStop},
     {kStarting, final("")}, 0},
    {"CancelWhileSpeechPromptOpen", kPromptOpen, {}, {await(kStarting), kCancel},
     {kStarting, kCancelled}, 0},
    {"EndOfInputCancels", kPromptOpen, {}, {await(kStarting), kClose}, {kStarting, kCancelled}, 0},
    // Dictations.
    {"WholeDictation",
     kQuickDictation,
     {},
     {await(interim("Meet me at")), kStop},
     {kStarting, kListening, interim("Meet"), interim("Meet me"), interim("Meet me at"), kStopping,
      final("Meet me at noon.")},
     0},
    {"ErrorWhileListening",
     R"({"recognition":[{"at":0.05,"partial":"Meet"},{"at":0.1,"error":true}]})",
     {},
     {},
     {kStarting, kListening, interim("Meet"), kNotRecognized},
     1},
    {"ErrorDuringGraceWithText",
     R"({"recognition":[{"at":0.05,"partial":"Meet"},{"afterEndAudio":0.05,"error":true}]})",
     {},
     {await(interim("Meet")), kStop},
     {kStarting, kListening, interim("Meet"), kStopping, final("Meet")},
     0},
    {"ErrorDuringGraceWithoutText",
     R"({"recognition":[{"afterEndAudio":0.05,"error":true}]})",
     {},
     {await(kListening), kStop},
     {kStarting, kListening, kStopping, kNotRecognized},
     1},
    {"StopThenEndOfInputAtOnce",
     R"({"recognition":[{"afterEndAudio":1,"final":"late"}]})",
     {},
     {await(kListening), kStop, kClose},
     {kStarting, kListening, kStopping, kCancelled},
     0},
};

class SimProcessTest : public testing::TestWithParam<ProcessCase> {};

TEST_P(SimProcessTest, HostSeesTheseLines) {
  const ProcessCase& c = GetParam();
  ChildExit exit = runSim(c.scenario, c.arguments, c.actions);
  expectCleanProtocol(exit);
  EXPECT_EQ(exit.lines, c.lines);
  EXPECT_EQ(exit.status, c.status);
}

INSTANTIATE_TEST_SUITE_P(Sim, SimProcessTest, testing::ValuesIn(kCases),
                         [](const auto& test) { return std::string(test.param.name); });

// Every kind of bad input, then a cancel: only the cancel has an effect.
TEST(SimHostileInputTest, BadLinesAreIgnored) {
  ChildProcess child(kSim, {}, {"ORLIMBO_DICTATION_SCENARIO=" + scenarioFile(kPromptOpen)});
  ASSERT_EQ(child.readLine(), kStarting);
  const std::string bad[] = {
      "\n", "   \n", "[\"stop\"]\n", "\"stop\"\n", "3\n", "{\"command\":\"sto\n",
      "{\"command\":1}\n", "{\"command\":true}\n", "{\"command\":null}\n",
      "{\"command\":[\"stop\"]}\n", "{\"command\":{}}\n", "{\"command\":\"stop\",\"n\":2}\n",
      "{\"command\":\"st\xFFop\"}\n", std::string("{\"command\":\"stop\"}\0\n", 20),
      "{\"command\":\"STOP\"}\r\n", "{\"command\":\"pause\"}\n",
  };
  for (const std::string& line : bad) ASSERT_TRUE(child.write(line));
  // An over-long line, dropped whole.
  std::string block(1 << 20, 'x');
  ASSERT_TRUE(child.write("{\"command\":\"stop\",\"pad\":\""));
  for (int i = 0; i < 8; ++i) ASSERT_TRUE(child.write(block));
  ASSERT_TRUE(child.write("\"}\n{\"command\":\"cancel\"}"));  // no final line feed
  child.closeInput();
  ChildExit exit = child.wait();
  expectCleanProtocol(exit);
  EXPECT_EQ(exit.lines, (std::vector<std::string>{kStarting, kCancelled}));
  EXPECT_EQ(exit.status, 0);
}

// Peak memory of a running process, in KiB.
long peakKilobytes(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("VmHWM:")) return std::stol(line.substr(6));
  }
  return -1;
}

TEST(SimHostileInputTest, AHundredMegabyteLineDoesNotGrowMemory) {
  ChildProcess child(kSim, {}, {"ORLIMBO_DICTATION_SCENARIO=" + scenarioFile(kPromptOpen)});
  ASSERT_EQ(child.readLine(), kStarting);
  std::string block(1 << 20, '[');
  for (int i = 0; i < 100; ++i) ASSERT_TRUE(child.write(block));
  long peak = peakKilobytes(child.pid());
  child.closeInput();
  ChildExit exit = child.wait();
  expectCleanProtocol(exit);
  EXPECT_EQ(exit.lines, (std::vector<std::string>{kStarting, kCancelled}));
  EXPECT_EQ(exit.status, 0);
  EXPECT_GT(peak, 0);
  EXPECT_LT(peak, 64 * 1024) << "KiB";
}

struct EarlyClose {
  const char* name;
  std::string scenario;
  std::string input;
  int status;
};

// A host that stops reading still gets the right exit status, never SIGPIPE.
TEST(SimHostileOutputTest, ClosedOutputKeepsTheExitStatus) {
  const EarlyClose cases[] = {
      {"Cancel", kPromptOpen, "{\"command\":\"cancel\"}\n", 0},
      {"Stop", kPromptOpen, "{\"command\":\"stop\"}\n", 0},
      {"Error", R"({"speechPrompt":1,"speechPromptDelay":0.2})", "", 1},
  };
  for (const EarlyClose& c : cases) {
    ChildProcess child(kSim, {}, {"ORLIMBO_DICTATION_SCENARIO=" + scenarioFile(c.scenario)});
    child.closeOutput();
    child.write(c.input);
    ChildExit exit = child.wait();
    EXPECT_EQ(exit.signal, 0) << c.name;
    EXPECT_EQ(exit.status, c.status) << c.name;
    EXPECT_EQ(exit.errors, "") << c.name;
  }
}

TEST(SimScenarioTest, AnUnreadableScenarioIsReportedOnTheProtocol) {
  ChildProcess child(kSim, {}, {"ORLIMBO_DICTATION_SCENARIO=/nonexistent/scenario.json"});
  ChildExit exit = child.wait();
  expectCleanProtocol(exit);
  ASSERT_EQ(exit.lines.size(), 1u);
  EXPECT_TRUE(exit.lines[0].starts_with(R"({"type":"error")"));
  EXPECT_EQ(exit.status, 1);
}

}  // namespace
}  // namespace orlimbo
