#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace zel {

// The number grammars of the command lines: the player's, the tour's and the simulated clock's.

// Decimal digits with an optional sign and surrounding blanks.
std::optional<std::int64_t> parse_integer(std::string_view text);

// Decimal notation with optional sign, fraction and exponent, or inf, infinity, nan in any case.
std::optional<double> parse_real(std::string_view text);

// A minus sign, then digits, or digits (perhaps none), a point and digits: an argument a command
// line takes for a negative number rather than for an option.
bool looks_like_negative_number(std::string_view arg);

}  // namespace zel
