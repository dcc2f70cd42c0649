#pragma once

#include <string>

namespace zel {

// Keeps memory the process frees for its next frames instead of handing it back to the system:
// a fresh 6 MB buffer costs far more to first touch than to fill, and each pass of a clip would
// otherwise pay it at its first frames. It sets the allocator of the whole process, so only a
// program of its own calls it, before it starts any thread; a malloc setting the user gives in
// GLIBC_TUNABLES wins.
void keep_frame_memory();

// The same settings as a GLIBC_TUNABLES value, for a process that is not ours to set from inside,
// such as a nodelet manager hosting the player.
std::string frame_memory_tunables();

// GLIBC_TUNABLES for such a process started from an environment whose own value is `given` (null
// when unset): the given tunables with ours after them, or the given ones alone when they set the
// allocator themselves, the same rule as keep_frame_memory's. zel_with_frame_memory applies it.
std::string tunables_with_frame_memory(const char* given);

}  // namespace zel
