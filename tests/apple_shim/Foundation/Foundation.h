// Stand-in for the Foundation subset the macOS backend uses; see README.md.
#ifndef ORLIMBO_APPLE_SHIM_FOUNDATION_H_
#define ORLIMBO_APPLE_SHIM_FOUNDATION_H_

#include <stdint.h>

#pragma clang assume_nonnull begin

typedef bool BOOL;  // arm64: BOOL is the C++ bool
#define YES __objc_yes
#define NO __objc_no
#define nil nullptr  // <objc/objc.h> under C++11 and later

typedef long NSInteger;
typedef unsigned long NSUInteger;

@class NSString;

@protocol NSObject
- (BOOL)isKindOfClass:(Class)aClass;
@property(readonly, copy) NSString* description;
@end

__attribute__((objc_root_class))
@interface NSObject <NSObject>
+ (instancetype)alloc;
+ (instancetype)new;
+ (Class)class;
- (instancetype)init;
@end

// Strings.
typedef NSUInteger NSStringEncoding;
enum : NSStringEncoding { NSUTF8StringEncoding = 4 };

@interface NSString : NSObject
- (nullable instancetype)initWithBytes:(const void*)bytes
                                length:(NSUInteger)len
                              encoding:(NSStringEncoding)encoding;
@property(nullable, readonly) const char* UTF8String __attribute__((objc_returns_inner_pointer));
@end

// Collections.
typedef struct {
  unsigned long state;
  id __unsafe_unretained _Nullable* _Nullable itemsPtr;
  unsigned long* _Nullable mutationsPtr;
  unsigned long extra[5];
} NSFastEnumerationState;

@protocol NSFastEnumeration
- (NSUInteger)countByEnumeratingWithState:(NSFastEnumerationState*)state
                                  objects:(id __unsafe_unretained _Nullable[_Nonnull])buffer
                                    count:(NSUInteger)len;
@end

@interface NSArray<__covariant ObjectType> : NSObject <NSFastEnumeration>
@property(readonly) NSUInteger count;
- (ObjectType)objectAtIndex:(NSUInteger)index;
@end

// Errors: only passed by reference, never read.
@interface NSError : NSObject
@end

// Locales.
@interface NSLocale : NSObject
- (instancetype)initWithLocaleIdentifier:(NSString*)string;
@property(class, readonly, copy) NSArray<NSString*>* preferredLanguages;
@end

// Bundles.
@interface NSBundle : NSObject
@property(class, readonly, strong) NSBundle* mainBundle;
- (nullable id)objectForInfoDictionaryKey:(NSString*)key;
@end

#pragma clang assume_nonnull end

#endif  // ORLIMBO_APPLE_SHIM_FOUNDATION_H_
