#include "platform/apple/apple_speech.h"

#include <mutex>
#include <utility>

#import <AVFAudio/AVFAudio.h>
#import <Foundation/Foundation.h>
#import <Speech/Speech.h>

#include "platform/apple/pcm_layout.h"

namespace orlimbo {
namespace {

class AppleRecognitionRequest final : public RecognitionRequest {
 public:
  AppleRecognitionRequest() : request_([[SFSpeechAudioBufferRecognitionRequest alloc] init]) {}

  SFSpeechAudioBufferRecognitionRequest* platformRequest() const { return request_; }

  void setRequiresOnDeviceRecognition(bool required) override {
    request_.requiresOnDeviceRecognition = required;
  }
  void setShouldReportPartialResults(bool report) override {
    request_.shouldReportPartialResults = report;
  }
  void setTaskHint(int hint) override {
    request_.taskHint = static_cast<SFSpeechRecognitionTaskHint>(hint);
  }

  void appendAudioPCMBuffer(const AudioBuffer& buffer) override {
    @autoreleasepool {
      std::lock_guard<std::mutex> hold(lock_);
      if (ended_) return;
      if (AVAudioPCMBuffer* converted = convert(buffer)) {
        [request_ appendAudioPCMBuffer:converted];
      }
    }
  }

  void endAudio() override {
    std::lock_guard<std::mutex> hold(lock_);
    if (ended_) return;
    ended_ = true;
    [request_ endAudio];
  }

 private:
  // `buffer` as planar 32-bit float in a buffer of its own; nil when it cannot
  // be fed to the recognizer.
  AVAudioPCMBuffer* convert(const AudioBuffer& buffer) {
    if (!isWellFormed(buffer)) return nil;
    AVAudioChannelCount channels = recognizerChannelCount(buffer.format.channelCount);
    AVAudioFormat* format = formatFor(buffer.format.sampleRate, channels);
    if (format == nil) return nil;
    AVAudioPCMBuffer* converted = [[AVAudioPCMBuffer alloc] initWithPCMFormat:format
                                                                frameCapacity:buffer.frameLength];
    if (converted == nil || converted.floatChannelData == nullptr) return nil;
    if (!deinterleave(buffer, std::span<float* const>(converted.floatChannelData, channels))) {
      return nil;
    }
    converted.frameLength = buffer.frameLength;
    return converted;
  }

  // The capture format rarely changes within a run, so one format is kept.
  AVAudioFormat* formatFor(double sampleRate, AVAudioChannelCount channels) {
    if (format_ == nil || format_.sampleRate != sampleRate || format_.channelCount != channels) {
      format_ = [[AVAudioFormat alloc] initWithCommonFormat:AVAudioPCMFormatFloat32
                                                 sampleRate:sampleRate
                                                   channels:channels
                                                interleaved:NO];
    }
    return format_;
  }

  SFSpeechAudioBufferRecognitionRequest* const request_;
  std::mutex lock_;  // orders buffers from the capture thread against endAudio
  bool ended_ = false;
  AVAudioFormat* format_ = nil;
};

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

class AppleRecognizer final : public SpeechRecognizer {
 public:
  explicit AppleRecognizer(SFSpeechRecognizer* recognizer) : recognizer_(recognizer) {}

  bool supportsOnDeviceRecognition() override { return recognizer_.supportsOnDeviceRecognition; }

  std::unique_ptr<RecognitionTask> recognitionTask(std::shared_ptr<RecognitionRequest> request,
                                                   ResultHandler handler) override {
    // Requests come only from AppleSpeech::makeRequest.
    auto* ours = dynamic_cast<AppleRecognitionRequest*>(request.get());
    if (ours == nullptr) return nullptr;
    ResultHandler deliver = std::move(handler);
    SFSpeechRecognitionTask* task =
        [recognizer_ recognitionTaskWithRequest:ours->platformRequest()
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

std::shared_ptr<RecognitionRequest> AppleSpeech::makeRequest() {
  return std::make_shared<AppleRecognitionRequest>();
}

}  // namespace orlimbo
