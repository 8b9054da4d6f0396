#include "platform/linux/embedded_info_plist.h"

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace orlimbo {
namespace {

const char kMicrophoneText[] =
    "Dictate text into your Orlimbo message. Recording starts only when you click Dictate.";
const char kSpeechText[] =
    "Turn your speech into editable message text using on-device recognition.";

std::string readFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

TEST(EmbeddedInfoPlistTest, IsTheResourceByteForByte) {
  EXPECT_EQ(embeddedInfoPlist(), readFile(ORLIMBO_SOURCE_DIR "/resources/Info.plist"));
}

TEST(EmbeddedInfoPlistTest, TheHelperCarriesBothPrivacyTexts) {
  const std::string helper = ORLIMBO_BINARY_DIR "/orlimbo-dictation";
  const std::string section = testing::TempDir() + "info_plist_section";
  std::string extract = "objcopy -O binary --only-section=.info_plist " + helper + " " + section;
  ASSERT_EQ(std::system(extract.c_str()), 0);
  std::string plist = readFile(section);
  EXPECT_EQ(plistValue(plist, "NSMicrophoneUsageDescription"), kMicrophoneText);
  EXPECT_EQ(plistValue(plist, "NSSpeechRecognitionUsageDescription"), kSpeechText);
  EXPECT_EQ(plistValue(plist, "CFBundleName"), "Orlimbo Dictation");
  EXPECT_TRUE(plistValue(plist, "CFBundleIdentifier"));
}

struct Lookup {
  const char* name;
  std::string plist;
  std::optional<std::string> value;
};

const std::string kHead = R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0">)";

const Lookup kLookups[] = {
    {"String", kHead + "<dict><key>K</key><string>v</string></dict></plist>", "v"},
    {"EmptyString", kHead + "<dict><key>K</key><string></string></dict></plist>", ""},
    {"OtherTypeIsPresent", kHead + "<dict><key>K</key><true/></dict></plist>", ""},
    {"Missing", kHead + "<dict><key>L</key><string>v</string></dict></plist>", std::nullopt},
    {"NotADictionary", kHead + "<array><string>K</string></array></plist>", std::nullopt},
    {"Broken", kHead + "<dict><key>K</key><string>v", std::nullopt},
    {"Empty", "", std::nullopt},
};

// The same dictionary {K: v} in binary form, as libplist writes it.
std::string binaryPlist() {
  plist_t dict = plist_new_dict();
  plist_dict_set_item(dict, "K", plist_new_string("v"));
  char* bytes = nullptr;
  std::uint32_t length = 0;
  plist_to_bin(dict, &bytes, &length);
  std::string binary(bytes, length);
  std::free(bytes);
  plist_free(dict);
  return binary;
}

TEST(PlistValueTest, ReadsBinaryLists) {
  std::string binary = binaryPlist();
  ASSERT_TRUE(binary.starts_with("bplist00"));
  EXPECT_EQ(plistValue(binary, "K"), "v");
}

TEST(PlistValueTest, FindsValuesAndSurvivesBrokenLists) {
  for (const Lookup& c : kLookups) {
    EXPECT_EQ(plistValue(c.plist, "K"), c.value) << c.name;
  }
}

}  // namespace
}  // namespace orlimbo
