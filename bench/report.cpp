#include "report.h"

#include <cstdarg>
#include <iostream>
#include <stdexcept>
#include <vector>

namespace zel::bench {

Report::Report(const std::string& path) : file_(path) {
  if (!file_) throw std::runtime_error("cannot write " + path);
}

void Report::line(const std::string& text) {
  std::cout << text << std::endl;
  file_ << text << "\n" << std::flush;
}

void Report::heading(const std::string& text) {
  line();
  line("== " + text);
}

std::string format(const char* pattern, ...) {
  va_list arguments;
  va_start(arguments, pattern);
  va_list copy;
  va_copy(copy, arguments);
  const int length = std::vsnprintf(nullptr, 0, pattern, copy);
  va_end(copy);
  std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
  std::vsnprintf(buffer.data(), buffer.size(), pattern, arguments);
  va_end(arguments);
  return std::string(buffer.data(), static_cast<std::size_t>(length));
}

std::string verdict(bool met) { return met ? "met" : "MISSED"; }

}  // namespace zel::bench
