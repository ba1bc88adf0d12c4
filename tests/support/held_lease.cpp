#include "support/held_lease.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>

namespace tarvix::test {

HeldLease::HeldLease(const std::filesystem::path& file) {
    // The kernel tells the holder of a lease that an open wants the file with SIGIO, which
    // would end the test program; the watcher below looks for itself instead.
    std::signal(SIGIO, SIG_IGN);
    fd_ = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0 || ::fcntl(fd_, F_SETLEASE, F_WRLCK) != 0) {
        refusal_ = "no lease on " + file.string() + ": " + std::strerror(errno);
        return;
    }
    watcher_ = std::thread([this] { watch(); });
}

HeldLease::~HeldLease() {
    stop_ = true;
    if (watcher_.joinable()) watcher_.join();
    if (fd_ >= 0) ::close(fd_);
}

// While an open breaks the lease, F_GETLEASE answers the kind it is being broken to.
void HeldLease::watch() {
    while (!stop_) {
        if (::fcntl(fd_, F_GETLEASE) != F_WRLCK) {
            broken_ = true;  // first: the open goes on as soon as the lease is given up
            ::fcntl(fd_, F_SETLEASE, F_UNLCK);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

}  // namespace tarvix::test
