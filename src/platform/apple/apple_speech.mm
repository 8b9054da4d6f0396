#include "platform/apple/apple_speech.h"

#include <utility>

#import <AVFAudio/AVFAudio.h>
#import <Foundation/Foundation.h>
#import <Speech/Speech.h>

#include "platform/apple/delivery_gate.h"

namespace orlimbo {
namespace {

class AppleRecognitionTask final : public RecognitionTask {
 public:
  explicit AppleRecognitionTask(SFSpeechRecognitionTask* task) : task_(task) {}
  void cancel() override { [task_ cancel]; }

 private:
  SFSpeechRecognitionTask* const task_;
};

std::optional<RecognitionResult> resultFrom(SFSpeechRecognitionResult* result) {
  if (result == nil) return std::nullopt;
  const char* text = result.bestTranscription.formattedString.UTF8String;
  return RecognitionResult{text != nullptr ? text : "", static_cast<bool>([result isFinal])};
}

// A buffer-fed request on the recognizer that made it, which starts its task.
class AppleRecognitionRequest final : public RecognitionRequest {
 public:
  explicit AppleRecognitionRequest(SFSpeechRecognizer* recognizer)
      : recognizer_(recognizer), request_([[SFSpeechAudioBufferRecognitionRequest alloc] init]) {}

  void setRequiresOnDeviceRecognition(bool required) override {
    request_.requiresOnDeviceRecognition = required;
  }
  void setShouldReportPartialResults(bool report) override {
    request_.shouldReportPartialResults = report;
  }
  void setTaskHint(int hint) override {
    request_.taskHint = static_cast<SFSpeechRecognitionTaskHint>(hint);
  }

  // On the capture thread: the captured AVAudioPCMBuffer as it is, which the
  // request takes from the audio thread. No lock, no allocation, no copy.
  void appendAudioPCMBuffer(const AudioBuffer& buffer) override {
    if (buffer.native == nullptr) return;  // plain samples come from no macOS tap
    audio_.pass([&] { [request_ appendAudioPCMBuffer:(__bridge AVAudioPCMBuffer*)buffer.native]; });
  }

  // Waits for an append in progress; the request sees no buffer after its end.
  void endAudio() override {
    if (audio_.close()) [request_ endAudio];
  }

  std::unique_ptr<RecognitionTask> recognitionTask(RecognitionHandler handler) override {
    RecognitionHandler deliver = std::move(handler);
    SFSpeechRecognitionTask* task =
        [recognizer_ recognitionTaskWithRequest:request_
                                  resultHandler:^(SFSpeechRecognitionResult* _Nullable result,
                                                  NSError* _Nullable error) {
                                    std::optional<RecognitionError> failure;
                                    if (error != nil) failure = RecognitionError{};
                                    deliver(resultFrom(result), failure);
                                  }];
    return std::make_unique<AppleRecognitionTask>(task);
  }

 private:
  SFSpeechRecognizer* const recognizer_;
  SFSpeechAudioBufferRecognitionRequest* const request_;
  DeliveryGate audio_;  // open from creation until endAudio
};

class AppleRecognizer final : public SpeechRecognizer {
 public:
  explicit AppleRecognizer(SFSpeechRecognizer* recognizer) : recognizer_(recognizer) {}

  bool supportsOnDeviceRecognition() override { return recognizer_.supportsOnDeviceRecognition; }

  // Takes the captured AVAudioPCMBuffer of an AppleAudio tap as it is;
  // buffers without one, and buffers that arrive after endAudio, are dropped.
  std::shared_ptr<RecognitionRequest> makeRequest() override {
    return std::make_shared<AppleRecognitionRequest>(recognizer_);
  }

 private:
  SFSpeechRecognizer* const recognizer_;
};

}  // namespace

std::unique_ptr<SpeechRecognizer> AppleSpeech::makeRecognizer(const std::string& localeIdentifier) {
  @autoreleasepool {
    NSString* identifier = [[NSString alloc] initWithBytes:localeIdentifier.data()
                                                    length:localeIdentifier.size()
                                                  encoding:NSUTF8StringEncoding];
    if (identifier == nil) return nullptr;
    NSLocale* locale = [[NSLocale alloc] initWithLocaleIdentifier:identifier];
    SFSpeechRecognizer* recognizer = [[SFSpeechRecognizer alloc] initWithLocale:locale];
    if (recognizer == nil) return nullptr;
    return std::make_unique<AppleRecognizer>(recognizer);
  }
}

int AppleSpeech::authorizationStatus() {
  return static_cast<int>([SFSpeechRecognizer authorizationStatus]);
}

void AppleSpeech::requestAuthorization(std::function<void(int status)> completion) {
  std::function<void(int)> answer = std::move(completion);
  [SFSpeechRecognizer requestAuthorization:^(SFSpeechRecognizerAuthorizationStatus status) {
    answer(static_cast<int>(status));
  }];
}

}  // namespace orlimbo
