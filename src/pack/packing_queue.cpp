#include "pack/packing_queue.h"

namespace tarvix {
namespace {

// Files packed ahead of the writer, per worker: enough that no worker waits on one slow file,
// few enough that memory stays at a few times the stream bound per worker.
constexpr std::size_t kAheadPerWorker = 4;

}  // namespace

PackingQueue::PackingQueue(const std::vector<SourceFile>& files, int level,
                           std::uint64_t streamAbove, unsigned workers)
    : files_(files),
      level_(level),
      streamAbove_(streamAbove),
      window_(kAheadPerWorker * workers),
      done_(files.size()),
      ready_(files.size(), false) {
    workers_.reserve(workers);
    for (unsigned i = 0; i < workers; ++i) workers_.emplace_back([this] { work(); });
}

PackingQueue::~PackingQueue() {
    stop();
}

void PackingQueue::stop() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& worker : workers_) worker.join();
    workers_.clear();
}

void PackingQueue::work() {
    for (;;) {
        std::size_t index = 0;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] {
                return stopping_ || next_ >= files_.size() || next_ < taken_ + window_;
            });
            if (stopping_ || next_ >= files_.size()) return;
            index = next_++;
        }
        std::optional<PackedFile> packed;
        if (!isStreamed(index)) packed = PackFile(files_[index], level_);
        {
            const std::lock_guard lock(mutex_);
            done_[index] = std::move(packed);
            ready_[index] = true;
        }
        changed_.notify_all();
    }
}

std::optional<PackedFile> PackingQueue::take(std::size_t index) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return ready_[index]; });
    std::optional<PackedFile> packed = std::move(done_[index]);
    done_[index].reset();
    taken_ = index + 1;
    lock.unlock();
    changed_.notify_all();
    return packed;
}

}  // namespace tarvix
