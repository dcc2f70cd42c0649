#pragma once

// The values the demo's programs take, each mistake told as "--speed needs a positive number, not '0'".
#include <cmath>
#include <functional>
#include <string>

#include "zel_video_player/app/argument_parser.h"
#include "zel_video_player/app/command_outcome.h"
#include "zel_video_player/app/number_text.h"

namespace zel::demo {

inline double real_value(const DeclaredOption& declared, const std::string& text,
                         const std::function<bool(double)>& valid, const std::string& expectation) {
  const auto value = parse_real(text);
  if (!value || !valid(*value)) {
    throw UsageError(declared.names.front() + " needs " + expectation + ", not " + quoted(text));
  }
  return *value;
}

inline bool positive(double value) { return std::isfinite(value) && value > 0.0; }

}  // namespace zel::demo
