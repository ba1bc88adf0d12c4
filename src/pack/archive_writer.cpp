#include "pack/archive_writer.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <string_view>
#include <thread>

#include "archive/game_path.h"
#include "archive/unique_fd.h"
#include "codec/deflate_encoder.h"
#include "pack/archive_output.h"
#include "pack/packing_queue.h"

namespace tarvix {
namespace {

constexpr std::uint64_t kMaxArchiveBytes = std::numeric_limits<std::uint32_t>::max();
// FilesTotal before the entry list, TreeSize and DataSize after it.
constexpr std::uint64_t kFixedBytes = 4 + 8;
constexpr std::size_t kEntryRecordBytes = 17;
constexpr std::size_t kStreamChunk = std::size_t{1} << 20;

// One record of the new entry list. The name is the plan's, which outlives the writer: the
// realistic archive's 23,000 names are not copied once more.
struct DirectoryEntry {
    std::string_view name;
    std::uint8_t type = 0;
    std::uint32_t realSize = 0;
    std::uint32_t packedSize = 0;
    std::uint32_t offset = 0;
};

void AppendU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

std::uint64_t DirectoryBytes(const PackPlan& plan) {
    std::uint64_t bytes = 0;
    for (const KeptEntry& entry : plan.kept) bytes += kEntryRecordBytes + entry.name.size();
    for (const SourceFile& file : plan.added) bytes += kEntryRecordBytes + file.name.size();
    return bytes;
}

// FilesTotal, the entries in the game's order, TreeSize and DataSize.
std::vector<std::uint8_t> EntryListAndTrailer(std::vector<DirectoryEntry>& entries,
                                              std::uint64_t dataEnd) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const DirectoryEntry& a, const DirectoryEntry& b) {
                         return CompareGamePaths(a.name, b.name) < 0;
                     });
    std::vector<std::uint8_t> out;
    AppendU32(out, static_cast<std::uint32_t>(entries.size()));
    for (const DirectoryEntry& entry : entries) {
        AppendU32(out, static_cast<std::uint32_t>(entry.name.size()));
        out.insert(out.end(), entry.name.begin(), entry.name.end());
        out.push_back(entry.type);
        AppendU32(out, entry.realSize);
        AppendU32(out, entry.packedSize);
        AppendU32(out, entry.offset);
    }
    const auto treeSize = static_cast<std::uint32_t>(out.size());
    AppendU32(out, treeSize);
    AppendU32(out, static_cast<std::uint32_t>(dataEnd + out.size() + 4));
    return out;
}

class ArchiveWriter {
public:
    ArchiveWriter(const PackPlan& plan, const PackOptions& options, BatchMonitor& monitor)
        : plan_(plan), options_(options), monitor_(monitor) {}

    PackReport run() {
        if (std::string problem = SizeProblem(plan_); !problem.empty()) return failed(problem);
        if (!output_.open(plan_.target, plan_.mode)) return failed(output_.error());
        entries_.reserve(plan_.kept.size() + plan_.added.size());
        // The workers pack the added files while this thread copies the kept entries: adding
        // a file to a large archive then costs about the copy alone.
        PackingQueue queue(plan_.added, options_.level, options_.streamAbove, workerCount());
        if (!copyKept() || !packAdded(queue)) return stopped();
        const std::uint64_t dataEnd = output_.position();
        const std::vector<std::uint8_t> tail = EntryListAndTrailer(entries_, dataEnd);
        if (dataEnd + tail.size() > kMaxArchiveBytes) return failed("the archive would pass 4 GiB");
        if (!output_.write(tail)) return failed(output_.error());
        if (!commit()) return report_;
        report_.written = true;
        report_.entries = entries_.size();
        report_.size = dataEnd + tail.size();
        return report_;
    }

private:
    bool commit() {
        switch (output_.commit(plan_.replacing)) {
            case ArchiveOutput::Commit::Done:
                return true;
            case ArchiveOutput::Commit::NotFlushed:
            case ArchiveOutput::Commit::SecondNameLeft:
                report_.error = "'" + plan_.target.string() + "': " + output_.error();
                return true;
            case ArchiveOutput::Commit::TargetExists:
                report_.targetExists = true;
                break;
            case ArchiveOutput::Commit::TargetChanged:
            case ArchiveOutput::Commit::Failed:
                break;
        }
        report_.error = "'" + plan_.target.string() + "': " + output_.error();
        return false;
    }

