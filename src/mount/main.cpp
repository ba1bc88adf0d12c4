// tarvix-mount: a Fallout 2 DAT archive as a read-only folder, over FUSE.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "archive/dat_archive.h"
#include "mount/archive_entries.h"
#include "mount/fuse_file_system.h"
#include "mount/mount_log.h"
#include "mount/mount_options.h"
#include "mount/mounted_files.h"

namespace {

constexpr int kExitUsage = 2;

int Refuse(const std::string& message) {
    std::cerr << "tarvix-mount: " << message << "\n"
              << "Try 'tarvix-mount --help' for more information.\n";
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tarvix::mount;
    const ParsedMountOptions parsed =
        ParseMountOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) return Refuse(parsed.error);
    const MountOptions& options = parsed.options;
    if (options.help) {
        std::cout << MountUsage();
        return 0;
    }
    if (options.version) {
        std::cout << "tarvix-mount " << TARVIX_VERSION << "\n";
        return 0;
    }

    MountLog log(
        [](const std::string& line) { std::fprintf(stderr, "tarvix-mount: %s\n", line.c_str()); });
    ArchiveEntries entries;
    const std::string& source = options.sources.front();
    const tarvix::DatArchive::LoadResult loaded =
        entries.load(source, [&log](const std::string& line) { log.line(line); });
    if (!loaded.ok) {
        const std::string why =
            loaded.message.empty() ? tarvix::messages::kCannotOpen : loaded.message;
        std::cerr << "tarvix-mount: " << source << ": " << why << "\n";
        return kExitUsage;
    }
    MountedFiles files(entries, options.settings, log);
    return ServeMount(files, options, log);
}
