#include "archive/open_without_waiting.h"

#ifndef _WIN32
#include <fcntl.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace tarvix {

namespace {

// A lease is broken by the kernel at the latest after /proc/sys/fs/lease-break-time (45 s by
// default); this only bounds a holder that keeps taking it again.
constexpr auto kLeaseWait = std::chrono::minutes(2);
constexpr auto kLeasePoll = std::chrono::milliseconds(10);

}  // namespace

int OpenWithoutWaiting(const std::function<int(int addedFlags)>& open) {
    int fd = open(O_NONBLOCK);
    // Asked again with O_NONBLOCK each time, never without: between two opens the name may come
    // to stand for a FIFO, whose blocking open would wait for good.
    const auto deadline = std::chrono::steady_clock::now() + kLeaseWait;
    while (fd < 0 && (errno == EWOULDBLOCK || errno == EAGAIN) &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(kLeasePoll);
        fd = open(O_NONBLOCK);
    }
    if (fd >= 0) {
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
    return fd;
}

}  // namespace tarvix
#endif
