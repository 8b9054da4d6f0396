#include "platform/graphemes.h"

#include <utf8proc.h>

namespace orlimbo {
namespace {

// Walks `text` cluster by cluster; `visit` gets each boundary after the first
// and returns false to stop.
template <typename Visit>
void walkClusters(std::string_view text, Visit visit) {
  const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
  const auto size = static_cast<utf8proc_ssize_t>(text.size());
  utf8proc_int32_t state = 0;
  utf8proc_int32_t previous = -1;
  utf8proc_ssize_t offset = 0;
  while (offset < size) {
    utf8proc_int32_t codepoint = -1;
    utf8proc_ssize_t length = utf8proc_iterate(bytes + offset, size - offset, &codepoint);
    if (length < 0) {
      // A broken byte stands alone: break before it and after it.
      length = 1;
      codepoint = -1;
    }
    bool breaks = offset > 0 && (previous < 0 || codepoint < 0 ||
                                 utf8proc_grapheme_break_stateful(previous, codepoint, &state));
    if (codepoint < 0) state = 0;
    if (breaks && !visit(static_cast<std::size_t>(offset))) return;
    previous = codepoint;
    offset += length;
  }
  if (size > 0) visit(text.size());
}

}  // namespace

std::string_view firstGraphemes(std::string_view text, std::size_t maxClusters) {
  if (maxClusters == 0) return text.substr(0, 0);
  std::size_t clusters = 0;
  std::size_t end = text.size();
  walkClusters(text, [&](std::size_t boundary) {
    if (++clusters < maxClusters) return true;
    end = boundary;
    return false;
  });
  return text.substr(0, end);
}

std::vector<std::size_t> graphemeBoundaries(std::string_view text) {
  std::vector<std::size_t> boundaries{0};
  walkClusters(text, [&](std::size_t boundary) {
    boundaries.push_back(boundary);
    return true;
  });
  return boundaries;
}

}  // namespace orlimbo
