// The check CMake runs to leave the transport undeclared where ROS's own is installed, on made-up
// packages.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/process.h"

namespace zel::testing {
namespace {

class StandardTransportCheck : public ::testing::Test {
 protected:
  // A package that exports image_transport plugins declaring `lookup_name`; without its manifest,
  // as Debian trixie's ros-compressed-image-transport comes without its -dev package, only the list.
  void add_package(const std::string& name, const std::string& lookup_name, bool manifest = true) {
    const std::string dir = packages_.path() + "/" + name;
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/plugins.xml") << "<library path=\"lib/lib" << name << "\"><class name=\"" << lookup_name
                                        << "\" type=\"a::B\" base_class_type=\"image_transport::PublisherPlugin\"/>"
                                        << "</library>\n";
    if (!manifest) return;
    std::ofstream(dir + "/package.xml")
        << "<package format=\"2\"><name>" << name << "</name><version>1.0.0</version><description>d</description>"
        << "<maintainer email=\"a@b.c\">m</maintainer><license>BSD</license><depend>image_transport</depend>"
        << "<export><image_transport plugin=\"${prefix}/plugins.xml\"/></export></package>\n";
  }

  // The plugin library where Debian puts it, and where catkin does.
  void add_standard_library() {
    for (const std::string dir : {"/lib", "/lib/x86_64-linux-gnu/ros"}) {
      std::filesystem::create_directories(prefix_.path() + dir);
      std::ofstream(prefix_.path() + dir + "/libcompressed_image_transport.so") << "";
    }
  }

  std::string found() {
    Process check({ZEL_CMAKE_COMMAND, "-DOWN_PACKAGE=" ZEL_COMPRESSED_PACKAGE, "-P", ZEL_SOURCE_DIR "/cmake/compressed_transport.cmake"},
                  {{"ROS_PACKAGE_PATH", packages_.path()}, {"ROS_HOME", packages_.path()},
                   {"CMAKE_PREFIX_PATH", prefix_.path()}},
                  prefix_.path());
    EXPECT_EQ(check.wait_for(std::chrono::seconds(30)), 0) << check.err();
    const auto lines = lines_containing(check.err(), "standard=");
    return lines.empty() ? "no answer" : lines.front().substr(lines.front().find('=') + 1);
  }

  TempDir packages_;
  TempDir prefix_;
};

TEST_F(StandardTransportCheck, ThisPackagesOwnDeclarationAndOtherTransportsDoNot) {
  add_package(ZEL_COMPRESSED_PACKAGE, "image_transport/compressed_pub");
  add_package("theora_image_transport", "image_transport/theora_pub");
  EXPECT_EQ(found(), "");
}

// pluginlib finds a plugin only through a package.xml that rospack lists: the library and its list
// of plugins are not enough.
TEST_F(StandardTransportCheck, TheStandardLibraryCountsOnlyOnceAManifestDeclaresIt) {
  add_standard_library();
  add_package("compressed_image_transport", "image_transport/compressed_pub", false);
  EXPECT_EQ(found(), "");
  add_package("compressed_image_transport", "image_transport/compressed_pub");
  EXPECT_NE(found().find("compressed_image_transport"), std::string::npos);
}

}  // namespace
}  // namespace zel::testing
