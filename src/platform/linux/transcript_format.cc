#include "platform/linux/transcript_format.h"

#include <cctype>
#include <vector>

namespace orlimbo {
namespace {

bool isAsciiSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::vector<std::string_view> splitWords(std::string_view text) {
  std::vector<std::string_view> words;
  std::size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && isAsciiSpace(text[at])) ++at;
    std::size_t end = at;
    while (end < text.size() && !isAsciiSpace(text[end])) ++end;
    if (end > at) words.push_back(text.substr(at, end - at));
    at = end;
  }
  return words;
}

// Silence, sentence marks and noises: "<s>", "<sil>", "[NOISE]", "++BREATH++".
bool isFiller(std::string_view word) {
  auto enclosed = [word](char open, char close) {
    return word.size() >= 2 && word.front() == open && word.back() == close;
  };
  return enclosed('<', '>') || enclosed('[', ']') ||
         (word.size() >= 4 && word.starts_with("++") && word.ends_with("++"));
}

// "read(2)" names the second pronunciation of "read"; the reader wants "read".
std::string_view withoutVariant(std::string_view word) {
  if (word.size() < 3 || word.back() != ')') return word;
  std::size_t open = word.rfind('(');
  if (open == std::string_view::npos || open + 2 > word.size() - 1) return word;
  for (std::size_t i = open + 1; i + 1 < word.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(word[i]))) return word;
  }
  return word.substr(0, open);
}

// The pronoun alone or in a contraction: "i", "i'm", "i'll", "i'd", "i've".
bool isFirstPersonPronoun(std::string_view word) { return word == "i" || word.starts_with("i'"); }

}  // namespace

std::string formatTranscript(std::string_view hypothesis) {
  std::string text;
  for (std::string_view word : splitWords(hypothesis)) {
    if (isFiller(word)) continue;
    word = withoutVariant(word);
    if (word.empty()) continue;
    if (!text.empty()) text += ' ';
    std::size_t start = text.size();
    text += word;
    if (isFirstPersonPronoun(word)) text[start] = 'I';
  }
  if (!text.empty()) text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
  return text;
}

}  // namespace orlimbo
