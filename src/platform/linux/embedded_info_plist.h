// The information property list linked into this executable, read with
// libplist. Parsed once, on first use, on the main thread.
#ifndef ORLIMBO_PLATFORM_LINUX_EMBEDDED_INFO_PLIST_H_
#define ORLIMBO_PLATFORM_LINUX_EMBEDDED_INFO_PLIST_H_

#include <optional>
#include <string>
#include <string_view>

namespace orlimbo {

// The embedded list's bytes, exactly as in resources/Info.plist.
std::string_view embeddedInfoPlist();

// The value under `key` in the property list `plist` (XML or binary): a
// string as itself, any other value as its text or empty; absent when the key
// is missing or the list does not parse as a dictionary.
std::optional<std::string> plistValue(std::string_view plist, const std::string& key);

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_LINUX_EMBEDDED_INFO_PLIST_H_
