#pragma once

#include <functional>
#include <stdexcept>

namespace zel {

// Asked now and then by work that can run for minutes (placing and listing millions of points), so
// that a stop request is honoured within a fraction of a second.
using StopRequested = std::function<bool()>;

// Work asked to stop ends with this; the entry takes it as a normal end.
class Interrupted : public std::runtime_error {
 public:
  Interrupted() : std::runtime_error("stopped on request") {}
};

}  // namespace zel
