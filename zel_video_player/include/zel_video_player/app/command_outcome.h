#pragma once

#include <stdexcept>
#include <string>

namespace zel {

// What a program's start decided: run with `options`, or end with exit_status() once `text` is
// shown, help on standard output and a usage error on standard error. A failure (the player's
// incomplete media folder) has said why in the log already.
template <class Options>
struct CommandOutcome {
  enum class Kind { run, help, usage_error, failure };

  Kind kind = Kind::run;
  Options options;
  std::string text;

  int exit_status() const {
    if (kind == Kind::usage_error) return 2;
    return kind == Kind::failure ? 1 : 0;
  }
};

// A command line that asks for what cannot be; the parsers turn it into a usage error.
class UsageError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

}  // namespace zel
