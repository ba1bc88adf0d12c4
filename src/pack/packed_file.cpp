#include "pack/packed_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "archive/open_without_waiting.h"
#include "archive/unique_fd.h"
#include "codec/deflate_encoder.h"
#include "pack/beneath_folder.h"

namespace tarvix {
namespace {

std::string Problem(const SourceFile& file, const std::string& what) {
    return "'" + file.path.string() + "': " + what;
}

// Reads up to `size` bytes; fewer only at the end of the file or on an error (errno set).
std::size_t ReadFully(int fd, std::uint8_t* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::read(fd, data + done, size - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

}  // namespace

int OpenSource(const SourceFile& file, std::string& error) {
    // Found again the way it was found, through no link; a FIFO put in its place must not
    // block the open, and is then refused as not a regular file.
    const auto openBeneath = [&](int added) {
        return file.folder ? OpenBeneath(file.folder->get(), file.relative, O_RDONLY | added)
                           : (errno = EBADF, -1);
    };
    UniqueFd fd(OpenWithoutWaiting(openBeneath));
    struct stat status {};
    if (!fd.valid() || ::fstat(fd.get(), &status) != 0) {
        error = Problem(file, errno == ELOOP ? "a symbolic link in the way; not followed"
                                             : std::strerror(errno));
        return -1;
    }
    if (!S_ISREG(status.st_mode)) {
        error = Problem(file, "not a regular file");
        return -1;
    }
    if (static_cast<std::uint64_t>(status.st_size) != file.size) {
        error = Problem(file, "changed while the archive was written");
        return -1;
    }
    return fd.release();
}

PackedFile PackFile(const SourceFile& file, int level) {
    PackedFile packed;
    packed.realSize = static_cast<std::uint32_t>(file.size);
    const UniqueFd fd(OpenSource(file, packed.error));
    if (!fd.valid()) return packed;
    // One byte more than expected shows a file that grew since it was found.
    std::vector<std::uint8_t> content(file.size + 1);
    errno = 0;
    const std::size_t got = ReadFully(fd.get(), content.data(), content.size());
    if (got != file.size) {
        packed.error = Problem(
            file, errno != 0 ? std::strerror(errno) : "changed while the archive was written");
        return packed;
    }
    content.resize(got);
    if (level > 0 && PackWhole(content, level, packed.bytes)) {
        packed.type = 1;
    } else {
        packed.bytes = std::move(content);
        packed.type = 0;
    }
    return packed;
}

}  // namespace tarvix
