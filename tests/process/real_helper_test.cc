// The real helper's status probe, watched with strace: it answers from what it
// can see without recording, so it opens no audio stream, loads neither the
// audio library nor the model, and reaches the audio server only by knocking
// on its socket.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "child_process.h"
#include "listening_socket.h"

namespace orlimbo {
namespace {

const std::string kHelper = ORLIMBO_BINARY_DIR "/orlimbo-dictation";
const char kStrace[] = "/usr/bin/strace";
const std::string kAvailable =
    R"({"type":"status","available":true,"locale":"en-US","reason":null})";
const std::string kNoMicrophone =
    R"({"type":"status","available":false,"locale":"en-US","reason":"No usable microphone was found."})";

std::string fileText(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

struct Probe {
  const char* name;
  const char* locale;
  bool serverListens;
  std::string line;
};

TEST(StatusProbeTest, KnocksOnTheServerSocketOnlyAndLoadsNoAudioLibraryOrModel) {
  if (access(kStrace, X_OK) != 0) GTEST_SKIP() << "strace is not installed";
  ListeningSocket server(testing::TempDir() + "silent_pulse_" + std::to_string(::getpid()));
  ASSERT_TRUE(server.listening);
  const std::string gone = server.path + "_gone";
  const Probe probes[] = {
      {"available", "en-US", true, kAvailable},
      {"unsupported", "fr-FR", true,
       R"({"type":"status","available":false,"locale":"fr-FR","reason":"Speech recognition is unavailable for fr-FR."})"},
      {"noserver", "en-US", false, kNoMicrophone},
  };
  for (const Probe& probe : probes) {
    SCOPED_TRACE(probe.name);
    std::string trace = testing::TempDir() + "status_trace_" + probe.name;
    std::string socket = probe.serverListens ? server.path : gone;
    ChildProcess child(kStrace,
                       {"-f", "-qq", "-s", "4096", "-e", "trace=openat,open,socket,connect", "-o",
                        trace, kHelper, "--status", "--locale", probe.locale},
                       {"PULSE_SERVER=unix:" + socket});
    child.closeInput();
    ChildExit exit = child.wait();
    EXPECT_EQ(exit.lines, std::vector<std::string>{probe.line});
    EXPECT_EQ(exit.status, 0);

    std::stringstream calls(fileText(trace));
    for (std::string call; std::getline(calls, call);) {
      if (call.find("socket(") != std::string::npos) {
        EXPECT_NE(call.find("socket(AF_UNIX, SOCK_STREAM"), std::string::npos) << call;
      }
      if (call.find("connect(") != std::string::npos) {
        EXPECT_NE(call.find("sun_path=\"" + socket + "\""), std::string::npos) << call;
      }
      EXPECT_EQ(call.find("/usr/share/pocketsphinx"), std::string::npos) << call;
      // Reading the module's header is allowed; loading it would open libpulse.
      EXPECT_EQ(call.find("libpulse"), std::string::npos) << call;
    }
  }
}

}  // namespace
}  // namespace orlimbo
