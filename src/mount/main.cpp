// tarvix-mount: a Fallout DAT archive, or a stack of archives and folders, as a read-only
// folder, over FUSE.
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "mount/fuse_file_system.h"
#include "mount/mount_log.h"
#include "mount/mount_options.h"
#include "mount/mounted_files.h"
#include "mount/mounted_stack.h"
#include "mount/stack_entries.h"

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
    std::unique_ptr<tarvix::SourceStack> stack = OpenMountedStack(
        options, [](const std::string& line) { std::cerr << "tarvix-mount: " << line << "\n"; });
    if (!stack) return kExitUsage;
    stack->build();
    const StackEntries entries(std::move(stack),
                               [&log](const std::string& line) { log.line(line); });
    MountedFiles files(entries, options.settings, log);
    return ServeMount(files, options, log);
}
