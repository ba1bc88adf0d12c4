#include "archive/dat_archive.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <new>
#include <utility>

#include "archive/dat1_reader.h"
#include "archive/dat_entry.h"

namespace tarvix {
namespace {

// Counts the entries of an entry list, or returns false when one runs past its end.
bool CountEntries(const std::uint8_t* block, std::size_t size, std::size_t& count) {
    count = 0;
    std::size_t pos = 0;
    while (pos < size) {
        if (size - pos < kEntryFixedBytes) return false;
        const std::uint64_t stride = EntryStride(block + pos);
        if (stride > size - pos) return false;
        pos += static_cast<std::size_t>(stride);
        ++count;
    }
    return true;
}

}  // namespace

// A folder opens for reading on Linux and would be refused as too short, which says nothing
// useful; it is refused for being a folder instead.
static std::error_code WhyNotOpened(const std::filesystem::path& path) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        return std::make_error_code(std::errc::is_a_directory);
    }
    return {};
}

DatArchive::LoadResult DatArchive::refuse(std::string message) {
    dirBlock_.reset();
    dirBlockSize_ = 0;
    entryCount_ = 0;
    return {false, std::move(message), {}};
}

DatArchive::LoadResult DatArchive::load(const std::filesystem::path& path) {
    CloseArchive();
    path_ = path;
    if (const std::error_code folder = WhyNotOpened(path)) return {false, {}, folder};
    if (!file_.open(path)) {
        const int reason = errno;
        return {false, {}, std::error_code(reason != 0 ? reason : EIO, std::generic_category())};
    }

    const std::optional<std::uint64_t> length = file_.length();
    if (!length) return refuse(messages::kTooShort);
    if (*length < kTrailerBytes) return loadDat1(*length, messages::kTooShort);

    std::uint8_t trailer[kTrailerBytes];
    if (file_.readAt(*length - kTrailerBytes, trailer, kTrailerBytes) != kTrailerBytes) {
        return refuse(messages::kTooShort);
    }
    treeSize_ = ReadU32LE(trailer);
    dataSize_ = ReadU32LE(trailer + 4);

    if (dataSize_ != *length) return loadDat1(*length, messages::kSizeMismatch);
    if (treeSize_ < 4) return loadDat1(*length, messages::kTreeTooSmall);
    if (treeSize_ > dataSize_ - kTrailerBytes) return loadDat1(*length, messages::kTreeTooLarge);

    // Without exceptions, so that an absurd TreeSize is a refusal.
    dirBlockSize_ = treeSize_ - 4;
    dirBlock_ = AllocateLargeBlock(dirBlockSize_);
    if (!dirBlock_) return refuse(messages::kNoMemory);

    if (file_.readAt(std::uint64_t{dataSize_} - treeSize_ - 4, dirBlock_.get(), dirBlockSize_) !=
        dirBlockSize_) {
        return refuse(messages::kShortDirTree);
    }
    if (!CountEntries(dirBlock_.get(), dirBlockSize_, entryCount_)) {
        return loadDat1(*length, messages::kEntryOverrun);
    }
    loaded_ = true;
    return {true, {}, {}};
}

DatArchive::LoadResult DatArchive::loadDat1(std::uint64_t length, std::string dat2Refusal) {
    // Offsets and sizes are 32-bit: a longer file cannot be one.
    if (length > UINT32_MAX) return refuse(std::move(dat2Refusal));
    std::optional<Dat1EntryList> list;
    try {
        list = ReadDat1(file_, length);
    } catch (const std::bad_alloc&) {
        return refuse(messages::kNoMemory);
    }
    if (!list) return refuse(std::move(dat2Refusal));
    format_ = ArchiveFormat::Dat1;
    dataSize_ = static_cast<std::uint32_t>(length);
    treeSize_ = 0;
    dirBlock_ = std::move(list->block);
    dirBlockSize_ = list->size;
    entryCount_ = list->count;
    loaded_ = true;
    return {true, {}, {}};
}

void DatArchive::swap(DatArchive& other) noexcept {
    path_.swap(other.path_);
    file_.swap(other.file_);
    std::swap(dataSize_, other.dataSize_);
    std::swap(treeSize_, other.treeSize_);
    dirBlock_.swap(other.dirBlock_);
    std::swap(dirBlockSize_, other.dirBlockSize_);
    std::swap(entryCount_, other.entryCount_);
    std::swap(loaded_, other.loaded_);
    std::swap(format_, other.format_);
}

void DatArchive::CloseArchive() {
    dirBlock_.reset();
    dirBlockSize_ = 0;
    entryCount_ = 0;
    loaded_ = false;
    format_ = ArchiveFormat::Dat2;
    file_.close();
}

std::size_t DatArchive::readAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t size) const {
    return file_.readAt(offset, buffer, size);
}

}  // namespace tarvix
