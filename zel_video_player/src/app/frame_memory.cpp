#include "zel_video_player/app/frame_memory.h"

#include <malloc.h>

#include <cstdlib>
#include <cstring>

namespace zel {
namespace {

// Frames up to 4K come from the heap, and a heap that shrinks only past this much free memory
// keeps them warm from one clip to the next. One heap for all threads, since a clip is opened on
// one thread, decoded by threads of its own and read on another: with a heap per thread each
// opening would fault in fresh pages (about 17 MB a pass at 1080p).
constexpr int LARGEST_HEAP_BLOCK = 32 << 20;
constexpr int FREE_MEMORY_KEPT = 256 << 20;
constexpr int HEAPS = 1;

bool sets_allocator(const char* tunables) { return tunables && std::strstr(tunables, "glibc.malloc."); }

}  // namespace

void keep_frame_memory() {
  if (sets_allocator(std::getenv("GLIBC_TUNABLES"))) return;
  ::mallopt(M_MMAP_THRESHOLD, LARGEST_HEAP_BLOCK);
  ::mallopt(M_TRIM_THRESHOLD, FREE_MEMORY_KEPT);
  ::mallopt(M_ARENA_MAX, HEAPS);
}

std::string frame_memory_tunables() {
  return "glibc.malloc.mmap_threshold=" + std::to_string(LARGEST_HEAP_BLOCK) +
         ":glibc.malloc.trim_threshold=" + std::to_string(FREE_MEMORY_KEPT) +
         ":glibc.malloc.arena_max=" + std::to_string(HEAPS);
}

std::string tunables_with_frame_memory(const char* given) {
  if (sets_allocator(given)) return given;
  // Tunables the user gives for anything else, such as glibc.pthread, stay.
  if (!given || !*given) return frame_memory_tunables();
  return std::string(given) + ":" + frame_memory_tunables();
}

}  // namespace zel
