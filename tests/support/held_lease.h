#pragma once

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>

namespace tarvix::test {

// A write lease on a file, as a file server or a backup program may hold one. While it is
// held, a non-blocking open of the file (from any process, this one included) fails with
// EWOULDBLOCK and a blocking one waits; the lease is given up as soon as an open starts to
// break it, as a well-behaved holder does, so that a blocking open then goes on.
class HeldLease {
public:
    explicit HeldLease(const std::filesystem::path& file);
    ~HeldLease();
    HeldLease(const HeldLease&) = delete;
    HeldLease& operator=(const HeldLease&) = delete;

    // Why no lease could be had (a file system may refuse them); empty while one is held.
    const std::string& refusal() const { return refusal_; }
    // Whether an open has broken the lease.
    bool broken() const { return broken_; }

private:
    void watch();

    int fd_ = -1;
    std::string refusal_;
    std::atomic<bool> broken_{false};
    std::atomic<bool> stop_{false};
    std::thread watcher_;
};

}  // namespace tarvix::test
