// Where one PocketSphinx model lies on disk. A plain value: the speech
// services build it from the model root, the backend loads the model from it.
#ifndef ORLIMBO_PLATFORM_LINUX_SPHINX_MODEL_FILES_H_
#define ORLIMBO_PLATFORM_LINUX_SPHINX_MODEL_FILES_H_

#include <compare>
#include <string>

namespace orlimbo {

struct SphinxModelFiles {
  std::string acousticModel;  // directory
  std::string languageModel;
  std::string dictionary;

  // True when all three exist; reads no content and needs no engine library.
  bool present() const;

  auto operator<=>(const SphinxModelFiles&) const = default;
};

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_LINUX_SPHINX_MODEL_FILES_H_
