#include "platform/linux/backend_module.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

namespace orlimbo {

std::optional<std::string> backendModulePath() {
  char buffer[PATH_MAX];
  ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer);
  // A full buffer may hold a truncated path.
  if (length <= 0 || static_cast<std::size_t>(length) >= sizeof buffer) return std::nullopt;
  std::string executable(buffer, static_cast<std::size_t>(length));
  std::size_t slash = executable.rfind('/');
  if (slash == std::string::npos) return std::nullopt;
  return executable.substr(0, slash + 1) + kDictationBackendFileName;
}

const BackendFactories* openBackendModule(const std::string& path) {
  // A path without a slash would send dlopen through the search path.
  if (path.find('/') == std::string::npos) return nullptr;
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return nullptr;
  auto entry = reinterpret_cast<BackendEntryPoint>(::dlsym(handle, kDictationBackendEntryPoint));
  const BackendFactories* factories = entry != nullptr ? entry() : nullptr;
  if (factories == nullptr) ::dlclose(handle);
  return factories;
}

const BackendFactories* openBackendModuleBesideExecutable() {
  std::optional<std::string> path = backendModulePath();
  return path ? openBackendModule(*path) : nullptr;
}

}  // namespace orlimbo
