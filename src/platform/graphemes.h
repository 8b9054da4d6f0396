// User-perceived characters: extended grapheme clusters as Unicode text
// segmentation defines them. Pure functions over UTF-8, safe on any thread.
#ifndef ORLIMBO_PLATFORM_GRAPHEMES_H_
#define ORLIMBO_PLATFORM_GRAPHEMES_H_

#include <cstddef>
#include <string_view>
#include <vector>

namespace orlimbo {

// The first `maxClusters` user-perceived characters of `text`, never splitting
// one; `text` itself when it is that short. A byte that is not valid UTF-8
// counts as one character of its own.
std::string_view firstGraphemes(std::string_view text, std::size_t maxClusters);

// Byte offsets of the cluster boundaries of `text`, from 0 to its size; the
// count of clusters is the size of the result minus one (0 for empty text).
std::vector<std::size_t> graphemeBoundaries(std::string_view text);

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_GRAPHEMES_H_
