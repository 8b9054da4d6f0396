// The entry point of orlimbo-dictation-backend.so, the one symbol the module
// exports (everything else is built with hidden visibility).

#include "platform/linux/pulse_sphinx_backend.h"

extern "C" __attribute__((visibility("default"))) const orlimbo::BackendFactories*
orlimbo_dictation_backend() {
  // Never destroyed: its engines and requests may be in use while the process exits.
  static const auto* factories = new orlimbo::BackendFactories(orlimbo::makePulseSphinxBackend());
  return factories;
}
