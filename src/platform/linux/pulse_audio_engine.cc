#include "platform/linux/pulse_audio_engine.h"

#include <pulse/pulseaudio.h>
#include <pulse/rtclock.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace orlimbo {
namespace {

// A missing server fails at once; these bound only a server that is there but
// slow to answer. They are generous because a socket-activated pipewire-pulse
// starts on its first connection, and a busy machine may keep the server (or
// us) waiting for seconds before a microphone that works.
constexpr pa_usec_t kConnectTimeout = 5 * PA_USEC_PER_SEC;
constexpr pa_usec_t kReplyTimeout = 3 * PA_USEC_PER_SEC;
constexpr std::uint32_t kFramesPerTap = 1024;

// libpulse aborts the process on a server list longer than about 10 KB; a
// real one (a few addresses) is far shorter than this.
constexpr std::size_t kMaxServerListBytes = 4096;

bool serverListUsable() {
  const char* servers = std::getenv("PULSE_SERVER");
  return servers == nullptr || std::strlen(servers) <= kMaxServerListBytes;
}

bool usable(AudioFormat format) {
  return format.sampleRate > 0 && format.sampleRate <= PA_RATE_MAX && format.channelCount > 0 &&
         format.channelCount <= PA_CHANNELS_MAX;
}

// The server connection, the record stream and the tap of one engine. Every
// member is guarded by the threaded mainloop's lock; PulseAudio runs the
// callbacks on its own thread with that lock held.
class PulseCapture {
 public:
  PulseCapture();
  PulseCapture(const PulseCapture&) = delete;
  PulseCapture& operator=(const PulseCapture&) = delete;
  ~PulseCapture();

  AudioFormat defaultSourceFormat();
  void setTap(AudioFormat format, AudioInputNode::TapBlock block);
  void removeTap();
  void setCaptureEndedHandler(std::function<void()> handler);
  bool start();
  void stop();

 private:
  class Lock;
  struct Query;

  bool waitUntil(const std::function<bool()>& done, pa_usec_t timeout);
  bool connected();
  bool await(pa_operation* operation, Query& query);
  AudioFormat queryDefaultSourceFormat();
  bool openStream(AudioFormat format);
  void closeStream();
  void dropConnection();
  void collect(const void* data, std::size_t bytes);

  void reportIfCaptureEnded();

  static void signal(void* self);
  static void onContextState(pa_context*, void* self) { changed(self); }
  static void onStreamState(pa_stream*, void* self) { changed(self); }
  static void changed(void* self) {
    static_cast<PulseCapture*>(self)->reportIfCaptureEnded();
    signal(self);
  }
  static void onReadable(pa_stream* stream, std::size_t, void* self);
  static void onServerInfo(pa_context*, const pa_server_info* info, void* query);
  static void onSourceInfo(pa_context*, const pa_source_info* info, int eol, void* query);

  pa_threaded_mainloop* mainloop = nullptr;
  pa_context* context = nullptr;
  pa_stream* stream = nullptr;
  AudioInputNode::TapBlock tap;
  std::function<void()> captureEnded;
  bool recording = false;  // a stream is ready and not being closed by us
  AudioFormat tapFormat;
  AudioFormat streamFormat;
  std::vector<float> collected;
};

// Holds the mainloop lock, unless already on the mainloop's own thread.
class PulseCapture::Lock {
 public:
  explicit Lock(pa_threaded_mainloop* mainloop)
      : mainloop(mainloop != nullptr && !pa_threaded_mainloop_in_thread(mainloop) ? mainloop
                                                                                  : nullptr) {
    if (this->mainloop != nullptr) pa_threaded_mainloop_lock(this->mainloop);
  }
  ~Lock() {
    if (mainloop != nullptr) pa_threaded_mainloop_unlock(mainloop);
  }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

 private:
  pa_threaded_mainloop* const mainloop;
};

struct PulseCapture::Query {
  PulseCapture* capture;
  bool done = false;
  std::string sourceName;
  AudioFormat format;
};

PulseCapture::PulseCapture() {
  // Without a usable server list there is no server, and so no microphone.
  if (!serverListUsable()) return;
  mainloop = pa_threaded_mainloop_new();
  if (mainloop == nullptr) return;
  pa_proplist* properties = pa_proplist_new();
  pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Orlimbo Dictation");
  pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, "phone");
  context =
      pa_context_new_with_proplist(pa_threaded_mainloop_get_api(mainloop), nullptr, properties);
  pa_proplist_free(properties);
  if (context == nullptr) return;
  pa_context_set_state_callback(context, onContextState, this);
  // Connecting runs on the mainloop thread while the session gets ready;
  // a missing server is never started on our behalf.
  if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
      pa_threaded_mainloop_start(mainloop) < 0) {
    pa_context_unref(context);
    context = nullptr;
  }
}

PulseCapture::~PulseCapture() {
  if (mainloop == nullptr) return;
  {
    Lock lock(mainloop);
    tap = nullptr;
    captureEnded = nullptr;
    closeStream();
    dropConnection();
  }
  pa_threaded_mainloop_stop(mainloop);
  pa_threaded_mainloop_free(mainloop);
}

