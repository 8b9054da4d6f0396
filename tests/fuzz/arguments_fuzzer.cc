// Fuzzes the command line: the input, split at NUL bytes, is the argument list
// after the program path. Whatever the arguments, the locale is one of them,
// the preferred language or "en-US"; "--help" anywhere prints the usage text
// and "--version" anywhere one version line, whatever else is there; a status
// run writes exactly one status line that is valid JSON and names that
// locale, and a normal run writes at most its opening and one closing line.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "host/entry.h"
#include "platform/fake/fake_platform.h"

namespace {

using namespace orlimbo;

std::vector<std::string> splitAtNul(std::string_view input) {
  std::vector<std::string> arguments;
  for (;;) {
    std::size_t end = input.find('\0');
    arguments.emplace_back(input.substr(0, end));
    if (end == std::string_view::npos) return arguments;
    input.remove_prefix(end + 1);
  }
}

void checkStatusLine(const std::vector<std::string>& lines, const std::string& locale) {
  if (lines.size() != 1) std::abort();
  nlohmann::json status = nlohmann::json::parse(lines[0], nullptr, false);
  if (!status.is_object() || status.value("type", "") != "status") std::abort();
  if (!status.contains("locale") || !status["locale"].is_string()) std::abort();
  // Invalid UTF-8 in the locale is written as U+FFFD, so only valid text can
  // be compared byte for byte.
  nlohmann::json echoed = locale;
  if (echoed.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) ==
          echoed.dump(-1, ' ', false, nlohmann::json::error_handler_t::ignore) &&
      status["locale"] != locale) {
    std::abort();
  }
}

bool hasArgument(const std::vector<std::string>& arguments, std::string_view wanted) {
  return std::find(arguments.begin(), arguments.end(), wanted) != arguments.end();
}

void checkVersionLine(const std::vector<std::string>& lines) {
  if (lines.size() != 1) std::abort();
  nlohmann::json version = nlohmann::json::parse(lines[0], nullptr, false);
  if (!version.is_object() || version.value("type", "") != "version") std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> arguments =
      splitAtNul(std::string_view(reinterpret_cast<const char*>(data), size));
  std::vector<std::string> preferred = {"de-CH"};

  std::string locale = resolveLocale(arguments, preferred);
  bool namedInArguments = std::find(arguments.begin(), arguments.end(), locale) != arguments.end();
  if (!namedInArguments && locale != "de-CH") std::abort();
  bool status = isStatusMode(arguments);
  if (status != hasArgument(arguments, "--status")) {
    std::abort();
  }

  FakePlatform platform;
  platform.scenario.preferredLanguages = preferred;
  platform.scenario.speechPrompt = std::nullopt;
  platform.scenario.onDeviceByLocale[locale] = !locale.empty() && locale.front() == 'e';
  platform.run(arguments);
  if (hasArgument(arguments, "--help")) {
    if (platform.lines().empty() || platform.lines()[0].rfind("Usage: ", 0) != 0) std::abort();
  } else if (hasArgument(arguments, "--version")) {
    checkVersionLine(platform.lines());
  } else if (status) {
    checkStatusLine(platform.lines(), locale);
  } else if (platform.lines().size() > 1) {
    std::abort();
  }
  return 0;
}
