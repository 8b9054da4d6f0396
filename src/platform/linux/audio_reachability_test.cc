#include "platform/linux/audio_reachability.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <map>

#include "listening_socket.h"

namespace orlimbo {
namespace {

using Environment = std::map<std::string, std::string>;

EnvironmentLookup lookupIn(const Environment& environment) {
  return [&environment](const char* name) -> const char* {
    auto found = environment.find(name);
    return found == environment.end() ? nullptr : found->second.c_str();
  };
}

struct CandidateCase {
  const char* name;
  Environment environment;
  std::optional<std::vector<std::string>> sockets;
};

const CandidateCase kCandidateCases[] = {
    {"NothingSet", {}, std::vector<std::string>{"/run/pulse/native"}},
    {"UserRuntimeDirectory",
     {{"XDG_RUNTIME_DIR", "/run/user/1000"}},
     std::vector<std::string>{"/run/user/1000/pulse/native", "/run/pulse/native"}},
    {"PulseRuntimePathFirst",
     {{"XDG_RUNTIME_DIR", "/run/user/1000"}, {"PULSE_RUNTIME_PATH", "/tmp/p"}},
     std::vector<std::string>{"/tmp/p/native", "/run/pulse/native"}},
    {"ServerWithUnixPrefix",
     {{"PULSE_SERVER", "unix:/tmp/s"}, {"XDG_RUNTIME_DIR", "/r"}},
     std::vector<std::string>{"/tmp/s"}},
    {"ServerAsBarePath", {{"PULSE_SERVER", "/tmp/s"}}, std::vector<std::string>{"/tmp/s"}},
    {"ServerList", {{"PULSE_SERVER", " {abc}unix:/a   /b "}}, std::vector<std::string>{"/a", "/b"}},
    {"EmptyServerIsUnset", {{"PULSE_SERVER", ""}}, std::vector<std::string>{"/run/pulse/native"}},
    {"TcpCannotBeChecked", {{"PULSE_SERVER", "unix:/a tcp:host:4713"}}, std::nullopt},
    {"HostNameCannotBeChecked", {{"PULSE_SERVER", "audiohost"}}, std::nullopt},
    {"RelativePathIsNoSocket", {{"PULSE_SERVER", "unix:relative"}}, std::nullopt},
    {"UnclosedMachineId", {{"PULSE_SERVER", "{abc/a"}}, std::nullopt},
};

class PulseCandidateTest : public testing::TestWithParam<CandidateCase> {};

TEST_P(PulseCandidateTest, FollowsTheServerStringThenTheDefaults) {
  const CandidateCase& c = GetParam();
  EXPECT_EQ(pulseSocketCandidates(lookupIn(c.environment)), c.sockets);
}

INSTANTIATE_TEST_SUITE_P(AudioReachability, PulseCandidateTest, testing::ValuesIn(kCandidateCases),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(ClientConfigTest, FindsAnActiveDefaultServer) {
  struct Case {
    const char* text;
    bool names;
  };
  const Case cases[] = {
      {"", false},
      {"; default-server = unix:/x\n# default-server = /y\n", false},
      {"autospawn = no\n", false},
      {"default-server =\n", false},
      {"default-server = \r\n", false},
      {"  default-server = tcp:host\n", true},
      {"autospawn = no\ndefault-server=/run/x\n", true},
  };
  for (const Case& c : cases) EXPECT_EQ(namesDefaultServer(c.text), c.names) << c.text;
}

std::string tempPath(const std::string& name) {
  return testing::TempDir() + "reach_" + std::to_string(::getpid()) + "_" + name;
}

TEST(UnixSocketTest, AcceptsOnlyWhereAServerListens) {
  ListeningSocket server(tempPath("server"));
  ASSERT_TRUE(server.listening);
  EXPECT_TRUE(unixSocketAccepts(server.path));
  EXPECT_FALSE(unixSocketAccepts(tempPath("nothing")));
  EXPECT_FALSE(unixSocketAccepts(""));
  EXPECT_FALSE(unixSocketAccepts("/" + std::string(200, 'x')));  // longer than a socket path
  server.stopListening();
  EXPECT_FALSE(unixSocketAccepts(server.path));
}

TEST(PulseReachabilityTest, ReachableThroughAnyCandidateOrANamedServer) {
  ListeningSocket server(tempPath("pulse"));
  ASSERT_TRUE(server.listening);
  std::string config = tempPath("client.conf");
  std::ofstream(config) << "default-server = tcp:elsewhere\n";
  std::string emptyConfig = tempPath("empty.conf");
  std::ofstream(emptyConfig) << "";
  struct Case {
    Environment environment;
    bool reachable;
  };
  const Case cases[] = {
      {{{"PULSE_SERVER", "unix:" + server.path}}, true},
      {{{"PULSE_SERVER", tempPath("gone") + " " + server.path}}, true},
      {{{"PULSE_SERVER", "unix:" + tempPath("gone")}}, false},
      // An explicit server wins over client.conf, as in a client.
      {{{"PULSE_SERVER", tempPath("gone")}, {"PULSE_CLIENTCONFIG", config}}, false},
      {{{"PULSE_SERVER", "tcp:127.0.0.1:1"}}, true},
      {{{"PULSE_RUNTIME_PATH", tempPath("none")}, {"PULSE_CLIENTCONFIG", emptyConfig}}, false},
      {{{"PULSE_RUNTIME_PATH", tempPath("none")}, {"PULSE_CLIENTCONFIG", config}}, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(pulseServerMayBeReachable(lookupIn(c.environment)), c.reachable)
        << c.environment.begin()->second;
  }
  ::unlink(config.c_str());
  ::unlink(emptyConfig.c_str());
}

TEST(ModuleFileTest, OnlyASharedObjectForThisMachinePasses) {
  const std::string module = ORLIMBO_BINARY_DIR "/orlimbo-dictation-backend.so";
  std::ifstream original(module, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(original)), std::istreambuf_iterator<char>());
  ASSERT_GT(bytes.size(), 64u);

  auto write = [](const std::string& name, const std::string& content) {
    std::string path = tempPath(name);
    std::ofstream(path, std::ios::binary) << content;
    return path;
  };
  std::string foreign = bytes;
  foreign[18] = static_cast<char>(foreign[18] ^ 0x55);  // e_machine
  std::string relocatable = bytes;
  relocatable[16] = 1;  // e_type ET_REL
  struct Case {
    std::string path;
    bool loadable;
  };
  const Case cases[] = {
      {module, true},
      {tempPath("missing.so"), false},
      {write("empty.so", ""), false},
      {write("truncated.so", bytes.substr(0, 40)), false},
      {write("text.so", "#!/bin/sh\n" + std::string(100, ' ')), false},
      {write("foreign.so", foreign), false},
      {write("relocatable.so", relocatable), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(looksLikeLoadableModule(c.path), c.loadable) << c.path;
    if (c.path != module) ::unlink(c.path.c_str());
  }
}

}  // namespace
}  // namespace orlimbo