void PulseCapture::signal(void* self) {
  pa_threaded_mainloop_signal(static_cast<PulseCapture*>(self)->mainloop, 0);
}

bool PulseCapture::waitUntil(const std::function<bool()>& done, pa_usec_t timeout) {
  if (done()) return true;
  if (context == nullptr) return false;
  struct Timer {
    PulseCapture* capture;
    bool expired = false;
  } timer{this};
  pa_time_event* event = pa_context_rttime_new(
      context, pa_rtclock_now() + timeout,
      [](pa_mainloop_api*, pa_time_event*, const struct timeval*, void* data) {
        auto* fired = static_cast<Timer*>(data);
        fired->expired = true;
        signal(fired->capture);
      },
      &timer);
  if (event == nullptr) return false;
  while (!done() && !timer.expired) pa_threaded_mainloop_wait(mainloop);
  pa_threaded_mainloop_get_api(mainloop)->time_free(event);
  return done();
}

bool PulseCapture::connected() {
  auto settled = [this] {
    pa_context_state_t state = pa_context_get_state(context);
    return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
  };
  if (context != nullptr && waitUntil(settled, kConnectTimeout) &&
      pa_context_get_state(context) == PA_CONTEXT_READY) {
    return true;
  }
  // Given up on: later calls fail at once instead of waiting again.
  dropConnection();
  return false;
}

bool PulseCapture::await(pa_operation* operation, Query& query) {
  if (operation == nullptr) return false;
  bool answered =
      waitUntil([&] { return query.done || !PA_CONTEXT_IS_GOOD(pa_context_get_state(context)); },
                kReplyTimeout);
  // A late answer must not reach the query, which lives on our stack.
  if (!query.done) pa_operation_cancel(operation);
  pa_operation_unref(operation);
  return answered && query.done;
}

void PulseCapture::onServerInfo(pa_context*, const pa_server_info* info, void* data) {
  auto* query = static_cast<Query*>(data);
  if (info != nullptr && info->default_source_name != nullptr) {
    query->sourceName = info->default_source_name;
  }
  query->done = true;
  signal(query->capture);
}

void PulseCapture::onSourceInfo(pa_context*, const pa_source_info* info, int eol, void* data) {
  auto* query = static_cast<Query*>(data);
  if (info != nullptr) {
    query->format = {static_cast<double>(info->sample_spec.rate), info->sample_spec.channels};
  }
  if (eol != 0) {
    query->done = true;
    signal(query->capture);
  }
}

AudioFormat PulseCapture::queryDefaultSourceFormat() {
  if (!connected()) return {};
  Query server{this, false, {}, {}};
  if (!await(pa_context_get_server_info(context, onServerInfo, &server), server) ||
      server.sourceName.empty()) {
    return {};
  }
  Query source{this, false, {}, {}};
  if (!await(pa_context_get_source_info_by_name(context, server.sourceName.c_str(), onSourceInfo,
                                                &source),
             source)) {
    return {};
  }
  return usable(source.format) ? source.format : AudioFormat{};
}

AudioFormat PulseCapture::defaultSourceFormat() {
  Lock lock(mainloop);
  return queryDefaultSourceFormat();
}

void PulseCapture::setTap(AudioFormat format, AudioInputNode::TapBlock block) {
  Lock lock(mainloop);
  tapFormat = format;
  tap = std::move(block);
}

void PulseCapture::removeTap() {
  Lock lock(mainloop);
  tap = nullptr;
  closeStream();
}

void PulseCapture::setCaptureEndedHandler(std::function<void()> handler) {
  Lock lock(mainloop);
  captureEnded = std::move(handler);
}

// The server or the source is gone while we record: the stream or the whole
// connection has failed without our asking.
void PulseCapture::reportIfCaptureEnded() {
  if (!recording || !captureEnded) return;
  bool streamLost = stream == nullptr || !PA_STREAM_IS_GOOD(pa_stream_get_state(stream));
  bool serverLost = context == nullptr || !PA_CONTEXT_IS_GOOD(pa_context_get_state(context));
  if (!streamLost && !serverLost) return;
  recording = false;
  std::exchange(captureEnded, nullptr)();
}

bool PulseCapture::start() {
  Lock lock(mainloop);
  if (stream != nullptr) return true;
  AudioFormat format = usable(tapFormat) ? tapFormat : queryDefaultSourceFormat();
  recording = usable(format) && connected() && openStream(format);
  // The stream may have failed in the moment since it became ready.
  reportIfCaptureEnded();
  return stream != nullptr;
}

void PulseCapture::stop() {
  Lock lock(mainloop);
  closeStream();
}

