// Cheap answers to "can this process reach a microphone at all?", for a status
// probe. They read an ELF header, a few environment variables and client
// configuration files, and make unix-socket connections that are closed at
// once; they never load libpulse or the backend module and never open a
// stream, so a probe stays as fast as a trivial process. Nothing is printed.
//
// Called on the main thread; no state is kept.
#ifndef ORLIMBO_PLATFORM_LINUX_AUDIO_REACHABILITY_H_
#define ORLIMBO_PLATFORM_LINUX_AUDIO_REACHABILITY_H_

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orlimbo {

// True when `path` holds an ELF shared object for the same machine and word
// size as the running executable. A missing, truncated or foreign file is no
// module; one whose libraries are missing still passes.
bool looksLikeLoadableModule(const std::string& path);

// Looks up an environment variable; null when unset.
using EnvironmentLookup = std::function<const char*(const char* name)>;

// The unix sockets a PulseAudio client would try, in its order: the entries of
// PULSE_SERVER, else the per-user socket ($PULSE_RUNTIME_PATH/native, else
// $XDG_RUNTIME_DIR/pulse/native) and the system-wide one. Absent when
// PULSE_SERVER names a server that is not a unix socket (TCP, a host name),
// which cannot be checked cheaply.
std::optional<std::vector<std::string>> pulseSocketCandidates(const EnvironmentLookup& lookup);

// True when something accepts connections on the unix socket at `path`. A
// listener that is too busy to accept at once counts as there.
bool unixSocketAccepts(const std::string& path);

// True when `text`, a client.conf, names a default server.
bool namesDefaultServer(const std::string& text);

// The audio server may be reachable: a candidate socket accepts, or the
// server is named in a way this check cannot follow (TCP, client.conf).
bool pulseServerMayBeReachable(const EnvironmentLookup& lookup);

// The module beside the executable looks loadable and the audio server may
// be reachable, with the real environment.
bool audioInputReachable();

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_LINUX_AUDIO_REACHABILITY_H_
