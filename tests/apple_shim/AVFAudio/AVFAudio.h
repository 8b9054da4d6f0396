// Stand-in for the AVFAudio subset the macOS backend uses; see README.md.
#ifndef ORLIMBO_APPLE_SHIM_AVFAUDIO_H_
#define ORLIMBO_APPLE_SHIM_AVFAUDIO_H_

#include <stdint.h>

#import <Foundation/Foundation.h>

#pragma clang assume_nonnull begin

typedef uint32_t AVAudioFrameCount;
typedef uint32_t AVAudioChannelCount;
typedef NSUInteger AVAudioNodeBus;

typedef enum : NSUInteger {
  AVAudioOtherFormat = 0,
  AVAudioPCMFormatFloat32 = 1,
  AVAudioPCMFormatFloat64 = 2,
  AVAudioPCMFormatInt16 = 3,
  AVAudioPCMFormatInt32 = 4,
} AVAudioCommonFormat;

@interface AVAudioFormat : NSObject
// Fails (nil) for more than two channels, which need a channel layout.
- (nullable instancetype)initWithCommonFormat:(AVAudioCommonFormat)format
                                   sampleRate:(double)sampleRate
                                     channels:(AVAudioChannelCount)channels
                                  interleaved:(BOOL)interleaved;
@property(nonatomic, readonly) double sampleRate;
@property(nonatomic, readonly) AVAudioChannelCount channelCount;
@property(nonatomic, readonly, getter=isInterleaved) BOOL interleaved;
@end

@interface AVAudioBuffer : NSObject
@property(nonatomic, readonly) AVAudioFormat* format;
@end

@interface AVAudioPCMBuffer : AVAudioBuffer
- (nullable instancetype)initWithPCMFormat:(AVAudioFormat*)format
                             frameCapacity:(AVAudioFrameCount)frameCapacity;
@property(nonatomic, readonly) AVAudioFrameCount frameCapacity;
@property(nonatomic) AVAudioFrameCount frameLength;
// `format.channelCount` pointers, each to `frameLength` samples spaced by
// `stride`; nil unless the format is 32-bit float.
@property(nonatomic, readonly) float* _Nonnull const* _Nullable floatChannelData;
@property(nonatomic, readonly) NSUInteger stride;
@end

@interface AVAudioTime : NSObject
@end

typedef void (^AVAudioNodeTapBlock)(AVAudioPCMBuffer* buffer, AVAudioTime* when);

@interface AVAudioNode : NSObject
- (AVAudioFormat*)outputFormatForBus:(AVAudioNodeBus)bus;
- (void)installTapOnBus:(AVAudioNodeBus)bus
             bufferSize:(AVAudioFrameCount)bufferSize
                 format:(AVAudioFormat* _Nullable)format
                  block:(AVAudioNodeTapBlock)tapBlock;
- (void)removeTapOnBus:(AVAudioNodeBus)bus;
@end

@interface AVAudioIONode : AVAudioNode
@end

@interface AVAudioInputNode : AVAudioIONode
@end

@interface AVAudioEngine : NSObject
- (instancetype)init;
@property(readonly, nonatomic) AVAudioInputNode* inputNode;
- (void)prepare;
- (BOOL)startAndReturnError:(NSError**)outError;
- (void)stop;
@end

#pragma clang assume_nonnull end

#endif  // ORLIMBO_APPLE_SHIM_AVFAUDIO_H_
