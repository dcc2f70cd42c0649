#include "zel_video_player/app/media_libraries.h"

#include <cstdarg>
#include <cstdlib>

extern "C" {
#include <libavutil/log.h>
}

namespace zel {
namespace {

int ffmpeg_log_ceiling = AV_LOG_QUIET;

void ffmpeg_log_within_ceiling(void* object, int level, const char* format, va_list arguments) {
  if (level <= ffmpeg_log_ceiling) av_log_default_callback(object, level, format, arguments);
}

}  // namespace

void quiet_media_libraries() {
  const char* given = std::getenv("OPENCV_FFMPEG_LOGLEVEL");
  ffmpeg_log_ceiling = given ? std::atoi(given) : AV_LOG_QUIET;
  av_log_set_level(ffmpeg_log_ceiling);
  // A filter of our own as well: a library that sets FFmpeg's level again later cannot undo it.
  av_log_set_callback(ffmpeg_log_within_ceiling);
}

}  // namespace zel
