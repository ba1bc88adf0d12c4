#pragma once

#include "mount/mount_log.h"
#include "mount/mount_options.h"
#include "mount/mounted_files.h"

namespace tarvix::mount {

// Mounts `files` read-only on the options' mount point and serves requests on FUSE's own
// threads until it is unmounted or, in the foreground, interrupted (SIGINT, SIGTERM, SIGHUP),
// after which the mount point is left unmounted. Returns the program's exit status.
int ServeMount(MountedFiles& files, const MountOptions& options, MountLog& log);

}  // namespace tarvix::mount
