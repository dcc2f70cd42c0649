#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zel {

// One option as the help lists it: a flag, or an option that takes one value.
struct DeclaredOption {
  int id;
  std::vector<std::string> names;
  std::string placeholder;  // empty for a flag
  bool required = false;
  std::string help;
};

// Reads a command line as Python's argparse reads options like these, with its usage and help
// layout and its messages, which users of ROS tools know: long names shortened to any unambiguous
// prefix, values joined with "=" or following, short flags run together, "--" ending the options,
// and -h/--help built in.
class ArgumentParser {
 public:
  ArgumentParser(std::string description, std::vector<DeclaredOption> options);

  using FlagSeen = std::function<void(const DeclaredOption&)>;
  using ValueSeen = std::function<void(const DeclaredOption&, const std::string&)>;
  // Reports each flag and each option's value in the order given; false when help was asked for,
  // which ends the reading. Throws UsageError for a command line it cannot read, and passes on
  // one that `on_value` throws.
  bool parse(const std::vector<std::string>& args, const FlagSeen& on_flag, const ValueSeen& on_value) const;

  std::string usage(const std::string& prog) const;
  std::string help(const std::string& prog) const;

 private:
  struct OptionArgument;
  const DeclaredOption* find_exact(const std::string& name) const;
  std::optional<OptionArgument> classify(const std::string& arg) const;
  std::vector<const DeclaredOption*> named_flags(const OptionArgument& option) const;

  std::string description_;
  std::vector<DeclaredOption> options_;  // -h/--help first
};

// The option's names as messages write them: "-h/--help".
std::string display_names(const DeclaredOption& declared);

// A value as argparse quotes it in a message.
std::string quoted(const std::string& text);

// The program as its usage line names it: the last component of its path.
std::string program_name(const std::string& program_path);

}  // namespace zel
