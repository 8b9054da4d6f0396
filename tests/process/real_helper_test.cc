// The real helper's status probe, watched with strace: it answers from what it
// can see without recording, so it opens no audio stream and loads no model.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "child_process.h"

namespace orlimbo {
namespace {

const std::string kHelper = ORLIMBO_BINARY_DIR "/orlimbo-dictation";
const char kStrace[] = "/usr/bin/strace";

struct Probe {
  const char* locale;
  std::string line;
};

TEST(StatusProbeTest, OpensNoAudioStreamAndLoadsNoModel) {
  if (access(kStrace, X_OK) != 0) GTEST_SKIP() << "strace is not installed";
  const Probe probes[] = {
      {"en-US", R"({"type":"status","available":true,"locale":"en-US","reason":null})"},
      {"fr-FR",
       R"({"type":"status","available":false,"locale":"fr-FR","reason":"Speech recognition is unavailable for fr-FR."})"},
  };
  for (const Probe& probe : probes) {
    std::string trace = testing::TempDir() + "status_trace_" + probe.locale;
    ChildProcess child(kStrace, {"-f", "-qq", "-e", "trace=openat,open,socket,connect", "-o", trace,
                                 kHelper, "--status", "--locale", probe.locale});
    child.closeInput();
    ChildExit exit = child.wait();
    EXPECT_EQ(exit.lines, std::vector<std::string>{probe.line});
    EXPECT_EQ(exit.status, 0);

    std::ifstream file(trace);
    std::stringstream calls;
    calls << file.rdbuf();
    for (std::string call; std::getline(calls, call);) {
      EXPECT_EQ(call.find("socket("), std::string::npos) << call;
      EXPECT_EQ(call.find("connect("), std::string::npos) << call;
      EXPECT_EQ(call.find("/usr/share/pocketsphinx"), std::string::npos) << call;
    }
  }
}

}  // namespace
}  // namespace orlimbo