    PackReport failed(std::string error) {
        output_.discard();
        report_.error = std::move(error);
        return report_;
    }
    PackReport stopped() {
        if (report_.error.empty()) report_.cancelled = true;
        output_.discard();
        return report_;
    }
    bool fail(std::string error) {
        report_.error = std::move(error);
        return false;
    }

    std::uint32_t position() const { return static_cast<std::uint32_t>(output_.position()); }

    // The kept entries' stored bytes in their old order, each run of entries that lie back to
    // back copied in one go: the data area comes across as whole as the kernel can copy it.
    bool copyKept() {
        std::vector<const KeptEntry*> order;
        for (const KeptEntry& entry : plan_.kept) order.push_back(&entry);
        std::stable_sort(order.begin(), order.end(), [](const KeptEntry* a, const KeptEntry* b) {
            return a->offset < b->offset;
        });
        for (std::size_t begin = 0; begin < order.size();) {
            if (monitor_.cancelRequested()) return false;
            std::uint64_t runEnd = std::uint64_t{order[begin]->offset} + order[begin]->packedSize;
            std::size_t end = begin + 1;
            while (end < order.size() && order[end]->offset == runEnd) {
                runEnd += order[end++]->packedSize;
            }
            const std::uint64_t runStart = order[begin]->offset;
            const std::uint64_t newStart = output_.position();
            for (std::size_t i = begin; i < end; ++i) {
                const KeptEntry& entry = *order[i];
                entries_.push_back(
                    {entry.name, entry.type, entry.realSize, entry.packedSize,
                     static_cast<std::uint32_t>(newStart + entry.offset - runStart)});
                monitor_.fileDone();
            }
            const auto counted = [this](std::uint64_t bytes) {
                monitor_.addBytes(bytes);
                return !monitor_.cancelRequested();
            };
            if (!output_.copyFrom(plan_.keptFrom, runStart, runEnd - runStart, counted)) {
                return output_.stopped() ? false : fail(output_.error());
            }
            begin = end;
        }
        return true;
    }

    unsigned workerCount() const {
        return options_.threads != 0 ? options_.threads
                                     : std::max(1u, std::thread::hardware_concurrency());
    }

    bool packAdded(PackingQueue& queue) {
        for (std::size_t i = 0; i < plan_.added.size(); ++i) {
            if (monitor_.cancelRequested()) return false;
            const SourceFile& file = plan_.added[i];
            const std::uint32_t offset = position();
            std::optional<PackedFile> packed = queue.take(i);
            if (!packed) packed = streamFile(file);
            if (cancelled_) return false;
            if (!packed->error.empty()) return fail(packed->error);
            if (!packed->bytes.empty() && !output_.write(packed->bytes))
                return fail(output_.error());
            entries_.push_back(
                {file.name, packed->type, packed->realSize, position() - offset, offset});
            monitor_.addBytes(file.size);
            monitor_.fileDone();
        }
        return true;
    }

