#include "host/command_reader.h"

#include <gtest/gtest.h>

#include "platform/fake/expected_lines.h"
#include "platform/fake/fake_platform.h"

namespace orlimbo {
namespace {

using namespace lines;

// Runs a listening session whose host writes `chunks` (each one read) and
// then closes its end.
std::vector<std::string> linesAfterInput(std::vector<std::string> chunks) {
  FakePlatform fake;
  fake.run();
  for (std::string& chunk : chunks) fake.process.input.push_back(std::move(chunk));
  fake.endInput();
  fake.advanceBy(10);
  return fake.lines();
}

const std::vector<std::string> kCancelledWhileListening = {kStarting, kListening, kCancelled};

struct BadInput {
  const char* name;
  std::string bytes;
};

const BadInput kBadInputs[] = {
    {"EmptyLine", "\n"},
    {"Spaces", "   \t \n"},
    {"Array", R"(["stop"])" "\n"},
    {"BareString", R"("stop")" "\n"},
    {"Number", "42\n"},
    {"HalfObject", R"({"command":"st)" "\n"},
    {"NumberValue", R"({"command":"stop","n":1})" "\n"},
    {"BooleanValue", R"({"command":"stop","b":true})" "\n"},
    {"NullValue", R"({"command":null})" "\n"},
    {"ArrayValue", R"({"command":["stop"]})" "\n"},
    {"ObjectValue", R"({"command":{"stop":"stop"}})" "\n"},
    {"InvalidUtf8", "{\"command\":\"st\xC3\x28op\"}\n"},
    {"InvalidUtf8OutsideStrings", "\xFF\xFE{\"command\":\"stop\"}\n"},
    {"NulByte", std::string("{\"command\":\"stop\"}\0\n", 20)},
    {"TwoObjects", R"({"command":"stop"}{"command":"stop"})" "\n"},
    {"SpreadOverLines", "{\n\"command\":\n\"stop\"\n}\n"},
    {"Uppercase", R"({"command":"STOP"})" "\n"},
    {"OtherKey", R"({"cmd":"stop"})" "\n"},
    {"DeepNesting", std::string(50000, '[') + "\n"},
};

class BadInputTest : public testing::TestWithParam<BadInput> {};

TEST_P(BadInputTest, IsIgnoredAndReadingGoesOn) {
  EXPECT_EQ(linesAfterInput({GetParam().bytes, "{\"command\":\"cancel\"}\n"}),
            kCancelledWhileListening);
}

INSTANTIATE_TEST_SUITE_P(Reader, BadInputTest, testing::ValuesIn(kBadInputs),
                         [](const auto& test) { return std::string(test.param.name); });

struct GoodInput {
  const char* name;
  std::vector<std::string> chunks;
};

const GoodInput kStops[] = {
    {"Plain", {"{\"command\":\"stop\"}\n"}},
    {"CrLf", {"{\"command\":\"stop\"}\r\n"}},
    {"NoFinalLineFeed", {"{\"command\":\"stop\"}"}},
    {"SplitAcrossReads", {"{\"comm", "and\":\"st", "op\"}", "\n"}},
    {"ExtraStringKeys", {R"({"id":"7","command":"stop","n":"1"})" "\n"}},
    {"Spaced", {R"(  { "command" : "stop" }  )" "\n"}},
    {"AfterGarbage", {"garbage\n[1,2]\n{\"command\":\"stop\"}\n"}},
};

class StopInputTest : public testing::TestWithParam<GoodInput> {};

// A stop followed by the end of input: the stop is taken, then the end of
// input cancels during the grace.
TEST_P(StopInputTest, Stops) {
  EXPECT_EQ(linesAfterInput(GetParam().chunks),
            (std::vector<std::string>{kStarting, kListening, kStopping, kCancelled}));
}

INSTANTIATE_TEST_SUITE_P(Reader, StopInputTest, testing::ValuesIn(kStops),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(ReaderTest, DropsAnOverLongLineWholeAndReadsOn) {
  std::string longLine = "{\"command\":\"stop\",\"pad\":\"" +
                         std::string(kMaxCommandLineBytes, 'x') + "\"}\n";
  // Fed in pieces, as a pipe delivers it.
  std::vector<std::string> chunks;
  for (std::size_t at = 0; at < longLine.size(); at += 4096) chunks.push_back(longLine.substr(at, 4096));
  chunks.push_back("{\"command\":\"cancel\"}\n");
  EXPECT_EQ(linesAfterInput(chunks), kCancelledWhileListening);
}

TEST(ReaderTest, KeepsALineJustUnderTheLimit) {
  std::string pad(kMaxCommandLineBytes - 40, ' ');
  EXPECT_EQ(linesAfterInput({pad + "{\"command\":\"stop\"}\n"}),
            (std::vector<std::string>{kStarting, kListening, kStopping, kCancelled}));
}

TEST(ReaderTest, AnOverLongLastLineWithoutLineFeedIsDropped) {
  EXPECT_EQ(linesAfterInput({std::string(kMaxCommandLineBytes + 1, ' ') + "{\"command\":\"stop\"}"}),
            kCancelledWhileListening);
}

}  // namespace
}  // namespace orlimbo
