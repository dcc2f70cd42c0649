// Writes a complete media folder for the player: a clip or still for every object name and
// "empty". The output depends on nothing but this program, so it can be made again at will.
#include <exception>
#include <iostream>
#include <string>

#include "zel_video_player/app/command_line.h"
#include "zel_video_player/demo/sample_media.h"
#include "zel_video_player/app/media_check.h"

int main(int argc, char** argv) {
  const std::string usage = "usage: zel_make_sample_media FOLDER\n";
  if (argc == 2 && (std::string(argv[1]) == "-h" || std::string(argv[1]) == "--help")) {
    std::cout << usage << "\nWrites the sample media folder of the ZEL video player into FOLDER.\n";
    return 0;
  }
  if (argc != 2 || std::string(argv[1]).empty()) {
    std::cerr << usage;
    return 2;
  }
  try {
    const std::string folder = argv[1];
    for (const auto& path : zel::demo::write_sample_media(folder)) std::cout << "wrote " << path << "\n";
    if (const auto missing = zel::check_paths(zel::with_trailing_slash(folder))) {
      std::cerr << "zel_make_sample_media: the folder is still incomplete: " << *missing << "\n";
      return 1;
    }
    return 0;
  } catch (const std::exception& error) {
    std::cerr << "zel_make_sample_media: " << error.what() << "\n";
    return 1;
  }
}
