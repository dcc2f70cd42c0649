#include "callgrind_profile.h"

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unordered_map>

namespace zel::bench {
namespace {

// Callgrind names each object and function in full once, as "(id) name", and by "(id)" after.
class NameTable {
 public:
  std::string resolve(const std::string& text) {
    if (text.empty() || text[0] != '(') return text;
    const auto close = text.find(')');
    const std::string id = text.substr(1, close - 1);
    if (close + 1 < text.size()) names_[id] = text.substr(close + 2);
    return names_[id];
  }

 private:
  std::unordered_map<std::string, std::string> names_;
};

std::string base_name(const std::string& path) { return path.substr(path.rfind('/') + 1); }

std::uint64_t last_number(const std::string& line) {
  const auto space = line.find_last_of(' ');
  return std::stoull(space == std::string::npos ? line : line.substr(space + 1));
}

}  // namespace

CallgrindDump read_callgrind_dump(const std::string& path) {
  std::ifstream file(path);
  if (!file) throw std::runtime_error("cannot read " + path);
  CallgrindDump dump;
  NameTable objects;
  NameTable functions;
  std::string object;
  std::string function_key;
  bool next_line_is_call_cost = false;
  std::string line;
  while (std::getline(file, line)) {
    if (line.empty()) continue;
    const char first = line[0];
    if ((first >= '0' && first <= '9') || first == '+' || first == '-' || first == '*') {
      // A cost line right after "calls=" is the callee's inclusive cost, not the caller's own.
      if (!next_line_is_call_cost) dump.self_by_function[function_key] += last_number(line);
      next_line_is_call_cost = false;
    } else if (line.rfind("ob=", 0) == 0) {
      object = base_name(objects.resolve(line.substr(3)));
    } else if (line.rfind("cob=", 0) == 0) {
      objects.resolve(line.substr(4));
    } else if (line.rfind("fn=", 0) == 0) {
      std::string name = functions.resolve(line.substr(3));
      // Functions without symbols are known only by address; count them by library.
      if (name.rfind("0x", 0) == 0) name = "(functions without symbols)";
      function_key = object + ": " + name;
    } else if (line.rfind("cfn=", 0) == 0) {
      functions.resolve(line.substr(4));
    } else if (line.rfind("calls=", 0) == 0) {
      next_line_is_call_cost = true;
    } else if (line.rfind("summary:", 0) == 0 || line.rfind("totals:", 0) == 0) {
      dump.total = last_number(line);
    }
  }
  return dump;
}

}  // namespace zel::bench
