// One option value as typed: the integer and real readings accept exactly what their grammar
// allows and give the value it denotes, and an accepted value is echoed in its text form.
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <regex>
#include <string>

#include "formatting_rules.h"
#include "zel_video_player/app/command_line.h"
#include "zel_video_player/app/number_text.h"

namespace {

using namespace zel::fuzzing;

// The grammars as regular expressions: slow and deep on long text, but plain to read, which is what
// a reference needs. libFuzzer's input length limit keeps them within the stack.
std::string trimmed(const std::string& text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && std::isspace(static_cast<unsigned char>(text[first]))) ++first;
  while (last > first && std::isspace(static_cast<unsigned char>(text[last - 1]))) --last;
  return text.substr(first, last - first);
}

std::optional<std::int64_t> reference_integer(const std::string& text) {
  const std::string body = trimmed(text);
  static const std::regex integer("[+-]?[0-9]+");
  if (!std::regex_match(body, integer)) return std::nullopt;
  errno = 0;
  const long long value = std::strtoll(body.c_str(), nullptr, 10);
  if (errno == ERANGE) return std::nullopt;
  return value;
}

std::optional<double> reference_real(const std::string& text) {
  const std::string body = trimmed(text);
  static const std::regex word("[+-]?(inf|infinity|nan)", std::regex::icase);
  static const std::regex decimal("[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?");
  if (!std::regex_match(body, word) && !std::regex_match(body, decimal)) return std::nullopt;
  return std::strtod(body.c_str(), nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (text.find('\0') != std::string::npos) return 0;  // no command-line argument holds one
  zel::Settings settings;

  const auto integer = zel::parse_integer(text);
  if (integer != reference_integer(text)) fail("parse_integer disagrees with the grammar on '" + text + "'");
  if (integer) {
    settings.num_locations = *integer;
    const std::string line = zel::settings_echo_lines(settings)[1];
    const std::string label = "         num_locations: ";
    if (line.rfind(label, 0) != 0) fail("echo line '" + line + "'");
    if (const auto problem = integer_text_problem(line.substr(label.size()), *integer)) {
      fail("echo line '" + line + "': " + *problem);
    }
  }

  const auto real = zel::parse_real(text);
  const auto expected = reference_real(text);
  if (real.has_value() != expected.has_value() || (real && !same_double(*real, *expected))) {
    fail("parse_real disagrees with the grammar on '" + text + "'");
  }
  if (real) {
    settings.radius = *real;
    const std::string line = zel::settings_echo_lines(settings)[2];
    const std::string label = "         radius: ";
    if (line.rfind(label, 0) != 0) fail("echo line '" + line + "'");
    if (const auto problem = real_text_problem(line.substr(label.size()), *real)) {
      fail("echo line '" + line + "': " + *problem);
    }
  }
  return 0;
}
