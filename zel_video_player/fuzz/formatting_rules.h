#pragma once

#include <optional>
#include <string>

namespace zel::fuzzing {

// The text-form rules stated again, from the rules rather than from the code under test, so the
// fuzzers can hold that code to them.

// Why `text` is not the text form of the real `value`; nothing when it is.
std::optional<std::string> real_text_problem(const std::string& text, double value);

// Why `text` is not the plain decimal form of the whole number `value`; nothing when it is.
std::optional<std::string> integer_text_problem(const std::string& text, long long value);

// `value` rounded to two decimals on its exact binary value, a tie going to the even digit.
double exact_round_to_hundredths(double value);

// True when both are the same double, bit for bit, or both are not a number.
bool same_double(double a, double b);

// Ends the run as a finding, naming what broke.
[[noreturn]] void fail(const std::string& what);

}  // namespace zel::fuzzing
