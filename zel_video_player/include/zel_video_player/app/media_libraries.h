#pragma once

namespace zel {

// Keeps FFmpeg's own messages ("moov atom not found") off the node's output, where each retry of a
// broken clip would repeat them; the player reports media failures once, in its own words. It sets
// FFmpeg's logging for the whole process, so only the program calls it, before other threads
// start: in a nodelet manager it would silence the other nodelets' media libraries too. A level
// the user sets in OPENCV_FFMPEG_LOGLEVEL, the variable OpenCV's users know it by, wins.
void quiet_media_libraries();

}  // namespace zel
