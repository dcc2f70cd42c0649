#include "formatting_rules.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace zel::fuzzing {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool reads_back(const std::string& text, double value) {
  return same_double(std::strtod(text.c_str(), nullptr), value);
}

// The fewest significant digits of any decimal that reads back as `value` (finite, not zero).
// Next to a power of two the nearest decimal of a length can miss while a neighbour of it hits,
// so both neighbours are tried too.
int shortest_digit_count(double value) {
  for (int digits = 1; digits <= 17; ++digits) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*e", digits - 1, std::fabs(value));
    if (reads_back(buffer, std::fabs(value))) return digits;
    std::string mantissa;
    const char* e = std::strchr(buffer, 'e');
    for (const char* c = buffer; c != e; ++c) {
      if (is_digit(*c)) mantissa += *c;
    }
    const long long nearest = std::atoll(mantissa.c_str());
    const int exponent = std::atoi(e + 1) - (digits - 1);
    for (const long long neighbour : {nearest - 1, nearest + 1}) {
      const std::string candidate = std::to_string(neighbour) + "e" + std::to_string(exponent);
      if (reads_back(candidate, std::fabs(value))) return digits;
    }
  }
  return 17;
}

}  // namespace

bool same_double(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  return std::memcmp(&a, &b, sizeof a) == 0;
}

void fail(const std::string& what) {
  std::fprintf(stderr, "FINDING: %s\n", what.c_str());
  std::abort();
}

std::optional<std::string> real_text_problem(const std::string& text, double value) {
  if (std::isnan(value)) {
    if (text == "nan") return std::nullopt;
    return "not a number must read nan";
  }
  if (std::isinf(value)) {
    if (text == (value < 0 ? "-inf" : "inf")) return std::nullopt;
    return "an infinity must read inf or -inf";
  }
  if (!reads_back(text, value)) return "does not read back as the same double";
  if ((!text.empty() && text[0] == '-') != std::signbit(value)) return "sign differs";

  const std::size_t start = text[0] == '-' ? 1 : 0;
  const std::size_t e = text.find('e');
  const std::string mantissa = text.substr(start, e == std::string::npos ? std::string::npos : e - start);
  const std::size_t point = mantissa.find('.');
  const std::string whole = mantissa.substr(0, point);
  const std::string fraction = point == std::string::npos ? "" : mantissa.substr(point + 1);
  if (whole.empty()) return "no digit before the point";
  for (char c : whole + fraction) {
    if (!is_digit(c)) return "stray character in the digits";
  }

  // The significant digits and the decimal exponent of the first one, as the text shows them.
  std::string digits = whole + fraction;
  int exponent = static_cast<int>(whole.size()) - 1;
  while (!digits.empty() && digits.front() == '0') {
    digits.erase(0, 1);
    --exponent;
  }
  while (!digits.empty() && digits.back() == '0') digits.pop_back();

  if (value == 0) {
    return e == std::string::npos && whole == "0" && fraction == "0" ? std::nullopt
                                                                      : std::optional<std::string>("zero must read 0.0");
  }
  if (static_cast<int>(digits.size()) != shortest_digit_count(value)) return "not the shortest form";

  if (e == std::string::npos) {
    if (fraction.empty()) return "no digit after the point";
    if (whole.size() > 1 && whole[0] == '0') return "leading zero";
    if (fraction.size() > 1 && fraction.back() == '0') return "trailing zero";
    if (exponent < -4 || exponent >= 16) return "needs the exponent form";
    return std::nullopt;
  }
  if (whole.size() != 1 || whole == "0") return "exponent form needs one leading digit";
  if (point != std::string::npos && (fraction.empty() || fraction.back() == '0')) {
    return "exponent form with an empty or zero-ended fraction";
  }
  const std::string written = text.substr(e + 1);
  if (written.size() < 3 || (written[0] != '+' && written[0] != '-')) return "exponent needs a sign and two digits";
  for (std::size_t i = 1; i < written.size(); ++i) {
    if (!is_digit(written[i])) return "stray character in the exponent";
  }
  if (written.size() > 3 && written[1] == '0') return "exponent padded beyond two digits";
  exponent = std::atoi(written.c_str());
  if (exponent >= -4 && exponent < 16) return "exponent form inside the plain range";
  return std::nullopt;
}

std::optional<std::string> integer_text_problem(const std::string& text, long long value) {
  const std::size_t start = !text.empty() && text[0] == '-' ? 1 : 0;
  if (start == text.size()) return "no digits";
  for (std::size_t i = start; i < text.size(); ++i) {
    if (!is_digit(text[i])) return "stray character";
  }
  if (text[start] == '0' && text.size() > start + 1) return "leading zero";
  if ((start == 1) != (value < 0)) return "sign differs";
  if (std::strtoll(text.c_str(), nullptr, 10) != value) return "does not read back as the same number";
  return std::nullopt;
}

double exact_round_to_hundredths(double value) {
  if (!std::isfinite(value)) return value;
  // glibc prints a double's exact binary value in full when asked for enough places.
  std::vector<char> buffer(1600);
  std::snprintf(buffer.data(), buffer.size(), "%.1100f", value);
  std::string exact = buffer.data();
  const std::size_t point = exact.find('.');
  std::string kept = exact.substr(0, point + 3);
  const std::string rest = exact.substr(point + 3);
  const bool above_half = rest[0] > '5' || (rest[0] == '5' && rest.find_first_not_of('0', 1) != std::string::npos);
  const bool half = rest[0] == '5' && !above_half;
  const bool last_odd = (kept.back() - '0') % 2 == 1;
  if (above_half || (half && last_odd)) {
    std::size_t i = kept.size();
    while (i-- > 0) {
      if (kept[i] == '.' ) continue;
      if (!is_digit(kept[i])) {
        kept.insert(i + 1, "1");
        break;
      }
      if (kept[i] != '9') {
        ++kept[i];
        break;
      }
      kept[i] = '0';
      if (i == 0) kept.insert(0, "1");
    }
  }
  return std::strtod(kept.c_str(), nullptr);
}

}  // namespace zel::fuzzing
