// Writes the media folder that image_rate.test plays: a clip for every name, two seconds at 30
// frames a second, so the rate hztest measures is the player's own.
#include <exception>
#include <filesystem>
#include <iostream>

#include "support/media.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: zel_make_test_media FOLDER" << std::endl;
    return 2;
  }
  try {
    std::filesystem::create_directories(argv[1]);
    zel::testing::write_media_folder(argv[1], 60, 30.0);
  } catch (const std::exception& error) {
    std::cerr << "zel_make_test_media: " << error.what() << std::endl;
    return 1;
  }
  return 0;
}
