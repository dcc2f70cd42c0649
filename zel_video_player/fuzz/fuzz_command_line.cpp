// Whole command lines, arguments separated by NUL bytes: the parser always answers with settings,
// help or a usage error in its expected shape, and settings are echoed in their text forms.
#include <cstdint>
#include <string>
#include <vector>

#include "formatting_rules.h"
#include "zel_video_player/app/command_line.h"

namespace {

using namespace zel::fuzzing;

// Any program: help and usage errors name it by the last part of its path.
constexpr const char* PROGRAM = "/opt/bin/a_player";

std::vector<std::string> split_arguments(const std::string& input) {
  std::vector<std::string> args;
  std::size_t start = 0;
  while (start <= input.size()) {
    const std::size_t end = std::min(input.find('\0', start), input.size());
    args.push_back(input.substr(start, end - start));
    start = end + 1;
  }
  return args;
}

void check_echo(const zel::Settings& settings) {
  const std::vector<std::string> lines = zel::settings_echo_lines(settings);
  const std::string indent(9, ' ');
  if (lines.size() != 4) fail("echo has " + std::to_string(lines.size()) + " lines");
  if (lines[0] != indent + "test: " + (settings.test ? "True" : "False")) fail("echo line '" + lines[0] + "'");
  const std::string num_label = indent + "num_locations: ";
  if (lines[1].rfind(num_label, 0) != 0) fail("echo line '" + lines[1] + "'");
  if (const auto problem = integer_text_problem(lines[1].substr(num_label.size()), settings.num_locations)) {
    fail("echo line '" + lines[1] + "': " + *problem);
  }
  const std::string radius_label = indent + "radius: ";
  if (lines[2].rfind(radius_label, 0) != 0) fail("echo line '" + lines[2] + "'");
  if (const auto problem = real_text_problem(lines[2].substr(radius_label.size()), settings.radius)) {
    fail("echo line '" + lines[2] + "': " + *problem);
  }
  if (lines[3] != indent + "video_folder: " + settings.video_folder) fail("echo line '" + lines[3] + "'");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> args =
      size == 0 ? std::vector<std::string>{}
                : split_arguments(std::string(reinterpret_cast<const char*>(data), size));
  const zel::ParseOutcome outcome = zel::parse_args(args, PROGRAM);
  const std::string usage = "usage: a_player [-h]";
  switch (outcome.kind) {
    case zel::ParseOutcome::Kind::run:
      if (outcome.exit_status() != 0 || !outcome.text.empty()) fail("settings with a status or a text");
      check_echo(outcome.options);
      break;
    case zel::ParseOutcome::Kind::help:
      if (outcome.exit_status() != 0 || outcome.text.rfind(usage, 0) != 0) fail("help: " + outcome.text);
      break;
    case zel::ParseOutcome::Kind::usage_error:
      if (outcome.exit_status() != 2 || outcome.text.rfind(usage, 0) != 0 ||
          outcome.text.find("\na_player: error: ") == std::string::npos || outcome.text.back() != '\n') {
        fail("usage error: " + outcome.text);
      }
      break;
  }
  return 0;
}
