#include "zel_video_player/command_line.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "zel_video_player/text_form.h"

namespace zel {
namespace {

// Widths of the customary help layout for an 80-column terminal.
constexpr std::size_t TEXT_WIDTH = 78;
constexpr std::size_t HELP_COLUMN = 24;

enum class OptionId { help, test, num_locations, radius, video_folder };

struct DeclaredOption {
  OptionId id;
  std::vector<std::string> names;
  std::string placeholder;  // empty for options that take no value
  bool required;
  std::string help;
};

const std::vector<DeclaredOption>& declared_options() {
  static const std::vector<DeclaredOption> options{
      {OptionId::help, {"-h", "--help"}, "", false, "show this help message and exit"},
      {OptionId::test, {"--test"}, "", false, "Run in test mode"},
      {OptionId::num_locations, {"--num_locations"}, "NUM_LOCATIONS", false,
       "Number of locations to generate"},
      {OptionId::radius, {"--radius"}, "RADIUS", false,
       "Radius of the are around the location for which a video will be played"},
      {OptionId::video_folder, {"--video_folder"}, "VIDEO_FOLDER", true, "Path to the video folder"},
  };
  return options;
}

std::string program_name(const std::string& program_path) {
  const auto slash = program_path.find_last_of('/');
  return slash == std::string::npos ? program_path : program_path.substr(slash + 1);
}

std::string display_names(const DeclaredOption& declared) {
  std::string text;
  for (const auto& name : declared.names) text += (text.empty() ? "" : "/") + name;
  return text;
}

std::string usage_part(const DeclaredOption& declared) {
  std::string part = declared.names.front();
  if (!declared.placeholder.empty()) part += " " + declared.placeholder;
  return declared.required ? part : "[" + part + "]";
}

std::vector<std::string> wrap_words(const std::vector<std::string>& words, std::size_t width) {
  std::vector<std::string> lines;
  std::string line;
  for (const auto& word : words) {
    if (!line.empty() && line.size() + 1 + word.size() > width) {
      lines.push_back(line);
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

std::vector<std::string> split_words(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  for (char c : text) {
    if (c == ' ') {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty()) words.push_back(word);
  return words;
}

std::string usage_text(const std::string& prog) {
  const std::string prefix = "usage: ";
  std::vector<std::string> parts;
  for (const auto& declared : declared_options()) parts.push_back(usage_part(declared));
  std::string one_line = prefix + prog;
  for (const auto& part : parts) one_line += " " + part;
  if (one_line.size() <= TEXT_WIDTH) return one_line + "\n";

  // A short program name keeps the options beside it; a long one puts them on lines of their own.
  const bool beside = (prefix.size() + prog.size()) * 4 <= TEXT_WIDTH * 3;
  const std::string indent(beside ? prefix.size() + prog.size() + 1 : prefix.size(), ' ');
  std::string text = prefix + prog;
  std::vector<std::string> lines = wrap_words(parts, TEXT_WIDTH - indent.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    text += (i == 0 && beside) ? " " + lines[i] : "\n" + indent + lines[i];
  }
  return text + "\n";
}

std::string help_text(const std::string& prog) {
  std::string text = usage_text(prog) + "\nGenerate locations\n\noptions:\n";
  const std::string help_indent(HELP_COLUMN, ' ');
  for (const auto& declared : declared_options()) {
    std::string invocation;
    for (const auto& name : declared.names) {
      invocation += (invocation.empty() ? "" : ", ") + name;
      if (!declared.placeholder.empty()) invocation += " " + declared.placeholder;
    }
    invocation = "  " + invocation;
    const auto help_lines = wrap_words(split_words(declared.help), TEXT_WIDTH - HELP_COLUMN);
    if (invocation.size() + 2 <= HELP_COLUMN) {
      text += invocation + std::string(HELP_COLUMN - invocation.size(), ' ');
    } else {
      text += invocation + "\n" + help_indent;
    }
    for (std::size_t i = 0; i < help_lines.size(); ++i) {
      text += (i == 0 ? "" : help_indent) + help_lines[i] + "\n";
    }
  }
  return text;
}

std::string hex_escape(unsigned char byte) {
  constexpr char HEX_DIGITS[] = "0123456789abcdef";
  return {'\\', 'x', HEX_DIGITS[byte >> 4], HEX_DIGITS[byte & 0xf]};
}

// Below U+0100, the characters the customary parser (Python's repr) shows escaped: the controls,
// the no-break space and the soft hyphen.
bool is_unprintable(unsigned code_point) {
  return code_point < 0x20 || (code_point >= 0x7f && code_point <= 0xa0) || code_point == 0xad;
}

// A value as the customary parser quotes it: in single quotes, or in double ones when only those
// are free, with backslashes and unprintable characters escaped, so that a value with a tab or a
// newline leaves the one-line message on one line. Characters from U+0080 count in their UTF-8
// form; bytes that are not UTF-8 and characters from U+0100 on stay as they are.
std::string quoted(const std::string& text) {
  const char quote = (text.find('\'') != std::string::npos && text.find('"') == std::string::npos)
                         ? '"'
                         : '\'';
  std::string result(1, quote);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const auto next = static_cast<unsigned char>(i + 1 < text.size() ? text[i + 1] : 0);
    if (byte == '\t') {
      result += "\\t";
    } else if (byte == '\n') {
      result += "\\n";
    } else if (byte == '\r') {
      result += "\\r";
    } else if (is_unprintable(byte) && byte < 0x80) {
      result += hex_escape(byte);
    } else if (byte == 0xc2 && next >= 0x80 && is_unprintable(next)) {
      // Two bytes of UTF-8 for U+0080 to U+00BF, whose second byte is the code point.
      result += hex_escape(next);
      ++i;
    } else {
      if (byte == quote || byte == '\\') result += '\\';
      result += static_cast<char>(byte);
    }
  }
  return result + quote;
}

// The number forms are scanned by hand: std::regex recurses once per character and runs out of
// stack on an argument of a few tens of thousands of characters, which a command line may hold.
std::size_t count_digits(std::string_view text, std::size_t from) {
  std::size_t end = from;
  while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
  return end - from;
}

std::size_t sign_length(std::string_view text) {
  return !text.empty() && (text.front() == '+' || text.front() == '-') ? 1 : 0;
}

// A minus sign, then digits, or digits (perhaps none), a point and digits.
bool looks_like_negative_number(std::string_view arg) {
  if (arg.empty() || arg.front() != '-') return false;
  const std::size_t whole = count_digits(arg, 1);
  const std::size_t point = 1 + whole;
  if (point == arg.size()) return whole > 0;
  if (arg[point] != '.') return false;
  const std::size_t fraction = count_digits(arg, point + 1);
  return fraction > 0 && point + 1 + fraction == arg.size();
}

// [+-]?[0-9]+
bool is_integer_text(std::string_view text) {
  const std::size_t sign = sign_length(text);
  const std::size_t digits = count_digits(text, sign);
  return digits > 0 && sign + digits == text.size();
}

// [+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)?
bool is_decimal_text(std::string_view text) {
  std::size_t at = sign_length(text);
  const std::size_t whole = count_digits(text, at);
  at += whole;
  std::size_t fraction = 0;
  if (at < text.size() && text[at] == '.') {
    fraction = count_digits(text, at + 1);
    at += 1 + fraction;
  }
  if (whole == 0 && fraction == 0) return false;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    at += 1 + sign_length(text.substr(at + 1));
    const std::size_t exponent = count_digits(text, at);
    if (exponent == 0) return false;
    at += exponent;
  }
  return at == text.size();
}

// One argument read as an option: which one, and the value joined to it, if any.
struct OptionArgument {
  const DeclaredOption* declared = nullptr;  // null for an option-like argument that names no option
  std::string used_name;
  std::optional<std::string> joined_value;
};

const DeclaredOption* find_exact(const std::string& name) {
  for (const auto& declared : declared_options()) {
    for (const auto& candidate : declared.names) {
      if (candidate == name) return &declared;
    }
  }
  return nullptr;
}

// Empty when the argument is a value rather than an option.
std::optional<OptionArgument> classify(const std::string& arg) {
  if (arg.size() < 2 || arg[0] != '-') return std::nullopt;
  if (const DeclaredOption* declared = find_exact(arg)) return OptionArgument{declared, arg, std::nullopt};

  const auto equals = arg.find('=');
  const std::string name = arg.substr(0, equals);
  std::optional<std::string> joined;
  if (equals != std::string::npos) joined = arg.substr(equals + 1);
  if (const DeclaredOption* declared = find_exact(name)) return OptionArgument{declared, name, joined};

  std::vector<std::pair<const DeclaredOption*, std::string>> matches;
  if (arg[1] == '-') {
    for (const auto& declared : declared_options()) {
      for (const auto& candidate : declared.names) {
        if (candidate.compare(0, name.size(), name) == 0) matches.emplace_back(&declared, candidate);
      }
    }
  } else if (const DeclaredOption* declared = find_exact(arg.substr(0, 2))) {
    // A short option with its value run on, such as -hx.
    return OptionArgument{declared, arg.substr(0, 2), arg.substr(2)};
  }
  if (matches.size() > 1) {
    std::string names;
    for (const auto& match : matches) names += (names.empty() ? "" : ", ") + match.second;
    throw UsageError("ambiguous option: " + arg + " could match " + names);
  }
  if (matches.size() == 1) return OptionArgument{matches.front().first, matches.front().second, joined};
  if (looks_like_negative_number(arg) || arg.find(' ') != std::string::npos) return std::nullopt;
  return OptionArgument{nullptr, arg, std::nullopt};
}

// The flags that one flag argument names. Short flags may be joined, as in -hh for -h -h; any other
// value joined to a flag is an error, reported before any of the flags takes effect.
std::vector<const DeclaredOption*> named_flags(const OptionArgument& option) {
  std::vector<const DeclaredOption*> flags{option.declared};
  if (!option.joined_value) return flags;
  const std::string& joined = *option.joined_value;
  std::size_t used = 0;
  if (option.used_name[1] != '-' && !joined.empty()) {
    while (used < joined.size()) {
      const DeclaredOption* next = find_exact(std::string{'-', joined[used]});
      if (next == nullptr || !next->placeholder.empty()) break;
      flags.push_back(next);
      ++used;
    }
    if (used == joined.size()) return flags;
  }
  throw UsageError("argument " + display_names(*flags.back()) + ": ignored explicit argument " +
                   quoted(joined.substr(used)));
}

void apply_value(const DeclaredOption& declared, const std::string& value, Settings& settings) {
  const std::string argument = "argument " + display_names(declared) + ": ";
  switch (declared.id) {
    case OptionId::num_locations: {
      const auto parsed = parse_integer(value);
      if (!parsed) throw UsageError(argument + "invalid int value: " + quoted(value));
      settings.num_locations = *parsed;
      break;
    }
    case OptionId::radius: {
      const auto parsed = parse_real(value);
      if (!parsed) throw UsageError(argument + "invalid float value: " + quoted(value));
      settings.radius = *parsed;
      break;
    }
    case OptionId::video_folder:
      settings.video_folder = value;
      break;
    case OptionId::help:
    case OptionId::test:
      break;
  }
}

bool is_blank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

std::string_view trim(std::string_view text) {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text;
}

bool equals_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::optional<std::int64_t> parse_integer(std::string_view text) {
  const std::string_view trimmed = trim(text);
  if (!is_integer_text(trimmed)) return std::nullopt;
  const std::string digits(trimmed);
  errno = 0;
  const long long value = std::strtoll(digits.c_str(), nullptr, 10);
  if (errno == ERANGE) return std::nullopt;
  return value;
}

std::optional<double> parse_real(std::string_view text) {
  std::string_view body = trim(text);
  const bool negative = !body.empty() && body.front() == '-';
  std::string_view unsigned_body = body;
  if (!unsigned_body.empty() && (unsigned_body.front() == '-' || unsigned_body.front() == '+')) {
    unsigned_body.remove_prefix(1);
  }
  if (equals_ignoring_case(unsigned_body, "inf") || equals_ignoring_case(unsigned_body, "infinity")) {
    return negative ? -HUGE_VAL : HUGE_VAL;
  }
  if (equals_ignoring_case(unsigned_body, "nan")) return negative ? -NAN : NAN;
  if (!is_decimal_text(body)) return std::nullopt;
  const std::string number(body);
  // Overflow gives an infinity and underflow zero or a subnormal, as the value's nearest double.
  return std::strtod(number.c_str(), nullptr);
}

ParseOutcome parse_args(const std::vector<std::string>& args, const std::string& program_path) {
  const std::string prog = program_name(program_path);
  ParseOutcome outcome;
  std::vector<std::string> leftovers;
  bool folder_given = false;
  try {
    bool options_ended = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
      const std::string& arg = args[i];
      if (!options_ended && arg == "--") {
        options_ended = true;
        continue;
      }
      const auto option = options_ended ? std::nullopt : classify(arg);
      if (!option || option->declared == nullptr) {
        leftovers.push_back(arg);
        continue;
      }
      const DeclaredOption& declared = *option->declared;
      if (declared.placeholder.empty()) {
        for (const DeclaredOption* flag : named_flags(*option)) {
          if (flag->id == OptionId::help) {
            outcome.kind = ParseOutcome::Kind::help;
            outcome.text = help_text(prog);
            return outcome;
          }
          outcome.options.test = true;
        }
        continue;
      }
      std::string value;
      if (option->joined_value) {
        value = *option->joined_value;
      } else if (i + 1 < args.size() && args[i + 1] != "--" && !classify(args[i + 1])) {
        value = args[++i];
      } else {
        throw UsageError("argument " + display_names(declared) + ": expected one argument");
      }
      apply_value(declared, value, outcome.options);
      if (declared.id == OptionId::video_folder) folder_given = true;
    }
    if (!folder_given) throw UsageError("the following arguments are required: --video_folder");
    if (!leftovers.empty()) {
      std::string listed;
      for (const auto& leftover : leftovers) listed += (listed.empty() ? "" : " ") + leftover;
      throw UsageError("unrecognized arguments: " + listed);
    }
  } catch (const UsageError& error) {
    outcome.kind = ParseOutcome::Kind::usage_error;
    outcome.text = usage_text(prog) + prog + ": error: " + error.what() + "\n";
  }
  return outcome;
}

std::vector<std::string> settings_echo_lines(const Settings& settings) {
  const std::string indent(9, ' ');
  return {indent + "test: " + format_bool(settings.test),
          indent + "num_locations: " + std::to_string(settings.num_locations),
          indent + "radius: " + format_real(settings.radius),
          indent + "video_folder: " + settings.video_folder};
}

std::string with_trailing_slash(const std::string& folder) {
  if (folder.empty()) throw EmptyVideoFolder();
  return folder.back() == '/' ? folder : folder + "/";
}

}  // namespace zel
