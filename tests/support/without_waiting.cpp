#include "support/without_waiting.h"

#include <fcntl.h>
#include <unistd.h>

namespace tarvix::test {

void ReleaseReadersOf(const std::filesystem::path& fifo, const std::function<bool()>& finished) {
    // Non-blocking, so that this open never waits itself; it fails while no reader has reached
    // open() yet, and is then tried again.
    while (!finished()) {
        const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (writer >= 0) ::close(writer);
    }
}

}  // namespace tarvix::test
