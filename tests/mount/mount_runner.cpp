#include "mount_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/temp_dir.h"

namespace tarvix::test {
namespace {

using namespace std::chrono_literals;
constexpr auto kPatience = 10s;
constexpr auto kPoll = 10ms;

template <typename Condition>
bool WaitFor(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(kPoll);
    }
    return true;
}

pid_t Spawn(const std::vector<std::string>& args, const std::string& logPath) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0600);
    std::vector<std::string> text = args;
    std::vector<char*> argv;
    argv.reserve(text.size() + 1);
    for (std::string& arg : text) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Mount points in /proc/self/mountinfo escape spaces and a few more as octal.
std::string Escaped(const std::string& path) {
    std::string out;
    for (const char c : path) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\\') {
            char code[5];
            std::snprintf(code, sizeof code, "\\%03o", static_cast<unsigned char>(c));
            out += code;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

}  // namespace

std::string FuseUnavailableReason() {
    const int fd = ::open("/dev/fuse", O_RDWR | O_CLOEXEC);
    if (fd < 0) return std::string("/dev/fuse cannot be opened: ") + std::strerror(errno);
    ::close(fd);
    return {};
}

bool IsMountPoint(const std::filesystem::path& path) {
    std::ifstream info("/proc/self/mountinfo");
    const std::string wanted = Escaped(path.string());
    for (std::string line; std::getline(info, line);) {
        std::istringstream fields(line);
        std::string id, parent, device, root, mountPoint;
        fields >> id >> parent >> device >> root >> mountPoint;
        if (mountPoint == wanted) return true;
    }
    return false;
}

MountedProgram::MountedProgram(const std::vector<std::string>& args,
                               const std::filesystem::path& mountPoint,
                               const std::filesystem::path& logPath)
    : mountPoint_(mountPoint), logPath_(logPath) {
    std::vector<std::string> argv = {TARVIX_MOUNT_PATH, "-f"};
    argv.insert(argv.end(), args.begin(), args.end());
    argv.push_back(mountPoint.string());
    pid_ = Spawn(argv, logPath.string());
    if (pid_ < 0) return;
    mounted_ = WaitFor([this] {
                   if (IsMountPoint(mountPoint_)) return true;
                   int status = 0;
                   if (waitpid(pid_, &status, WNOHANG) == pid_) {
                       pid_ = -1;
                       return true;
                   }
                   return false;
               }) &&
               pid_ > 0;
}

MountedProgram::~MountedProgram() {
    if (pid_ > 0) stop(Stop::Fusermount);
    forceUnmount();
}

int MountedProgram::waitForExit() {
    int status = 0;
    const bool ended = WaitFor([&] { return waitpid(pid_, &status, WNOHANG) == pid_; });
    if (!ended) {
        ::kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
    }
    pid_ = -1;
    return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int MountedProgram::stop(Stop how) {
    if (pid_ <= 0) return -1;
    switch (how) {
        case Stop::Fusermount: {
            const pid_t helper =
                Spawn({"fusermount3", "-u", mountPoint_.string()}, logPath_.string());
            int status = 0;
            if (helper > 0) waitpid(helper, &status, 0);
            break;
        }
        case Stop::Terminate:
            ::kill(pid_, SIGTERM);
            break;
        case Stop::Interrupt:
            ::kill(pid_, SIGINT);
            break;
    }
    return waitForExit();
}

void MountedProgram::forceUnmount() {
    if (!IsMountPoint(mountPoint_)) return;
    if (::umount2(mountPoint_.c_str(), MNT_DETACH) == 0) return;
    const pid_t helper = Spawn({"fusermount3", "-uz", mountPoint_.string()}, "/dev/null");
    int status = 0;
    if (helper > 0) waitpid(helper, &status, 0);
}

std::string ReadWhole(const std::filesystem::path& path, int& error) {
    error = 0;
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) {
        error = errno;
        return {};
    }
    std::string out;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) error = errno;
        if (got <= 0) break;
        out.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return out;
}

std::string MountedProgram::log() const {
    return ReadFile(logPath_);
}

}  // namespace tarvix::test
