// Runs a program with the player's allocator settings in its GLIBC_TUNABLES, which glibc reads only
// as a process starts: for a process that hosts the player but is not ours to set from inside, such
// as the nodelet manager of launch/nodelet.launch.
//   zel_with_frame_memory PROGRAM [ARGUMENT...]
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "zel_video_player/app/frame_memory.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: zel_with_frame_memory PROGRAM [ARGUMENT...]\n");
    return 2;
  }
  const std::string tunables = zel::tunables_with_frame_memory(std::getenv("GLIBC_TUNABLES"));
  if (::setenv("GLIBC_TUNABLES", tunables.c_str(), 1) != 0) {
    std::perror("zel_with_frame_memory: GLIBC_TUNABLES");
    return 1;
  }
  // The same process goes on as the program, so whoever started it (roslaunch) signals and waits
  // for the program itself.
  ::execvp(argv[1], argv + 1);
  const int error = errno;
  std::fprintf(stderr, "zel_with_frame_memory: cannot run %s: %s\n", argv[1], std::strerror(error));
  return error == ENOENT ? 127 : 126;  // as a shell says it
}