bool PulseCapture::openStream(AudioFormat format) {
  pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, static_cast<std::uint32_t>(format.sampleRate),
                      static_cast<std::uint8_t>(format.channelCount)};
  pa_channel_map channels;
  if (!pa_sample_spec_valid(&spec) ||
      pa_channel_map_init_extend(&channels, spec.channels, PA_CHANNEL_MAP_DEFAULT) == nullptr) {
    return false;
  }
  stream = pa_stream_new(context, "Dictation", &spec, &channels);
  if (stream == nullptr) return false;
  streamFormat = {static_cast<double>(spec.rate), spec.channels};
  pa_stream_set_state_callback(stream, onStreamState, this);
  pa_stream_set_read_callback(stream, onReadable, this);

  // Fragments of one tap buffer keep the delay between speech and text short.
  pa_buffer_attr attributes{};
  attributes.maxlength = static_cast<std::uint32_t>(-1);
  attributes.tlength = static_cast<std::uint32_t>(-1);
  attributes.prebuf = static_cast<std::uint32_t>(-1);
  attributes.minreq = static_cast<std::uint32_t>(-1);
  attributes.fragsize = static_cast<std::uint32_t>(kFramesPerTap * pa_frame_size(&spec));
  if (pa_stream_connect_record(stream, nullptr, &attributes, PA_STREAM_ADJUST_LATENCY) < 0) {
    closeStream();
    return false;
  }
  auto settled = [this] {
    pa_stream_state_t state = pa_stream_get_state(stream);
    return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
  };
  if (waitUntil(settled, kConnectTimeout) && pa_stream_get_state(stream) == PA_STREAM_READY) {
    return true;
  }
  closeStream();
  return false;
}

void PulseCapture::closeStream() {
  recording = false;
  collected.clear();
  if (stream == nullptr) return;
  pa_stream_set_read_callback(stream, nullptr, nullptr);
  bool gone = !PA_STREAM_IS_GOOD(pa_stream_get_state(stream));
  if (!gone && pa_stream_disconnect(stream) == 0) {
    // Waiting for the server's answer makes "stopped" mean that no record
    // stream of ours is left in the server.
    gone = waitUntil([this] { return !PA_STREAM_IS_GOOD(pa_stream_get_state(stream)); },
                     kReplyTimeout);
  }
  pa_stream_set_state_callback(stream, nullptr, nullptr);
  pa_stream_unref(stream);
  stream = nullptr;
  // A stream the server is still creating, or one that would not go, is
  // only ended for certain by ending the whole connection.
  if (!gone) dropConnection();
}

void PulseCapture::dropConnection() {
  if (context == nullptr) return;
  pa_context_set_state_callback(context, nullptr, nullptr);
  pa_context_disconnect(context);
  pa_context_unref(context);
  context = nullptr;
}

void PulseCapture::onReadable(pa_stream* stream, std::size_t, void* self) {
  auto* capture = static_cast<PulseCapture*>(self);
  while (pa_stream_readable_size(stream) > 0) {
    const void* data = nullptr;
    std::size_t bytes = 0;
    if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0) return;
    capture->collect(data, bytes);
    pa_stream_drop(stream);
  }
}

void PulseCapture::collect(const void* data, std::size_t bytes) {
  std::size_t count = bytes / sizeof(float);
  std::size_t start = collected.size();
  // A hole (no data) is audio the server lost; silence keeps the timing.
  collected.resize(start + count, 0.0f);
  if (data != nullptr) {
    const auto* samples = static_cast<const float*>(data);
    std::copy(samples, samples + count, collected.begin() + static_cast<long>(start));
  }
  std::size_t perTap = std::size_t{kFramesPerTap} * streamFormat.channelCount;
  std::size_t used = 0;
  for (; collected.size() - used >= perTap; used += perTap) {
    if (tap) {
      tap(AudioBuffer{streamFormat, kFramesPerTap,
                      std::span<const float>(collected.data() + used, perTap)});
    }
  }
  collected.erase(collected.begin(), collected.begin() + static_cast<long>(used));
}

class PulseInput final : public AudioInputNode {
 public:
  explicit PulseInput(PulseCapture& capture) : capture(capture) {}

  // Only bus 0 exists.
  AudioFormat outputFormatForBus(int bus) override {
    return bus == 0 ? capture.defaultSourceFormat() : AudioFormat{};
  }
  // Buffers always hold 1024 frames.
  void installTap(int bus, std::uint32_t, AudioFormat format, TapBlock block) override {
    if (bus == 0) capture.setTap(format, std::move(block));
  }
  // Ends the recording as well: without a tap nobody reads it.
  void removeTap(int bus) override {
    if (bus == 0) capture.removeTap();
  }

 private:
  PulseCapture& capture;
};

class PulseEngine final : public AudioEngine {
 public:
  AudioInputNode& inputNode() override { return input; }
  void prepare() override {}
  bool start() override { return capture.start(); }
  void stop() override { capture.stop(); }
  void setCaptureEndedHandler(std::function<void()> handler) override {
    capture.setCaptureEndedHandler(std::move(handler));
  }

 private:
  PulseCapture capture;
  PulseInput input{capture};
};

}  // namespace

std::unique_ptr<AudioEngine> makePulseAudioEngine() { return std::make_unique<PulseEngine>(); }

}  // namespace orlimbo
