#include "zel_video_player/text/formatting.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>

#include <gtest/gtest.h>

namespace zel {
namespace {

TEST(FormatReal, ShortestDigitsWithAtLeastOneDecimalExponentsOutsideTheDecimalRangeAndWords) {
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<std::pair<double, std::string>> cases{
      {4.0, "4.0"}, {1.5, "1.5"}, {0.1, "0.1"}, {0.7, "0.7"}, {0.1 + 0.2, "0.30000000000000004"}, {-2.0, "-2.0"},
      {0.0, "0.0"}, {-0.0, "-0.0"}, {123456789.125, "123456789.125"},
      // Exponent form below 1e-4 and from 1e16 on.
      {1e-05, "1e-05"}, {0.0001, "0.0001"}, {0.00012345, "0.00012345"}, {1.5e-07, "1.5e-07"}, {1e16, "1e+16"},
      {9999999999999998.0, "9999999999999998.0"}, {1.25e300, "1.25e+300"}, {-1e-300, "-1e-300"},
      {5e-324, "5e-324"}, {inf, "inf"}, {-inf, "-inf"}, {std::nan(""), "nan"}, {-std::nan(""), "nan"}};
  for (const auto& [value, text] : cases) EXPECT_EQ(format_real(value), text);
}

TEST(FormatReal, EveryFormReadsBackAsTheSameDouble) {
  std::mt19937_64 engine(7);
  for (int i = 0; i < 20000; ++i) {
    double value;
    const std::uint64_t bits = engine();
    std::memcpy(&value, &bits, sizeof value);
    if (!std::isfinite(value)) continue;
    const std::string text = format_real(value);
    EXPECT_EQ(std::strtod(text.c_str(), nullptr), value) << text;
  }
}

#if defined(__cpp_lib_to_chars)
// Where the C++ library can write doubles, its shortest forms are an independent reference: the
// text must not change between releases that have it and those that do not.
std::string standard_shortest(double value) {
  char buffer[400];
  const auto scientific = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
  const std::string text(buffer, scientific.ptr);
  const int exponent = std::atoi(text.c_str() + text.find('e') + 1);
  if (value != 0.0 && (exponent < -4 || exponent >= 16)) return text;
  const auto fixed = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  const std::string fixed_text(buffer, fixed.ptr);
  return fixed_text.find('.') == std::string::npos ? fixed_text + ".0" : fixed_text;
}

TEST(FormatReal, MatchesTheStandardLibrarysShortestFormsWhereItHasThem) {
  std::vector<double> values;
  // Next to each power of two the decimals are spaced unevenly on either side.
  for (int power = -1074; power < 1024; ++power) {
    const double exact = std::ldexp(1.0, power);
    values.insert(values.end(), {exact, std::nextafter(exact, 0.0), std::nextafter(exact, 2.0 * exact)});
  }
  std::mt19937_64 engine(11);
  for (int i = 0; i < 50000; ++i) {
    const std::uint64_t bits = engine();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    if (std::isfinite(value)) values.push_back(value);
    values.push_back(std::ldexp(static_cast<double>(engine() >> 11), -static_cast<int>(engine() % 80)));
  }
  for (const double value : values) {
    ASSERT_EQ(format_real(value), standard_shortest(value));
    ASSERT_EQ(format_real(-value), standard_shortest(-value));
  }
}
#endif

TEST(RoundToHundredths, TiesGoToEvenOnTheExactBinaryValue) {
  EXPECT_EQ(round_to_hundredths(0.125), 0.12);
  EXPECT_EQ(round_to_hundredths(0.375), 0.38);
  // 2.675 is stored just below the half, so it goes down although its short form ends in 5.
  EXPECT_EQ(round_to_hundredths(2.675), 2.67);
  EXPECT_EQ(round_to_hundredths(0.995), 0.99);
  EXPECT_EQ(round_to_hundredths(0.996), 1.0);
  EXPECT_EQ(round_to_hundredths(0.004), 0.0);
  EXPECT_EQ(format_real(round_to_hundredths(0.5)), "0.5");
  EXPECT_EQ(format_real(round_to_hundredths(-0.001)), "-0.0");
  EXPECT_EQ(round_to_hundredths(1e300), 1e300);
  EXPECT_TRUE(std::isinf(round_to_hundredths(std::numeric_limits<double>::infinity())));
}

TEST(OtherForms, BooleansAndNameLists) {
  EXPECT_EQ(format_bool(true), "True");
  EXPECT_EQ(format_bool(false), "False");
  EXPECT_EQ(format_name_list({"dog1", "cat"}), "['dog1', 'cat']");
  EXPECT_EQ(format_name_list({"person"}), "['person']");
  EXPECT_EQ(format_name_list({}), "[]");
}

}  // namespace
}  // namespace zel
