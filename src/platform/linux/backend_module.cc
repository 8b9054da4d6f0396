#include "platform/linux/backend_module.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <mutex>

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

DictationBackend* openBackendModule(const std::string& path) {
  // A path without a slash would send dlopen through the search path.
  if (path.find('/') == std::string::npos) return nullptr;
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return nullptr;
  auto entry =
      reinterpret_cast<DictationBackendEntry>(::dlsym(handle, kDictationBackendEntryPoint));
  DictationBackend* backend = entry != nullptr ? entry() : nullptr;
  if (backend == nullptr) ::dlclose(handle);
  return backend;
}

DictationBackend* backendModule() {
  static std::once_flag once;
  static DictationBackend* backend = nullptr;
  std::call_once(once, [] {
    if (std::optional<std::string> path = backendModulePath()) backend = openBackendModule(*path);
  });
  return backend;
}

}  // namespace orlimbo
