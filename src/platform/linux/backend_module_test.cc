#include "platform/linux/backend_module.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "child_process.h"
#include "platform/linux/pocketsphinx_speech.h"

namespace orlimbo {
namespace {

namespace fs = std::filesystem;

const fs::path kBuiltModule = fs::path(ORLIMBO_BINARY_DIR) / kDictationBackendFileName;
const fs::path kHelper = fs::path(ORLIMBO_BINARY_DIR) / "orlimbo-dictation";
const std::vector<std::string> kNoMicrophone{
    R"({"type":"status","available":false,"locale":"en-US","reason":"No usable microphone was found."})"};

// A shared object that is loaded already and lacks the entry point.
std::string libcPath() {
  void* handle = dlopen("libc.so.6", RTLD_NOW | RTLD_NOLOAD);
  link_map* map = nullptr;
  if (handle == nullptr || dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0) return "";
  std::string path = map->l_name;
  dlclose(handle);
  return path;
}

// A directory that holds a copy of the helper and, beside it, whatever stands
// in for the backend module.
class HelperWithoutModule {
 public:
  HelperWithoutModule() { fs::create_directories(directory); }
  ~HelperWithoutModule() { fs::remove_all(directory); }

  const fs::path directory =
      fs::temp_directory_path() / ("orlimbo-lone-helper-" + std::to_string(getpid()));
  const fs::path helper = directory / "orlimbo-dictation";
  const fs::path module = directory / kDictationBackendFileName;
};

ChildExit run(const fs::path& helper, const std::vector<std::string>& arguments) {
  ChildProcess child(helper.string(), arguments);
  return child.wait();
}

TEST(BackendModuleTest, IsLookedForBesideTheExecutable) {
  std::optional<std::string> path = backendModulePath();
  ASSERT_TRUE(path.has_value());
  EXPECT_EQ(fs::path(*path).filename(), kDictationBackendFileName);
  EXPECT_TRUE(fs::equivalent(fs::path(*path).parent_path(), ORLIMBO_BINARY_DIR));
}

TEST(BackendModuleTest, OpensOnlyAWorkingModule) {
  HelperWithoutModule scratch;
  const fs::path notAModule = scratch.directory / "not-a-module.so";
  std::ofstream(notAModule) << std::string("\x7f") + "ELF, but no more than that";
  struct Case {
    std::string path;
    bool opens;
  };
  const Case cases[] = {
      {(scratch.directory / "missing.so").string(), false},
      {notAModule.string(), false},
      {libcPath(), false},
      // Never looked up through the search path, whatever it holds.
      {kDictationBackendFileName, false},
      {"", false},
      {kBuiltModule.string(), true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(openBackendModule(c.path) != nullptr, c.opens) << c.path;
  }
}

TEST(BackendModuleTest, TheBuiltModuleServesAcrossTheBoundary) {
  DictationBackend* backend = openBackendModule(kBuiltModule.string());
  ASSERT_NE(backend, nullptr);
  EXPECT_EQ(openBackendModule(kBuiltModule.string()), backend);
  EXPECT_NE(backend->makeRequest(sphinxModelFiles(kDefaultSphinxModelRoot, "en-us")), nullptr);

  const char* previous = std::getenv("PULSE_SERVER");
  std::string saved = previous != nullptr ? previous : "";
  setenv("PULSE_SERVER", "unix:/nonexistent/orlimbo/pulse/native", 1);
  std::unique_ptr<AudioEngine> engine = backend->makeEngine();
  ASSERT_NE(engine, nullptr);
  EXPECT_EQ(engine->inputNode().outputFormatForBus(0).channelCount, 0u);
  engine.reset();
  if (previous != nullptr) {
    setenv("PULSE_SERVER", saved.c_str(), 1);
  } else {
    unsetenv("PULSE_SERVER");
  }
}

// Without a usable module the status probe says there is no microphone, and
// a dictation ends right after "starting" with the same sentence. A shared
// object without the entry point passes the probe, which reads only its
// header; the dictation finds it out.
TEST(BackendModuleTest, AHelperWithoutAUsableModuleEndsADictationCleanly) {
  if (!sphinxModelFiles(kDefaultSphinxModelRoot, "en-us").present()) {
    GTEST_SKIP() << "pocketsphinx-en-us is not installed";
  }
  ChildExit reference = run(kHelper, {"--status", "--locale", "en-US"});
  ASSERT_EQ(reference.lines.size(), 1u);
  enum class Stand { kNothing, kNotAModule, kNoEntryPoint };
  for (Stand stand : {Stand::kNothing, Stand::kNotAModule, Stand::kNoEntryPoint}) {
    SCOPED_TRACE(static_cast<int>(stand));
    HelperWithoutModule lone;
    fs::copy_file(kHelper, lone.helper);
    if (stand == Stand::kNotAModule) std::ofstream(lone.module) << "not a module";
    if (stand == Stand::kNoEntryPoint) fs::create_symlink(libcPath(), lone.module);

    ChildExit status = run(lone.helper, {"--status", "--locale", "en-US"});
    EXPECT_EQ(status.lines, stand == Stand::kNoEntryPoint ? reference.lines : kNoMicrophone);
    EXPECT_EQ(status.status, 0);

    ChildExit dictation = run(lone.helper, {"--locale", "en-US"});
    EXPECT_EQ(dictation.lines,
              (std::vector<std::string>{
                  R"({"type":"state","state":"starting"})",
                  R"({"type":"error","message":"No usable microphone was found."})"}));
    EXPECT_EQ(dictation.unterminated, "");
    EXPECT_EQ(dictation.errors, "");
    EXPECT_EQ(dictation.status, 1);
  }
}

}  // namespace
}  // namespace orlimbo
