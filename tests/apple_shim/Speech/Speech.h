// Stand-in for the Speech framework subset the macOS backend uses; see README.md.
#ifndef ORLIMBO_APPLE_SHIM_SPEECH_H_
#define ORLIMBO_APPLE_SHIM_SPEECH_H_

#import <AVFAudio/AVFAudio.h>
#import <Foundation/Foundation.h>

#pragma clang assume_nonnull begin

typedef enum : NSInteger {
  SFSpeechRecognizerAuthorizationStatusNotDetermined = 0,
  SFSpeechRecognizerAuthorizationStatusDenied = 1,
  SFSpeechRecognizerAuthorizationStatusRestricted = 2,
  SFSpeechRecognizerAuthorizationStatusAuthorized = 3,
} SFSpeechRecognizerAuthorizationStatus;

typedef enum : NSInteger {
  SFSpeechRecognitionTaskHintUnspecified = 0,
  SFSpeechRecognitionTaskHintDictation = 1,
  SFSpeechRecognitionTaskHintSearch = 2,
  SFSpeechRecognitionTaskHintConfirmation = 3,
} SFSpeechRecognitionTaskHint;

@interface SFTranscription : NSObject
@property(nonatomic, readonly, copy) NSString* formattedString;
@end

@interface SFSpeechRecognitionResult : NSObject
@property(nonatomic, readonly, copy) SFTranscription* bestTranscription;
@property(nonatomic, readonly, getter=isFinal) BOOL final;
@end

@interface SFSpeechRecognitionRequest : NSObject
@property(nonatomic) SFSpeechRecognitionTaskHint taskHint;
@property(nonatomic) BOOL shouldReportPartialResults;
@property(nonatomic) BOOL requiresOnDeviceRecognition;
@end

@interface SFSpeechAudioBufferRecognitionRequest : SFSpeechRecognitionRequest
- (void)appendAudioPCMBuffer:(AVAudioPCMBuffer*)audioPCMBuffer;
- (void)endAudio;
@end

@interface SFSpeechRecognitionTask : NSObject
- (void)cancel;
@end

@interface SFSpeechRecognizer : NSObject
+ (SFSpeechRecognizerAuthorizationStatus)authorizationStatus;
+ (void)requestAuthorization:(void (^)(SFSpeechRecognizerAuthorizationStatus status))handler;
- (nullable instancetype)initWithLocale:(NSLocale*)locale;
@property(nonatomic) BOOL supportsOnDeviceRecognition;
- (SFSpeechRecognitionTask*)
    recognitionTaskWithRequest:(SFSpeechRecognitionRequest*)request
                 resultHandler:(void (^)(SFSpeechRecognitionResult* _Nullable result,
                                         NSError* _Nullable error))resultHandler;
@end

#pragma clang assume_nonnull end

#endif  // ORLIMBO_APPLE_SHIM_SPEECH_H_
