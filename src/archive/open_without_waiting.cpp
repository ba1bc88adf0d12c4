#include "archive/open_without_waiting.h"

#ifndef _WIN32
#include <fcntl.h>

#include <cerrno>

namespace tarvix {

int OpenWithoutWaiting(const std::function<int(int addedFlags)>& open) {
    int fd = open(O_NONBLOCK);
    if (fd < 0 && (errno == EWOULDBLOCK || errno == EAGAIN)) return open(0);
    if (fd >= 0) {
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
    return fd;
}

}  // namespace tarvix
#endif
