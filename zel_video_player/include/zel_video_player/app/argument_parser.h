#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "zel_video_player/app/command_outcome.h"

namespace zel {

// One option as the help lists it: a flag, or an option that takes one value.
struct DeclaredOption {
  int id;
  std::vector<std::string> names;
  std::string placeholder;  // empty for a flag
  bool required = false;
  std::string help;
};

// Options the help lists under a heading of their own, after the others, as argparse's argument
// groups are.
struct OptionGroup {
  std::string title;
  std::vector<DeclaredOption> options;
};

// Reads a command line as Python's argparse reads options like these, with its usage and help
// layout and its messages, which users of ROS tools know: long names shortened to any unambiguous
// prefix, values joined with "=" or following, short flags run together, "--" ending the options,
// and -h/--help built in.
class ArgumentParser {
 public:
  // The usage and the help are wrapped to `width` columns, argparse's own on an 80-column terminal
  // unless given; the description goes in as it is.
  ArgumentParser(std::string description, std::vector<DeclaredOption> options, std::vector<OptionGroup> groups = {},
                 std::size_t width = 78);

  using FlagSeen = std::function<void(const DeclaredOption&)>;
  using ValueSeen = std::function<void(const DeclaredOption&, const std::string&)>;
  // Reports each flag and each option's value in the order given; false when help was asked for,
  // which ends the reading. Throws UsageError for a command line it cannot read, and passes on
  // one that `on_value` throws.
  bool parse(const std::vector<std::string>& args, const FlagSeen& on_flag, const ValueSeen& on_value) const;

  std::string usage(const std::string& prog) const;
  std::string help(const std::string& prog) const;

  // A program's reading of its command line into `outcome`, whose options the callbacks fill in:
  // help, a usage error with the usage and the message as argparse prints them, or a run. `check`
  // then looks at the options as a whole, throwing UsageError for a mistake.
  template <class Options>
  void read(const std::vector<std::string>& args, const std::string& prog, CommandOutcome<Options>& outcome,
            const FlagSeen& on_flag, const ValueSeen& on_value, const std::function<void()>& check = {}) const {
    try {
      if (!parse(args, on_flag, on_value)) {
        outcome.kind = CommandOutcome<Options>::Kind::help;
        outcome.text = help(prog);
        return;
      }
      if (check) check();
    } catch (const UsageError& error) {
      outcome.kind = CommandOutcome<Options>::Kind::usage_error;
      outcome.text = usage(prog) + prog + ": error: " + error.what() + "\n";
    }
  }

 private:
  struct OptionArgument;
  const DeclaredOption* find_exact(const std::string& name) const;
  std::optional<OptionArgument> classify(const std::string& arg) const;
  std::vector<const DeclaredOption*> named_flags(const OptionArgument& option) const;

  std::string description_;
  std::vector<DeclaredOption> options_;  // -h/--help first, then the ungrouped ones, then each group's
  std::vector<std::pair<std::string, std::size_t>> group_starts_;  // each group's title and first option
  std::size_t width_;
};

// The option's names as messages write them: "-h/--help".
std::string display_names(const DeclaredOption& declared);

// A value as argparse quotes it in a message.
std::string quoted(const std::string& text);

// The program as its usage line names it: the last component of its path.
std::string program_name(const std::string& program_path);

}  // namespace zel
