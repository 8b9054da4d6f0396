#include "platform/json_lines.h"

#include <nlohmann/json.hpp>

namespace orlimbo {
namespace {

// Accepts exactly one flat object of string values, stopping the parse at the
// first token that breaks that shape, so a hostile line never builds a tree.
class CommandObjectParser final : public nlohmann::json_sax<nlohmann::json> {
 public:
  Command command;

  bool null() override { return false; }
  bool boolean(bool) override { return false; }
  bool number_integer(number_integer_t) override { return false; }
  bool number_unsigned(number_unsigned_t) override { return false; }
  bool number_float(number_float_t, const string_t&) override { return false; }
  bool binary(binary_t&) override { return false; }
  bool start_array(std::size_t) override { return false; }
  bool end_array() override { return false; }

  bool start_object(std::size_t) override { return !std::exchange(objectOpened, true); }
  bool end_object() override { return true; }
  bool key(string_t& key) override {
    pendingKey = std::move(key);
    return true;
  }
  bool string(string_t& value) override {
    if (!objectOpened) return false;
    command.insert_or_assign(std::move(pendingKey), std::move(value));
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
    return false;
  }

 private:
  bool objectOpened = false;
  std::string pendingKey;
};

}  // namespace

std::optional<std::string> serializeMessage(const Message& message) {
  nlohmann::ordered_json object = nlohmann::ordered_json::object();
  // Not a structured binding: clang before 16 cannot capture one.
  for (const auto& entry : message) {
    const std::string& key = entry.first;
    std::visit([&object, &key](const auto& v) { object[key] = v; }, entry.second);
  }
  return object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

std::optional<Command> parseCommand(std::string_view line) {
  // The parser reads a NUL byte as the end of its input, which would let
  // "{...}\0garbage" through as a command.
  if (line.find('\0') != std::string_view::npos) return std::nullopt;
  CommandObjectParser parser;
  if (!nlohmann::json::sax_parse(line, &parser, nlohmann::json::input_format_t::json, true,
                                 false)) {
    return std::nullopt;
  }
  return std::move(parser.command);
}

}  // namespace orlimbo
