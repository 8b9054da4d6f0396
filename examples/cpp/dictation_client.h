// A host-side client for orlimbo-dictation in C++ (POSIX): posix_spawn and
// poll, one thread; nlohmann/json reads the lines. It keeps the rules
// every host must keep:
//  - read standard output as lines of any length (a final transcript of 16000
//    emoji is about 400 KB on one line);
//  - keep standard input open until the closing message has been read: the
//    end of input means "cancel";
//  - bound every wait, and kill a helper that overruns one;
//  - trust a run only when its exit status matches its closing message.
//
// Use: start(), then call next() in the host's loop; stop() and cancel() may
// be called between calls. next() returns each state and interim as it comes
// and, last, one event of kind kClosing or kFailure. Not thread-safe.
#ifndef ORLIMBO_EXAMPLES_DICTATION_CLIENT_H_
#define ORLIMBO_EXAMPLES_DICTATION_CLIENT_H_

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace orlimbo_host {

// Seconds. The helper ends a recording by itself after 60 s and delivers
// within about 3 s of a stop; the margin covers start-up and a loaded machine.
struct Limits {
  double start = 10;     // spawn until the first message
  double stopGrace = 3;  // stop or cancel until the closing message
  double cap = 60;       // listening until the helper stops by itself
  double margin = 2;     // added to every limit but the first
  double exit = 2;       // closing message until the process has exited
};

struct Event {
  enum Kind {
    kState,    // `text`: "starting", "listening" or "stopping"
    kInterim,  // `text`: the transcript so far
    kClosing,  // `closing`: "final" (`text`), "cancelled" or "error" (`text`: the sentence)
    kFailure,  // `text`: what went wrong on the host's side; the helper was killed
  } kind;
  std::string text;
  std::string closing;
};

class DictationClient {
 public:
  explicit DictationClient(Limits limits = {}) : limits_(limits) {}
  ~DictationClient();  // kills a helper that is still running
  DictationClient(const DictationClient&) = delete;
  DictationClient& operator=(const DictationClient&) = delete;

  // Starts `helper` with `arguments`; false when it cannot be spawned (next()
  // then reports the failure). `environment` entries ("NAME=value") are added
  // to this process's own.
  bool start(const std::string& helper, const std::vector<std::string>& arguments = {},
             const std::vector<std::string>& environment = {});

  void stop() { send("stop"); }
  void cancel() { send("cancel"); }

  // The next event; absent when none came within `waitSeconds`. After kClosing
  // or kFailure it returns nothing more.
  std::optional<Event> next(double waitSeconds = 0.1);

 private:
  using Clock = std::chrono::steady_clock;

  void send(const char* command);
  std::optional<Event> takeLine();
  std::optional<Event> readable();
  std::optional<Event> decode(const std::string& line);
  std::optional<Event> exited();
  Event fail(const std::string& why);
  void arm(double seconds, const char* why);
  void closeInput();

  Limits limits_;
  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  std::string pending_;  // bytes read past the last line feed
  std::optional<Event> closing_;
  bool done_ = false;
  bool outputEnded_ = false;
  std::optional<Clock::time_point> deadline_;
  const char* overrun_ = "";
};

}  // namespace orlimbo_host

#endif  // ORLIMBO_EXAMPLES_DICTATION_CLIENT_H_
