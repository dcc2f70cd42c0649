#include "zel_video_player/app/media_libraries.h"

#include <cstdlib>

namespace zel {

void quiet_media_libraries() {
  constexpr const char* FFMPEG_QUIET = "-8";
  ::setenv("OPENCV_FFMPEG_LOGLEVEL", FFMPEG_QUIET, 0);
}

}  // namespace zel
