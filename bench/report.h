#pragma once

#include <fstream>
#include <string>

namespace zel::bench {

// Every figure goes to the terminal and into a file kept with the plot.
class Report {
 public:
  explicit Report(const std::string& path);
  void line(const std::string& text = "");
  void heading(const std::string& text);

 private:
  std::ofstream file_;
};

// printf-style formatting for the report's columns.
std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string verdict(bool met);

}  // namespace zel::bench