    // Packs a large file straight into the output, a chunk at a time; when the packed form
    // turns out no smaller, it is cut off and the file copied as it is. The result holds no
    // bytes: they are already written.
    PackedFile streamFile(const SourceFile& file) {
        PackedFile result;
        result.realSize = static_cast<std::uint32_t>(file.size);
        const UniqueFd fd(OpenSource(file, result.error));
        if (!fd.valid()) return result;
        const std::uint64_t start = output_.position();
        if (options_.level > 0 && streamPacked(file, fd.get(), result)) {
            result.type = 1;
            return result;
        }
        if (!result.error.empty() || cancelled_) return result;
        if (!output_.truncateTo(start) ||
            !output_.copyFrom(fd.get(), 0, file.size,
                              [this](std::uint64_t) { return !cancel(); })) {
            if (!output_.stopped())
                result.error = "'" + file.path.string() + "': " + output_.error();
        } else if (std::uint8_t more = 0;
                   ::pread(fd.get(), &more, 1, static_cast<off_t>(file.size)) != 0) {
            // A file that grew after it was measured would be cut short in silence.
            result.error = "'" + file.path.string() + "': changed while the archive was written";
        }
        result.type = 0;
        return result;
    }

    // Whether the file went into the output packed and smaller; false with no error when it
    // would not be smaller.
    bool streamPacked(const SourceFile& file, int fd, PackedFile& result) {
        bool writeFailed = false;
        std::uint64_t packedSoFar = 0;
        DeflateStream stream(options_.level, [&](std::span<const std::uint8_t> bytes) {
            packedSoFar += bytes.size();
            if (packedSoFar >= file.size) return false;
            writeFailed = !output_.write(bytes);
            return !writeFailed;
        });
        std::vector<std::uint8_t> chunk(kStreamChunk);
        std::uint64_t read = 0;
        for (;;) {
            const ssize_t got = ::read(fd, chunk.data(), chunk.size());
            if (got < 0 && errno == EINTR) continue;
            if (got < 0 || read + static_cast<std::uint64_t>(got) > file.size) {
                result.error =
                    "'" + file.path.string() + "': changed while the archive was written";
                return false;
            }
            if (got == 0 || cancel()) break;
            read += static_cast<std::uint64_t>(got);
            if (!stream.write({chunk.data(), static_cast<std::size_t>(got)})) break;
        }
        if (writeFailed) result.error = "'" + file.path.string() + "': " + output_.error();
        if (!result.error.empty() || cancelled_) return false;
        return read == file.size && stream.finish() && stream.packedBytes() < file.size;
    }

    // Looked at per chunk while a large file is packed or copied, so that one file of
    // hundreds of megabytes does not hold up a cancel for its whole length.
    bool cancel() {
        cancelled_ = cancelled_ || monitor_.cancelRequested();
        return cancelled_;
    }

    const PackPlan& plan_;
    const PackOptions& options_;
    BatchMonitor& monitor_;
    ArchiveOutput output_{options_.system};
    std::vector<DirectoryEntry> entries_;
    bool cancelled_ = false;
    PackReport report_;
};

std::uint64_t TotalBytes(const PackPlan& plan) {
    std::uint64_t bytes = 0;
    for (const KeptEntry& entry : plan.kept) bytes += entry.packedSize;
    for (const SourceFile& file : plan.added) bytes += file.size;
    return bytes;
}

}  // namespace

std::string SizeProblem(const PackPlan& plan) {
    for (const SourceFile& file : plan.added) {
        if (file.size > kMaxArchiveBytes) {
            return "'" + file.path.string() + "': a file of 4 GiB or more cannot be packed";
        }
    }
    // Nothing is stored larger than the file it holds, so this is the most it can weigh.
    if (TotalBytes(plan) + DirectoryBytes(plan) + kFixedBytes > kMaxArchiveBytes) {
        return "the archive would pass 4 GiB";
    }
    return {};
}

PackReport WriteArchive(const PackPlan& plan, const PackOptions& options) {
    BatchMonitor own;
    BatchMonitor& monitor = options.monitor ? *options.monitor : own;
    monitor.start(plan.kept.size() + plan.added.size(), TotalBytes(plan));
    PackReport report = ArchiveWriter(plan, options, monitor).run();
    monitor.finish();
    return report;
}

}  // namespace tarvix
