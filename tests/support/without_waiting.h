#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <utility>

namespace tarvix::test {

// Long enough for the slowest whole run of a program under a sanitizer on a loaded machine; a
// wait for a FIFO's writer never ends.
inline constexpr std::chrono::seconds kFifoPatience{60};

// Opens `fifo` for writing, again and again, until `finished` says so: a reader that waits
// in open() for a writer then goes on.
void ReleaseReadersOf(const std::filesystem::path& fifo, const std::function<bool()>& finished);

// Runs `open`, which opens `fifo` (a FIFO with no writer, or whatever stands under its name),
// and returns what it gives. An open that waits for a writer fails the test after
// kFifoPatience rather than hanging it: the FIFO is then given a writer so the wait ends.
template <typename Open>
auto WithoutWaitingOn(const std::filesystem::path& fifo, Open open) -> decltype(open()) {
    auto result = std::async(std::launch::async, std::move(open));
    if (result.wait_for(kFifoPatience) == std::future_status::timeout) {
        ADD_FAILURE() << fifo << " was waited on for " << kFifoPatience.count() << " s";
        ReleaseReadersOf(fifo, [&] {
            return result.wait_for(std::chrono::milliseconds(10)) == std::future_status::ready;
        });
    }
    return result.get();
}

}  // namespace tarvix::test
