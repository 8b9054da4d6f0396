#include "platform/linux/sphinx_model_files.h"

#include <sys/stat.h>

namespace orlimbo {
namespace {

bool exists(const std::string& path) {
  struct stat info;
  return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

}  // namespace

bool SphinxModelFiles::present() const {
  return exists(acousticModel) && exists(languageModel) && exists(dictionary);
}

}  // namespace orlimbo
