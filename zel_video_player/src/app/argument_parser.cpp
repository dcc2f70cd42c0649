#include "zel_video_player/app/argument_parser.h"

#include <algorithm>
#include <set>
#include <utility>

#include "zel_video_player/app/command_outcome.h"
#include "zel_video_player/app/number_text.h"

namespace zel {
namespace {

// Where the customary help layout puts an option's help at the furthest, when its options are long.
constexpr std::size_t HELP_COLUMN = 24;
constexpr int HELP_ID = -1;

std::string usage_part(const DeclaredOption& declared) {
  std::string part = declared.names.front();
  if (!declared.placeholder.empty()) part += " " + declared.placeholder;
  return declared.required ? part : "[" + part + "]";
}

// How the help introduces an option: "  -h, --help".
std::string invocation(const DeclaredOption& declared) {
  std::string text;
  for (const auto& name : declared.names) {
    text += (text.empty() ? "" : ", ") + name;
    if (!declared.placeholder.empty()) text += " " + declared.placeholder;
  }
  return "  " + text;
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

std::string hex_escape(unsigned char byte) {
  constexpr char HEX_DIGITS[] = "0123456789abcdef";
  return {'\\', 'x', HEX_DIGITS[byte >> 4], HEX_DIGITS[byte & 0xf]};
}

// Below U+0100, the characters the customary parser (Python's repr) shows escaped: the controls,
// the no-break space and the soft hyphen.
bool is_unprintable(unsigned code_point) {
  return code_point < 0x20 || (code_point >= 0x7f && code_point <= 0xa0) || code_point == 0xad;
}

}  // namespace

std::string program_name(const std::string& program_path) {
  const auto slash = program_path.find_last_of('/');
  return slash == std::string::npos ? program_path : program_path.substr(slash + 1);
}

std::string display_names(const DeclaredOption& declared) {
  std::string text;
  for (const auto& name : declared.names) text += (text.empty() ? "" : "/") + name;
  return text;
}

// Characters from U+0080 count in their UTF-8 form; bytes that are not UTF-8 and characters from
// U+0100 on stay as they are. Escaping keeps a value with a tab or a newline on the message's line.
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

// One argument read as an option: which one, and the value joined to it, if any.
struct ArgumentParser::OptionArgument {
  const DeclaredOption* declared = nullptr;  // null for an option-like argument that names no option
  std::string used_name;
  std::optional<std::string> joined_value;
};

const DeclaredOption* ArgumentParser::find_exact(const std::string& name) const {
  for (const auto& declared : options_) {
    for (const auto& candidate : declared.names) {
      if (candidate == name) return &declared;
    }
  }
  return nullptr;
}

// Empty when the argument is a value rather than an option.
std::optional<ArgumentParser::OptionArgument> ArgumentParser::classify(const std::string& arg) const {
  if (arg.size() < 2 || arg[0] != '-') return std::nullopt;
  if (const DeclaredOption* declared = find_exact(arg)) return OptionArgument{declared, arg, std::nullopt};

  const auto equals = arg.find('=');
  const std::string name = arg.substr(0, equals);
  std::optional<std::string> joined;
  if (equals != std::string::npos) joined = arg.substr(equals + 1);
  if (const DeclaredOption* declared = find_exact(name)) return OptionArgument{declared, name, joined};

  std::vector<std::pair<const DeclaredOption*, std::string>> matches;
  if (arg[1] == '-') {
    for (const auto& declared : options_) {
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
std::vector<const DeclaredOption*> ArgumentParser::named_flags(const OptionArgument& option) const {
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

ArgumentParser::ArgumentParser(std::string description, std::vector<DeclaredOption> options,
                               std::vector<OptionGroup> groups, std::size_t width)
    : description_(std::move(description)), width_(width) {
  options_.push_back({HELP_ID, {"-h", "--help"}, "", false, "show this help message and exit"});
  options_.insert(options_.end(), options.begin(), options.end());
  for (auto& group : groups) {
    group_starts_.emplace_back(std::move(group.title), options_.size());
    options_.insert(options_.end(), group.options.begin(), group.options.end());
  }
}

bool ArgumentParser::parse(const std::vector<std::string>& args, const FlagSeen& on_flag,
                           const ValueSeen& on_value) const {
  std::vector<std::string> leftovers;
  std::set<int> given;
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
        if (flag->id == HELP_ID) return false;
        on_flag(*flag);
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
    on_value(declared, value);
    given.insert(declared.id);
  }
  std::string missing;
  for (const auto& declared : options_) {
    if (declared.required && given.count(declared.id) == 0) {
      missing += (missing.empty() ? "" : ", ") + display_names(declared);
    }
  }
  if (!missing.empty()) throw UsageError("the following arguments are required: " + missing);
  if (!leftovers.empty()) {
    std::string listed;
    for (const auto& leftover : leftovers) listed += (listed.empty() ? "" : " ") + leftover;
    throw UsageError("unrecognized arguments: " + listed);
  }
  return true;
}

std::string ArgumentParser::usage(const std::string& prog) const {
  const std::string prefix = "usage: ";
  std::vector<std::string> parts;
  for (const auto& declared : options_) parts.push_back(usage_part(declared));
  std::string one_line = prefix + prog;
  for (const auto& part : parts) one_line += " " + part;
  if (one_line.size() <= width_) return one_line + "\n";

  // A short program name keeps the options beside it; a long one puts them on lines of their own.
  const bool beside = (prefix.size() + prog.size()) * 4 <= width_ * 3;
  const std::string indent(beside ? prefix.size() + prog.size() + 1 : prefix.size(), ' ');
  std::string text = prefix + prog;
  std::vector<std::string> lines = wrap_words(parts, width_ - indent.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    text += (i == 0 && beside) ? " " + lines[i] : "\n" + indent + lines[i];
  }
  return text + "\n";
}

std::string ArgumentParser::help(const std::string& prog) const {
  // Short options bring their help closer, to the same column in every group.
  std::size_t longest = 0;
  for (const auto& declared : options_) longest = std::max(longest, invocation(declared).size());
  const std::size_t column = std::min(longest + 2, HELP_COLUMN);
  std::string text = usage(prog) + "\n" + description_ + "\n\noptions:\n";
  const std::string help_indent(column, ' ');
  auto group = group_starts_.begin();
  for (std::size_t i = 0; i < options_.size(); ++i) {
    for (; group != group_starts_.end() && group->second == i; ++group) text += "\n" + group->first + ":\n";
    const DeclaredOption& declared = options_[i];
    const std::string introduced = invocation(declared);
    const auto help_lines = wrap_words(split_words(declared.help), width_ - column);
    if (introduced.size() + 2 <= column) {
      text += introduced + std::string(column - introduced.size(), ' ');
    } else {
      text += introduced + "\n" + help_indent;
    }
    for (std::size_t line = 0; line < help_lines.size(); ++line) {
      text += (line == 0 ? "" : help_indent) + help_lines[line] + "\n";
    }
  }
  return text;
}

}  // namespace zel
