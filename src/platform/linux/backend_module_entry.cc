// The entry point of orlimbo-dictation-backend.so, the one symbol the module
// exports (everything else is built with hidden visibility).

#include "platform/linux/pulse_sphinx_backend.h"

extern "C" __attribute__((visibility("default"))) orlimbo::DictationBackend*
orlimbo_dictation_backend() {
  // Never destroyed: its engines and tasks may be in use while the process exits.
  static auto* backend = new orlimbo::PulseSphinxBackend;
  return backend;
}
