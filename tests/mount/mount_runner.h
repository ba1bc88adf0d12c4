#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tarvix::test {

// Why this machine cannot mount FUSE file systems ("/dev/fuse cannot be opened: ..."), or
// empty when it can.
std::string FuseUnavailableReason();

// Whether something is mounted exactly on `path`.
bool IsMountPoint(const std::filesystem::path& path);

// The whole file at `path`, read with open and read as a program would; `error` is the errno
// of the first call that failed, or 0.
std::string ReadWhole(const std::filesystem::path& path, int& error);

// The built tarvix-mount, run in the foreground on one mount point for the life of the object.
// However a test ends, the destructor leaves nothing mounted there.
class MountedProgram {
public:
    MountedProgram(const std::vector<std::string>& args, const std::filesystem::path& mountPoint,
                   const std::filesystem::path& logPath);
    ~MountedProgram();
    MountedProgram(const MountedProgram&) = delete;
    MountedProgram& operator=(const MountedProgram&) = delete;

    // Whether the mount appeared (false when the program refused or ended first).
    bool mounted() const { return mounted_; }

    enum class Stop { Fusermount, Terminate, Interrupt };
    // Unmounts as a user would and waits for the program: its exit status, or -1 when it did
    // not end by itself within a few seconds.
    int stop(Stop how);

    std::string log() const;

private:
    int waitForExit();
    void forceUnmount();

    std::filesystem::path mountPoint_;
    std::filesystem::path logPath_;
    pid_t pid_ = -1;
    bool mounted_ = false;
};

}  // namespace tarvix::test
