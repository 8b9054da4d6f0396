// Protocol lines as the host reads them, for tests that compare output.
#ifndef ORLIMBO_PLATFORM_FAKE_EXPECTED_LINES_H_
#define ORLIMBO_PLATFORM_FAKE_EXPECTED_LINES_H_

#include <string>

namespace orlimbo::lines {

inline const std::string kStarting = R"({"type":"state","state":"starting"})";
inline const std::string kListening = R"({"type":"state","state":"listening"})";
inline const std::string kStopping = R"({"type":"state","state":"stopping"})";
inline const std::string kCancelled = R"({"type":"state","state":"cancelled"})";

inline std::string interim(const std::string& text) {
  return R"({"type":"interim","text":")" + text + R"("})";
}
inline std::string final(const std::string& text) {
  return R"({"type":"final","text":")" + text + R"("})";
}
inline std::string error(const std::string& sentence) {
  return R"({"type":"error","message":")" + sentence + R"("})";
}

inline const std::string kNoMicrophone = error("No usable microphone was found.");
inline const std::string kMicrophoneStart =
    error("The microphone could not start. Check its connection and macOS permissions.");
inline const std::string kNotRecognized = error(
    "On-device dictation could not recognize speech. Check your microphone and macOS Dictation "
    "language settings, then try again.");

}  // namespace orlimbo::lines

#endif  // ORLIMBO_PLATFORM_FAKE_EXPECTED_LINES_H_
