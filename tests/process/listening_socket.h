// A unix socket that listens and never answers, for tests of what a client
// makes of a server it can only knock on. Removed again when it goes.
#ifndef ORLIMBO_TESTS_PROCESS_LISTENING_SOCKET_H_
#define ORLIMBO_TESTS_PROCESS_LISTENING_SOCKET_H_

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace orlimbo {

class ListeningSocket {
 public:
  explicit ListeningSocket(const std::string& path) : path(path) {
    ::unlink(path.c_str());
    fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    listening = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                ::listen(fd, 4) == 0;
  }
  ListeningSocket(const ListeningSocket&) = delete;
  ListeningSocket& operator=(const ListeningSocket&) = delete;
  ~ListeningSocket() {
    if (fd >= 0) ::close(fd);
    ::unlink(path.c_str());
  }

  // The socket file stays, as after a server that crashed.
  void stopListening() {
    ::close(fd);
    fd = -1;
  }

  const std::string path;
  int fd = -1;
  bool listening = false;
};

}  // namespace orlimbo

#endif  // ORLIMBO_TESTS_PROCESS_LISTENING_SOCKET_H_
