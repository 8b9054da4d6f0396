#include "platform/linux/audio_reachability.h"

#include <elf.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/linux/backend_module.h"

// The executable's ELF header, as mapped; provided by the linker.
extern "C" const Elf64_Ehdr __ehdr_start __attribute__((visibility("hidden")));

namespace orlimbo {
namespace {

// The variable's value, unless it is unset or empty: both mean "not set" to a
// PulseAudio client.
const char* setValue(const EnvironmentLookup& lookup, const char* name) {
  const char* value = lookup(name);
  return value != nullptr && *value != '\0' ? value : nullptr;
}

std::optional<Elf64_Ehdr> elfHeader(const std::string& path) {
  int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (file < 0) return std::nullopt;
  Elf64_Ehdr header;
  ssize_t got = ::read(file, &header, sizeof header);
  ::close(file);
  if (got != static_cast<ssize_t>(sizeof header)) return std::nullopt;
  if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0) return std::nullopt;
  return header;
}

std::vector<std::string> splitAtSpaces(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream stream(text);
  for (std::string word; stream >> word;) words.push_back(word);
  return words;
}

// The socket path of one server-string entry; absent for anything else.
std::optional<std::string> unixPathOf(std::string entry) {
  // "{machine-id}" restricts an entry to one machine; the address follows.
  if (!entry.empty() && entry.front() == '{') {
    std::size_t close = entry.find('}');
    if (close == std::string::npos) return std::nullopt;
    entry.erase(0, close + 1);
  }
  if (entry.rfind("unix:", 0) == 0) entry.erase(0, 5);
  if (!entry.empty() && entry.front() == '/') return entry;
  return std::nullopt;
}

std::string fileText(const std::string& path) {
  std::ifstream file(path);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// The client.conf files a client reads, most specific first.
std::vector<std::string> clientConfigs(const EnvironmentLookup& lookup) {
  if (const char* named = setValue(lookup, "PULSE_CLIENTCONFIG")) {
    return {named};
  }
  std::vector<std::string> paths;
  if (const char* config = setValue(lookup, "XDG_CONFIG_HOME")) {
    paths.push_back(std::string(config) + "/pulse/client.conf");
  } else if (const char* home = setValue(lookup, "HOME")) {
    paths.push_back(std::string(home) + "/.config/pulse/client.conf");
  }
  paths.push_back("/etc/pulse/client.conf");
  return paths;
}

}  // namespace

bool looksLikeLoadableModule(const std::string& path) {
  std::optional<Elf64_Ehdr> module = elfHeader(path);
  if (!module) return false;
  // The running executable's own header, already in memory: the linker points
  // __ehdr_start at it. Only fields at the same place in both classes are read.
  const Elf64_Ehdr& self = __ehdr_start;
  return module->e_type == ET_DYN && module->e_ident[EI_CLASS] == self.e_ident[EI_CLASS] &&
         module->e_ident[EI_DATA] == self.e_ident[EI_DATA] && module->e_machine == self.e_machine;
}

std::optional<std::vector<std::string>> pulseSocketCandidates(const EnvironmentLookup& lookup) {
  std::vector<std::string> paths;
  if (const char* server = setValue(lookup, "PULSE_SERVER")) {
    for (const std::string& entry : splitAtSpaces(server)) {
      std::optional<std::string> path = unixPathOf(entry);
      if (!path) return std::nullopt;
      paths.push_back(*path);
    }
    if (!paths.empty()) return paths;
  }
  if (const char* runtime = setValue(lookup, "PULSE_RUNTIME_PATH")) {
    paths.push_back(std::string(runtime) + "/native");
  } else if (const char* xdg = setValue(lookup, "XDG_RUNTIME_DIR")) {
    paths.push_back(std::string(xdg) + "/pulse/native");
  }
  paths.push_back("/run/pulse/native");
  return paths;
}

bool unixSocketAccepts(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.data(), path.size());
  // Non-blocking: a unix connect answers at once, and a full backlog must not
  // hold the probe up.
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  int result = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  bool accepts = result == 0 || errno == EAGAIN || errno == EINPROGRESS;
  ::close(fd);
  return accepts;
}

bool namesDefaultServer(const std::string& text) {
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == ';' || line[start] == '#') continue;
    if (line.compare(start, 14, "default-server") != 0) continue;
    std::size_t equals = line.find('=', start + 14);
    if (equals == std::string::npos) continue;
    if (line.find_first_not_of(" \t\r", equals + 1) != std::string::npos) return true;
  }
  return false;
}

bool pulseServerMayBeReachable(const EnvironmentLookup& lookup) {
  std::optional<std::vector<std::string>> candidates = pulseSocketCandidates(lookup);
  if (!candidates) return true;
  for (const std::string& path : *candidates) {
    if (unixSocketAccepts(path)) return true;
  }
  // Without PULSE_SERVER a client.conf may name the server instead.
  if (setValue(lookup, "PULSE_SERVER") != nullptr) return false;
  for (const std::string& config : clientConfigs(lookup)) {
    if (namesDefaultServer(fileText(config))) return true;
  }
  return false;
}

bool audioInputReachable() {
  std::optional<std::string> module = backendModulePath();
  if (!module || !looksLikeLoadableModule(*module)) return false;
  return pulseServerMayBeReachable([](const char* name) { return std::getenv(name); });
}

}  // namespace orlimbo
