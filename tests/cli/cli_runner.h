#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace tarvix::test {

// What one run of the built tarvix-cli gave.
struct CliRun {
    int status = -1;  // exit status, or -1 when it did not exit normally
    std::string out;
    std::string err;
};

// Runs build/tarvix-cli with `args` (argv[1] onwards) in `workDir`, stdin empty, stdout and
// stderr captured through files (never a terminal, so no progress line).
CliRun RunCli(const std::vector<std::string>& args, const std::filesystem::path& workDir);

// The same, sending `signals` one right after the other as soon as `ready` holds (looked at
// every millisecond, for at most ten seconds). `signalled` tells whether they were sent.
CliRun RunCliSignalled(const std::vector<std::string>& args, const std::filesystem::path& workDir,
                       const std::function<bool()>& ready, const std::vector<int>& signals,
                       bool& signalled);

}  // namespace tarvix::test
