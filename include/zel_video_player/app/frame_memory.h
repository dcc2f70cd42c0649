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

}  // namespace zel
