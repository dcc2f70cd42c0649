#include "zel_video_player/text/formatting.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zel {
namespace {

// A decimal d.ddd x 10^exponent, its significant digits without trailing zeros.
struct Decimal {
  std::string digits;
  int exponent = 0;
};

Decimal decimal_of(unsigned long long mantissa, int exponent_of_last_digit) {
  Decimal decimal{std::to_string(mantissa), 0};
  decimal.exponent = exponent_of_last_digit + static_cast<int>(decimal.digits.size()) - 1;
  while (decimal.digits.size() > 1 && decimal.digits.back() == '0') decimal.digits.pop_back();
  return decimal;
}

// The fewest significant digits that read back as `magnitude` (finite, not negative), the nearest
// such when several do. Built on printf and strtod, which round exactly in every C library, rather
// than on std::to_chars, which libstdc++ has for doubles only from GCC 11: the text must be the same
// on every release. Next to a power of two the nearest decimal of a length can miss while a
// neighbour of it hits, so the neighbours are tried too.
Decimal shortest_decimal(double magnitude) {
  if (magnitude == 0.0) return {"0", 0};
  constexpr int MAX_DIGITS = 17;  // always enough to read back exactly
  for (int digits = 1;; ++digits) {
    char nearest[64];
    std::snprintf(nearest, sizeof nearest, "%.*e", digits - 1, magnitude);
    const char* e = std::strchr(nearest, 'e');
    std::string mantissa_digits(static_cast<const char*>(nearest), e);
    mantissa_digits.erase(std::remove(mantissa_digits.begin(), mantissa_digits.end(), '.'), mantissa_digits.end());
    const unsigned long long mantissa = std::stoull(mantissa_digits);
    const int exponent_of_last_digit = std::atoi(e + 1) - (digits - 1);
    if (std::strtod(nearest, nullptr) == magnitude || digits == MAX_DIGITS) {
      return decimal_of(mantissa, exponent_of_last_digit);
    }
    for (const unsigned long long neighbour : {mantissa - 1, mantissa + 1}) {
      const std::string text = std::to_string(neighbour) + "e" + std::to_string(exponent_of_last_digit);
      if (std::strtod(text.c_str(), nullptr) == magnitude) return decimal_of(neighbour, exponent_of_last_digit);
    }
  }
}

// As printf's %e writes it: 1e+16, 1.5e-07.
std::string scientific_text(const Decimal& decimal) {
  std::string text = decimal.digits.substr(0, 1);
  if (decimal.digits.size() > 1) text += "." + decimal.digits.substr(1);
  char exponent[8];
  std::snprintf(exponent, sizeof exponent, "e%+03d", decimal.exponent);
  return text + exponent;
}

std::string fixed_text(const Decimal& decimal) {
  if (decimal.exponent < 0) return "0." + std::string(-decimal.exponent - 1, '0') + decimal.digits;
  const auto whole_length = static_cast<std::size_t>(decimal.exponent) + 1;
  if (decimal.digits.size() <= whole_length) return decimal.digits + std::string(whole_length - decimal.digits.size(), '0') + ".0";
  return decimal.digits.substr(0, whole_length) + "." + decimal.digits.substr(whole_length);
}

}  // namespace

std::string format_real(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  const Decimal decimal = shortest_decimal(std::fabs(value));
  const std::string sign = std::signbit(value) ? "-" : "";
  if (value != 0.0 && (decimal.exponent < -4 || decimal.exponent >= 16)) return sign + scientific_text(decimal);
  return sign + fixed_text(decimal);
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
