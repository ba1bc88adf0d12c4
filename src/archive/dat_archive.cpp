#include "archive/dat_archive.h"

#include <cstdint>
#include <new>

#ifdef __linux__
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "archive/dat_entry.h"
#include "archive/typed_file_name.h"

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

// A large entry list is read into memory in one go; in 2 MiB pages that costs a few hundred
// page faults instead of one per 4 KiB, which is most of the load time of a big archive.
void AdviseLargePages([[maybe_unused]] void* block, [[maybe_unused]] std::size_t size) {
#ifdef __linux__
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto begin = reinterpret_cast<std::uintptr_t>(block) & ~(page - 1);
    madvise(reinterpret_cast<void*>(begin),
            size + (reinterpret_cast<std::uintptr_t>(block) - begin), MADV_HUGEPAGE);
#endif
}

}  // namespace

bool DatArchive::OpenArchive(UserDialogs& dialogs) {
    const OpenFileRequest request{"dat",
                                  {{"DAT Files (*.dat)", "*.dat"}, {"All Files (*.*)", "*.*"}}};
    const auto chosen = dialogs.chooseFileToOpen(request);
    if (!chosen) return false;
    const LoadResult result = load(ResolveTypedFileName(*chosen, request.defaultSuffix));
    if (!result.message.empty()) dialogs.showMessage(result.message);
    return result.ok;
}

DatArchive::LoadResult DatArchive::refuse(std::string message) {
    dirBlock_.reset();
    dirBlockSize_ = 0;
    entryCount_ = 0;
    return {false, std::move(message)};
}

DatArchive::LoadResult DatArchive::load(const std::filesystem::path& path) {
    CloseArchive();
    path_ = path;
    file_.open(path, std::ios::binary);
    if (!file_) return {};

    file_.seekg(0, std::ios::end);
    const std::streamoff length = file_.tellg();
    if (length < static_cast<std::streamoff>(kTrailerBytes)) return refuse(messages::kTooShort);

    std::uint8_t trailer[kTrailerBytes];
    file_.seekg(length - static_cast<std::streamoff>(kTrailerBytes));
    if (!file_.read(reinterpret_cast<char*>(trailer), kTrailerBytes)) {
        return refuse(messages::kTooShort);
    }
    treeSize_ = ReadU32LE(trailer);
    dataSize_ = ReadU32LE(trailer + 4);

    if (static_cast<std::streamoff>(dataSize_) != length) return refuse(messages::kSizeMismatch);
    if (treeSize_ < 4) return refuse(messages::kTreeTooSmall);
    if (treeSize_ > dataSize_ - kTrailerBytes) return refuse(messages::kTreeTooLarge);

    // new(nothrow) so that an absurd TreeSize is a refusal, not an exception.
    dirBlockSize_ = treeSize_ - 4;
    dirBlock_.reset(new (std::nothrow) std::uint8_t[dirBlockSize_ == 0 ? 1 : dirBlockSize_]);
    if (!dirBlock_) return refuse(messages::kNoMemory);
    AdviseLargePages(dirBlock_.get(), dirBlockSize_);

    file_.seekg(std::streamoff{dataSize_} - treeSize_ - 4);
    if (!file_.read(reinterpret_cast<char*>(dirBlock_.get()),
                    static_cast<std::streamsize>(dirBlockSize_))) {
        file_.clear();
        return refuse(messages::kShortDirTree);
    }
    if (!CountEntries(dirBlock_.get(), dirBlockSize_, entryCount_)) {
        return refuse(messages::kEntryOverrun);
    }
    loaded_ = true;
    return {true, {}};
}

void DatArchive::CloseArchive() {
    dirBlock_.reset();
    dirBlockSize_ = 0;
    entryCount_ = 0;
    loaded_ = false;
    if (file_.is_open()) file_.close();
    file_.clear();
}

std::size_t DatArchive::readAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t size) {
    if (!file_.is_open()) return 0;
    file_.clear();
    file_.seekg(static_cast<std::streamoff>(offset));
    if (!file_) return 0;
    file_.read(reinterpret_cast<char*>(buffer), static_cast<std::streamsize>(size));
    const auto got = static_cast<std::size_t>(file_.gcount());
    file_.clear();
    return got;
}

}  // namespace tarvix
