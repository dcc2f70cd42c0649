#pragma once

#include <iostream>
#include <string>

namespace zel::demo {

// One line of the tour's progress, as the demo's script and its test read them.
inline void say(const std::string& line) { std::cout << "tour: " << line << std::endl; }

}  // namespace zel::demo
