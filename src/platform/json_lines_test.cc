#include "platform/json_lines.h"

#include <gtest/gtest.h>

namespace orlimbo {
namespace {

struct Decode {
  const char* name;
  std::string line;
  std::optional<Command> command;
};

const Decode kDecodes[] = {
    {"Stop", R"({"command":"stop"})", Command{{"command", "stop"}}},
    {"Empty", "{}", Command{}},
    {"Escapes", R"({"command":"st\u006fp","k":"a\"b"})", Command{{"command", "stop"}, {"k", "a\"b"}}},
    {"Whitespace", " \t{ \"a\" : \"b\" }\r ", Command{{"a", "b"}}},
    {"Nothing", "", std::nullopt},
    {"Array", "[]", std::nullopt},
    {"String", R"("stop")", std::nullopt},
    {"Null", "null", std::nullopt},
    {"NestedEmptyObject", R"({"a":{}})", std::nullopt},
    {"NumberValue", R"({"a":"b","n":1.5})", std::nullopt},
    {"Trailing", R"({"a":"b"} x)", std::nullopt},
    {"Comment", R"({"a":"b"} // stop)", std::nullopt},
    {"LoneSurrogate", R"({"a":"\ud800"})", std::nullopt},
    {"NulAfterObject", std::string("{\"a\":\"b\"}\0x", 11), std::nullopt},
    {"RawControlCharacter", "{\"a\":\"b\x01\"}", std::nullopt},
};

class DecodeTest : public testing::TestWithParam<Decode> {};

TEST_P(DecodeTest, AcceptsOnlyFlatObjectsOfStrings) {
  EXPECT_EQ(parseCommand(GetParam().line), GetParam().command);
}

INSTANTIATE_TEST_SUITE_P(Json, DecodeTest, testing::ValuesIn(kDecodes),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(SerializeTest, IsCompactAndKeepsKeyOrder) {
  EXPECT_EQ(serializeMessage({{"type", "x"}, {"b", true}, {"n", nullptr}, {"a", "\"q\""}}),
            R"({"type":"x","b":true,"n":null,"a":"\"q\""})");
}

}  // namespace
}  // namespace orlimbo
