#pragma once

#include <string>
#include <vector>

namespace zel {

// Text forms shared by every printed and logged line, so that numbers read the same everywhere.

// How the player's own lines in the ROS log, and the headings of its listing, begin.
inline constexpr const char LOG_PREFIX[] = "ZEL video player: ";

// Shortest decimal text that reads back as the same double, always with a digit after the point
// (4.0), in exponent form below 1e-4 or from 1e16 on (1e-05, 1e+16); inf, -inf and nan as words.
std::string format_real(double value);

// The value rounded to two decimals on its exact binary value, ties to the even digit.
double round_to_hundredths(double value);

std::string format_bool(bool value);

// ['dog1', 'cat']
std::string format_name_list(const std::vector<std::string>& names);

}  // namespace zel
