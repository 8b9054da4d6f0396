// Speech services on Linux: on-device recognition with PocketSphinx and the
// models installed under one model root (Debian's pocketsphinx-en-us by
// default). A Linux desktop has no speech-recognition permission, so
// authorization always reads as granted.
//
// One instance per process, created by the Linux entry point on the main
// thread. makeRecognizer only checks that the model's files exist, and
// neither it nor the authorization answers need the engine libraries, so a
// status probe never fetches the dictation backend. Requests, and the
// recognition tasks they start, come from the backend; the model loads there,
// on a background thread, when preload() is called or when the first
// recognition needs it.
#ifndef ORLIMBO_PLATFORM_LINUX_POCKETSPHINX_SPEECH_H_
#define ORLIMBO_PLATFORM_LINUX_POCKETSPHINX_SPEECH_H_

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/linux/dictation_backend.h"
#include "platform/linux/sphinx_model_files.h"
#include "platform/speech.h"

namespace orlimbo {

inline constexpr char kDefaultSphinxModelRoot[] = "/usr/share/pocketsphinx/model";

// The model directory name for a locale identifier ("en-US" → "en-us"), or
// nothing when no model serves that locale. The answer comes from a fixed
// table, so an identifier never becomes part of a path.
std::optional<std::string> sphinxModelForLocale(std::string_view localeIdentifier);

// The files of model `name` under `modelRoot`.
SphinxModelFiles sphinxModelFiles(const std::string& modelRoot, const std::string& name);

class PocketSphinxSpeech final : public SpeechServices {
 public:
  // `backend` is asked for the backend only when a request, a task or a
  // preload needs it.
  PocketSphinxSpeech(std::string modelRoot, DictationBackendSource backend);

  // Null when no model serves the locale or its files are missing. The
  // recognizer's requests come from the backend; without one, they ignore
  // their audio and start no task.
  std::unique_ptr<SpeechRecognizer> makeRecognizer(const std::string& localeIdentifier) override;
  int authorizationStatus() override { return kSpeechAuthorized; }
  // Answers "authorized" from another thread, as a prompt would.
  void requestAuthorization(std::function<void(int status)> completion) override;

  // Starts loading, in the background, the models of every recognizer made
  // so far, so that a dictation about to begin does not wait for them. Does
  // nothing without a backend. Main queue.
  void preload();

 private:
  const std::string modelRoot;
  const DictationBackendSource backend;
  // Model name → files, for every recognizer made; main queue only.
  std::map<std::string, SphinxModelFiles> models;
};

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_LINUX_POCKETSPHINX_SPEECH_H_
