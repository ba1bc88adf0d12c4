// tarvix-cli: the command-line front-end on the same core as the window.

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "cli/check_command.h"
#include "cli/command_line.h"
#include "cli/exit_status.h"
#include "cli/extract_command.h"
#include "cli/help_text.h"
#include "cli/info_command.h"
#include "cli/list_command.h"
#include "cli/pack_command.h"
#include "cli/which_command.h"

namespace tarvix::cli {
namespace {

int UsageError(const ParsedArguments& parsed) {
    std::string help = "tarvix-cli";
    if (parsed.helpFor) help.append(" ").append(CommandName(*parsed.helpFor));
    std::fprintf(stderr, "tarvix-cli: %s\nTry '%s --help' for more information.\n",
                 parsed.error.c_str(), help.c_str());
    return kExitUsage;
}

int RunCommand(const CommandLine& line) {
    switch (line.command) {
        case Command::List:
            return RunList(line);
        case Command::Extract:
            return RunExtract(line);
        case Command::Check:
            return RunCheck(line);
        case Command::Info:
            return RunInfo(line);
        case Command::Which:
            return RunWhich(line);
        case Command::Create:
            return RunCreate(line);
        case Command::Add:
            return RunAdd(line);
        case Command::Delete:
            return RunDelete(line);
    }
    return kExitUsage;
}

// Whatever went to stdout must have arrived: a full disk or a closed pipe is a failure.
int WithOutputChecked(int status) {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
    std::fprintf(stderr, "tarvix-cli: cannot write the output\n");
    return status == kExitDone ? kExitFailures : status;
}

int Run(int argc, char** argv) {
    const std::vector<std::string_view> args(argv, argv + argc);
    const ParsedArguments parsed = ParseArguments(args);
    switch (parsed.kind) {
        case ParsedArguments::Kind::Help:
            std::fwrite(HelpText(parsed.helpFor).data(), 1, HelpText(parsed.helpFor).size(),
                        stdout);
            return WithOutputChecked(kExitDone);
        case ParsedArguments::Kind::Version:
            std::printf("tarvix-cli %s\n", TARVIX_VERSION);
            return WithOutputChecked(kExitDone);
        case ParsedArguments::Kind::UsageError:
            return UsageError(parsed);
        case ParsedArguments::Kind::Run:
            break;
    }
    return WithOutputChecked(RunCommand(parsed.line));
}

}  // namespace
}  // namespace tarvix::cli

int main(int argc, char** argv) {
    return tarvix::cli::Run(argc, argv);
}
