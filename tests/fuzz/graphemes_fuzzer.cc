// Fuzzes the transcript cut over arbitrary bytes: the first byte is the
// number of user-perceived characters to keep, the rest is the text. The cut
// must be a prefix that ends on a cluster boundary and holds at most that many
// clusters; the boundaries must rise strictly from 0 to the size.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "platform/graphemes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::size_t maxClusters = data[0] % 32;
  std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

  std::vector<std::size_t> boundaries = orlimbo::graphemeBoundaries(text);
  if (boundaries.empty() || boundaries.front() != 0 || boundaries.back() != text.size()) {
    std::abort();
  }
  for (std::size_t i = 1; i < boundaries.size(); ++i) {
    if (boundaries[i] <= boundaries[i - 1]) std::abort();
  }

  std::string_view cut = orlimbo::firstGraphemes(text, maxClusters);
  if (cut.data() != text.data() || cut.size() > text.size()) std::abort();
  std::size_t clusters = boundaries.size() - 1;
  std::size_t kept = maxClusters < clusters ? maxClusters : clusters;
  if (cut.size() != boundaries[kept]) std::abort();
  return 0;
}
