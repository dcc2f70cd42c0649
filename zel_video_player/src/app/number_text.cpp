#include "zel_video_player/app/number_text.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string>

namespace zel {
namespace {

// The number forms are scanned by hand: std::regex recurses once per character and runs out of
// stack on an argument of a few tens of thousands of characters, which a command line may hold.
std::size_t count_digits(std::string_view text, std::size_t from) {
  std::size_t end = from;
  while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
  return end - from;
}

std::size_t sign_length(std::string_view text) {
  return !text.empty() && (text.front() == '+' || text.front() == '-') ? 1 : 0;
}

// [+-]?[0-9]+
bool is_integer_text(std::string_view text) {
  const std::size_t sign = sign_length(text);
  const std::size_t digits = count_digits(text, sign);
  return digits > 0 && sign + digits == text.size();
}

// [+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)?
bool is_decimal_text(std::string_view text) {
  std::size_t at = sign_length(text);
  const std::size_t whole = count_digits(text, at);
  at += whole;
  std::size_t fraction = 0;
  if (at < text.size() && text[at] == '.') {
    fraction = count_digits(text, at + 1);
    at += 1 + fraction;
  }
  if (whole == 0 && fraction == 0) return false;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    at += 1 + sign_length(text.substr(at + 1));
    const std::size_t exponent = count_digits(text, at);
    if (exponent == 0) return false;
    at += exponent;
  }
  return at == text.size();
}

bool is_blank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

std::string_view trim(std::string_view text) {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text;
}

bool equals_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool looks_like_negative_number(std::string_view arg) {
  if (arg.empty() || arg.front() != '-') return false;
  const std::size_t whole = count_digits(arg, 1);
  const std::size_t point = 1 + whole;
  if (point == arg.size()) return whole > 0;
  if (arg[point] != '.') return false;
  const std::size_t fraction = count_digits(arg, point + 1);
  return fraction > 0 && point + 1 + fraction == arg.size();
}

std::optional<std::int64_t> parse_integer(std::string_view text) {
  const std::string_view trimmed = trim(text);
  if (!is_integer_text(trimmed)) return std::nullopt;
  const std::string digits(trimmed);
  errno = 0;
  const long long value = std::strtoll(digits.c_str(), nullptr, 10);
  if (errno == ERANGE) return std::nullopt;
  return value;
}

std::optional<double> parse_real(std::string_view text) {
  std::string_view body = trim(text);
  const bool negative = !body.empty() && body.front() == '-';
  std::string_view unsigned_body = body;
  if (!unsigned_body.empty() && (unsigned_body.front() == '-' || unsigned_body.front() == '+')) {
    unsigned_body.remove_prefix(1);
  }
  if (equals_ignoring_case(unsigned_body, "inf") || equals_ignoring_case(unsigned_body, "infinity")) {
    return negative ? -HUGE_VAL : HUGE_VAL;
  }
  if (equals_ignoring_case(unsigned_body, "nan")) return negative ? -NAN : NAN;
  if (!is_decimal_text(body)) return std::nullopt;
  const std::string number(body);
  // Overflow gives an infinity and underflow zero or a subnormal, as the value's nearest double.
  return std::strtod(number.c_str(), nullptr);
}

}  // namespace zel
