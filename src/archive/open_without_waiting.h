#pragma once

#include <functional>

namespace tarvix {

// Opens a file for reading without waiting for a FIFO's writer. `open` opens it with its own
// flags and those it is given, and answers as open(2) does: a descriptor, or -1 with errno.
// It is first given O_NONBLOCK, which the descriptor then loses again so that reads wait as
// usual. A regular file on which another process holds a lease refuses such an open with
// EWOULDBLOCK until the lease is given up or broken; the open is asked again every few
// milliseconds meanwhile, always without waiting, as long as the kernel may take to break it.
int OpenWithoutWaiting(const std::function<int(int addedFlags)>& open);

}  // namespace tarvix
