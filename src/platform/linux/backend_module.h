// Opens the dictation backend module (see dictation_backend.h) with dlopen.
// The module is looked for only beside the running executable, never through
// the library search path or the environment. Once opened it stays loaded for
// the life of the process. Nothing is printed on failure.
#ifndef ORLIMBO_PLATFORM_LINUX_BACKEND_MODULE_H_
#define ORLIMBO_PLATFORM_LINUX_BACKEND_MODULE_H_

#include <optional>
#include <string>

#include "platform/linux/dictation_backend.h"

namespace orlimbo {

// The module's path beside /proc/self/exe, or nothing when the executable's
// path cannot be read.
std::optional<std::string> backendModulePath();

// The backend of the module at `path`; null when the file is missing, is not
// a loadable module, lacks the entry point, or its entry point answers null.
// A module that fails is closed again.
DictationBackend* openBackendModule(const std::string& path);

// The backend of the module beside the executable, opened on the first call
// and only then; every later call returns the same answer. Thread-safe.
DictationBackend* backendModule();

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_LINUX_BACKEND_MODULE_H_
