#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace zel::bench {

// One callgrind dump: its total instruction count and each function's own (exclusive) count.
struct CallgrindDump {
  std::uint64_t total = 0;
  std::map<std::string, std::uint64_t> self_by_function;  // "object: function"
};

CallgrindDump read_callgrind_dump(const std::string& path);

}  // namespace zel::bench
