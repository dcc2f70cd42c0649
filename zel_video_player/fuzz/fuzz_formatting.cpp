// Every double, read from the input's bits and from its text: its text form follows the rules and
// reads back as the same double, and rounding to hundredths matches an exact decimal rounding.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "formatting_rules.h"
#include "zel_video_player/text/formatting.h"

namespace {

using namespace zel::fuzzing;

void check(double value) {
  const std::string text = zel::format_real(value);
  if (const auto problem = real_text_problem(text, value)) fail("format_real gave '" + text + "': " + *problem);

  const double rounded = zel::round_to_hundredths(value);
  const double expected = exact_round_to_hundredths(value);
  if (!same_double(rounded, expected)) {
    fail("round_to_hundredths(" + text + ") gave " + zel::format_real(rounded) + ", not " +
         zel::format_real(expected));
  }
  const std::string rounded_text = zel::format_real(rounded);
  if (const auto problem = real_text_problem(rounded_text, rounded)) {
    fail("format_real gave '" + rounded_text + "' for a rounded value: " + *problem);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size >= sizeof(double)) {
    double bits;
    std::memcpy(&bits, data, sizeof bits);
    check(bits);
  }
  const std::string text(reinterpret_cast<const char*>(data), size);
  check(std::strtod(text.c_str(), nullptr));
  return 0;
}
