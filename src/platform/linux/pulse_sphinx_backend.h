// The backend module's factories over the engine libraries: PulseAudio
// engines, and PocketSphinx requests on one SphinxModel per set of model
// files, kept for the life of the factories so that a preloaded model serves
// the recognition that follows.
//
// The module's entry point makes one set, never destroyed; tests make their
// own.
#ifndef ORLIMBO_PLATFORM_LINUX_PULSE_SPHINX_BACKEND_H_
#define ORLIMBO_PLATFORM_LINUX_PULSE_SPHINX_BACKEND_H_

#include "platform/linux/backend_module.h"

namespace orlimbo {

BackendFactories makePulseSphinxBackend();

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_LINUX_PULSE_SPHINX_BACKEND_H_
