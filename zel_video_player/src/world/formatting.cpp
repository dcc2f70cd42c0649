#include "zel_video_player/world/formatting.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <system_error>

namespace zel {
namespace {

std::string to_chars_string(double value, std::chars_format format) {
  char buffer[400];  // a fixed form of the largest double needs 309 digits
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, format);
  return std::string(buffer, result.ptr);
}

int decimal_exponent(const std::string& scientific) {
  return std::atoi(scientific.c_str() + scientific.find('e') + 1);
}

}  // namespace

std::string format_real(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  const std::string scientific = to_chars_string(value, std::chars_format::scientific);
  const int exponent = decimal_exponent(scientific);
  if (value != 0.0 && (exponent < -4 || exponent >= 16)) return scientific;
  std::string fixed = to_chars_string(value, std::chars_format::fixed);
  if (fixed.find('.') == std::string::npos) fixed += ".0";
  return fixed;
}

double round_to_hundredths(double value) {
  if (!std::isfinite(value)) return value;
  // printf rounds the exact binary value, ties to even; reading the digits back gives the nearest
  // double to the rounded decimal.
  const int length = std::snprintf(nullptr, 0, "%.2f", value);
  std::string digits(static_cast<std::size_t>(length) + 1, '\0');
  std::snprintf(digits.data(), digits.size(), "%.2f", value);
  return std::strtod(digits.c_str(), nullptr);
}

std::string format_bool(bool value) { return value ? "True" : "False"; }

std::string format_name_list(const std::vector<std::string>& names) {
  std::string text = "[";
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += ", ";
    text += '\'' + names[i] + '\'';
  }
  return text + "]";
}

}  // namespace zel
