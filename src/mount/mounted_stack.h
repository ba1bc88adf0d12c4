#pragma once

#include <functional>
#include <memory>
#include <string>

#include "archive/source_stack.h"
#include "mount/mount_options.h"

namespace tarvix::mount {

// The stack a mount shows: the sources in the order given, or, with --game, the game folder's
// own stack (PlanGameStack), opened as tarvix-cli opens them. `tell` hears each line for
// standard error: a note for each of the game's sources that is missing (left out), and the
// reason a source or the game folder is refused, after which nothing is returned. Not built.
std::unique_ptr<SourceStack> OpenMountedStack(const MountOptions& options,
                                              const std::function<void(const std::string&)>& tell);

}  // namespace tarvix::mount
