#include "cli_runner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "support/temp_dir.h"

namespace tarvix::test {

CliRun RunCli(const std::vector<std::string>& args, const std::filesystem::path& workDir) {
    bool signalled = false;
    return RunCliSignalled(args, workDir, nullptr, {}, signalled);
}

CliRun RunCliSignalled(const std::vector<std::string>& args, const std::filesystem::path& workDir,
                       const std::function<bool()>& ready, const std::vector<int>& signals,
                       bool& signalled) {
    const TempDir capture;
    const std::string outPath = capture / "stdout";
    const std::string errPath = capture / "stderr";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT, 0600);
    posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());

    std::vector<std::string> argvText = {TARVIX_CLI_PATH};
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : argvText) argv.push_back(arg.data());
    argv.push_back(nullptr);

    CliRun run;
    pid_t pid = 0;
    signalled = false;
    if (posix_spawn(&pid, TARVIX_CLI_PATH, &actions, nullptr, argv.data(), environ) == 0) {
        if (ready) {
            for (int waited = 0; waited < 10000 && !signalled; ++waited) {
                if (ready()) {
                    for (int signal : signals) kill(pid, signal);
                    signalled = true;
                } else {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
            }
        }
        int wstatus = 0;
        waitpid(pid, &wstatus, 0);
        if (WIFEXITED(wstatus)) run.status = WEXITSTATUS(wstatus);
    }
    posix_spawn_file_actions_destroy(&actions);
    run.out = ReadFile(outPath);
    run.err = ReadFile(errPath);
    return run;
}

}  // namespace tarvix::test
