#include "platform/apple/apple_privacy.h"

#include <utility>

#import <AVFoundation/AVFoundation.h>
#import <Foundation/Foundation.h>

namespace orlimbo {

int ApplePrivacy::microphoneAuthorizationStatus() {
  return static_cast<int>([AVCaptureDevice authorizationStatusForMediaType:AVMediaTypeAudio]);
}

void ApplePrivacy::requestMicrophoneAccess(std::function<void(bool granted)> completion) {
  std::function<void(bool)> answer = std::move(completion);
  [AVCaptureDevice requestAccessForMediaType:AVMediaTypeAudio
                           completionHandler:^(BOOL granted) {
                             answer(granted);
                           }];
}

std::optional<std::string> ApplePrivacy::infoDictionaryValue(const std::string& key) {
  @autoreleasepool {
    NSString* name = [[NSString alloc] initWithBytes:key.data()
                                              length:key.size()
                                            encoding:NSUTF8StringEncoding];
    if (name == nil) return std::nullopt;  // not UTF-8: no key of a property list
    NSObject* value = [NSBundle.mainBundle objectForInfoDictionaryKey:name];
    if (value == nil) return std::nullopt;
    NSString* text = [value isKindOfClass:[NSString class]] ? (NSString*)value : value.description;
    const char* bytes = text.UTF8String;
    return std::string(bytes != nullptr ? bytes : "");
  }
}

}  // namespace orlimbo
