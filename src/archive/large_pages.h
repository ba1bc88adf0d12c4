#pragma once

#include <cstddef>

namespace tarvix {

// Asks the kernel to back `size` bytes at `block` with 2 MiB pages where it can. An entry list
// of tens of megabytes then costs a few hundred page faults instead of one per 4 KiB, which
// was most of the load time of a large archive in a virtual machine. Does nothing elsewhere
// than on Linux.
void AdviseLargePages(void* block, std::size_t size);

}  // namespace tarvix
