#pragma once

#include <cstdlib>

namespace zel::testing {

// Where pluginlib finds this build's plugins (the player's nodelet, the compressed transport), for
// this process and the programs it starts: the package's manifest and the build's libraries. The
// suite's CMake gives ZEL_PACKAGE_PATH and ZEL_DEVEL_PREFIX.
inline void find_plugins_in_this_build() {
  ::setenv("ROS_PACKAGE_PATH", ZEL_PACKAGE_PATH, 1);
  ::setenv("CMAKE_PREFIX_PATH", ZEL_DEVEL_PREFIX, 1);
}

}  // namespace zel::testing
