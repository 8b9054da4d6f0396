// Stand-in for the AVFoundation subset the macOS backend uses; see README.md.
#ifndef ORLIMBO_APPLE_SHIM_AVFOUNDATION_H_
#define ORLIMBO_APPLE_SHIM_AVFOUNDATION_H_

#import <AVFAudio/AVFAudio.h>
#import <Foundation/Foundation.h>

#pragma clang assume_nonnull begin

typedef NSString* AVMediaType;
#ifdef __cplusplus
extern "C"
#endif
    AVMediaType const AVMediaTypeAudio;

typedef enum : NSInteger {
  AVAuthorizationStatusNotDetermined = 0,
  AVAuthorizationStatusRestricted = 1,
  AVAuthorizationStatusDenied = 2,
  AVAuthorizationStatusAuthorized = 3,
} AVAuthorizationStatus;

@interface AVCaptureDevice : NSObject
+ (AVAuthorizationStatus)authorizationStatusForMediaType:(AVMediaType)mediaType;
+ (void)requestAccessForMediaType:(AVMediaType)mediaType
                completionHandler:(void (^)(BOOL granted))handler;
@end

#pragma clang assume_nonnull end

#endif  // ORLIMBO_APPLE_SHIM_AVFOUNDATION_H_
