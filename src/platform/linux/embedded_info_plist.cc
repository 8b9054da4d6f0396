#include "platform/linux/embedded_info_plist.h"

#include <plist/plist.h>

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>

extern "C" const char orlimboInfoPlistStart[];
extern "C" const char orlimboInfoPlistEnd[];

namespace orlimbo {
namespace {

struct PlistFree {
  void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

}  // namespace

std::string_view embeddedInfoPlist() {
  return std::string_view(orlimboInfoPlistStart,
                          static_cast<std::size_t>(orlimboInfoPlistEnd - orlimboInfoPlistStart));
}

std::optional<std::string> plistValue(std::string_view plist, const std::string& key) {
  if (plist.empty() || plist.size() > std::numeric_limits<std::uint32_t>::max()) {
    return std::nullopt;
  }
  plist_t parsed = nullptr;
  plist_from_memory(plist.data(), static_cast<std::uint32_t>(plist.size()), &parsed);
  PlistPtr root(parsed);
  if (!root || plist_get_node_type(root.get()) != PLIST_DICT) return std::nullopt;
  plist_t item = plist_dict_get_item(root.get(), key.c_str());
  if (item == nullptr) return std::nullopt;
  if (plist_get_node_type(item) != PLIST_STRING) return std::string();
  char* value = nullptr;
  plist_get_string_val(item, &value);
  std::string text = value != nullptr ? value : "";
  free(value);  // allocated by libplist with malloc
  return text;
}

}  // namespace orlimbo
