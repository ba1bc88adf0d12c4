#pragma once

#include <filesystem>

namespace tarvix {

// How a path below a folder is walked: by the kernel in one call where it can (openat2, Linux
// 5.6), else one component at a time. Both give the same answers; tests ask for each.
enum class BeneathWalk { Best, ComponentByComponent };

// Opens `relative` below the folder `folder` with `flags`, following no symbolic link on the
// way nor at the end, and never leaving the folder: `relative` must be lexically normal and
// hold no "..". -1 with errno set when it cannot: ELOOP where a link stands in the way,
// EXDEV for a path that would leave the folder.
int OpenBeneath(int folder, const std::filesystem::path& relative, int flags,
                BeneathWalk walk = BeneathWalk::Best);

}  // namespace tarvix
