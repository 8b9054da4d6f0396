#include "host/protocol.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/fake/fake_platform.h"

namespace orlimbo {
namespace {

class EmitTest : public testing::Test {
 protected:
  // emit needs the process-wide platform and lock that start-up creates.
  void SetUp() override {
    fake.run({"--status"});
    fake.events.clear();
    fake.process.writes = 0;
  }
  FakePlatform fake;
};

// Only an interim may be dropped for a later one; every other message is
// written whatever comes after it.
TEST_F(EmitTest, WritesOneLineAndOnlyAnInterimIsReplaceable) {
  fake.process.replaceableLines.clear();
  emit(stateMessage("listening"));
  emit(interimMessage("hello"));
  emit(finalMessage("hello"));
  emit(errorMessage("Failed."));
  EXPECT_EQ(fake.process.writes, 4);
  EXPECT_EQ(fake.process.replaceableLines, (std::vector<bool>{false, true, false, false}));
  EXPECT_EQ(fake.lines()[0], R"({"type":"state","state":"listening"})");
}

TEST_F(EmitTest, AnyTranscriptStaysValidJsonOnOneLine) {
  const std::string texts[] = {
      "say \"hi\" \\ then /", "tab\tnew\nline\r\x01\x1f", "Grüße, 你好, 👩‍👩‍👧", std::string("nul\0byte", 8),
      "\u2028\u2029",
  };
  for (const std::string& text : texts) {
    fake.events.clear();
    emit(interimMessage(text));
    ASSERT_EQ(fake.lines().size(), 1u);
    const std::string line = fake.lines()[0];
    EXPECT_EQ(line.find('\n'), std::string::npos);
    nlohmann::json parsed = nlohmann::json::parse(line);
    EXPECT_EQ(parsed["text"], text);
    EXPECT_EQ(parsed.dump(), nlohmann::json::parse(line).dump());
  }
}

// A transcript with a broken byte must still reach the host: the byte is
// written as U+FFFD rather than the whole message being lost.
TEST_F(EmitTest, InvalidUtf8IsReplacedNotDropped) {
  emit(finalMessage("caf\xC3 ok \xFF"));
  EXPECT_EQ(fake.lines(), std::vector<std::string>{"{\"type\":\"final\",\"text\":\"caf\xEF\xBF\xBD ok "
                                                   "\xEF\xBF\xBD\"}"});
}

TEST_F(EmitTest, StatusCarriesANullReasonWhenAvailable) {
  const std::string reason = "Why.";
  emit(statusMessage(true, "en-US", nullptr));
  emit(statusMessage(false, "x", &reason));
  EXPECT_EQ(fake.lines(),
            (std::vector<std::string>{
                R"({"type":"status","available":true,"locale":"en-US","reason":null})",
                R"({"type":"status","available":false,"locale":"x","reason":"Why."})"}));
}

}  // namespace
}  // namespace orlimbo
