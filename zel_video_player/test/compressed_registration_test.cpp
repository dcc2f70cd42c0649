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
  // A package that exports image_transport plugins declaring `lookup_name`.
  void add_package(const std::string& name, const std::string& lookup_name) {
    const std::string dir = packages_.path() + "/" + name;
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/package.xml")
        << "<package format=\"2\"><name>" << name << "</name><version>1.0.0</version><description>d</description>"
        << "<maintainer email=\"a@b.c\">m</maintainer><license>BSD</license><depend>image_transport</depend>"
        << "<export><image_transport plugin=\"${prefix}/plugins.xml\"/></export></package>\n";
    std::ofstream(dir + "/plugins.xml") << "<library path=\"lib/lib" << name << "\"><class name=\"" << lookup_name
                                        << "\" type=\"a::B\" base_class_type=\"image_transport::PublisherPlugin\"/>"
                                        << "</library>\n";
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

TEST_F(StandardTransportCheck, AnotherPackageDeclaringTheCompressedPublisherCounts) {
  add_package("compressed_image_transport", "image_transport/compressed_pub");
  EXPECT_NE(found().find("compressed_image_transport"), std::string::npos);
}

TEST_F(StandardTransportCheck, ThisPackagesOwnDeclarationAndOtherTransportsDoNotButTheStandardLibraryDoes) {
  add_package(ZEL_COMPRESSED_PACKAGE, "image_transport/compressed_pub");
  add_package("theora_image_transport", "image_transport/theora_pub");
  EXPECT_EQ(found(), "");
  std::filesystem::create_directories(prefix_.path() + "/lib");
  std::ofstream(prefix_.path() + "/lib/libcompressed_image_transport.so") << "";
  EXPECT_NE(found().find("libcompressed_image_transport.so"), std::string::npos);
}

}  // namespace
}  // namespace zel::testing
