#include "cli/command_line.h"

#include <array>
#include <utility>

#include "cli/display_text.h"

namespace tarvix::cli {
namespace {

constexpr std::array<std::pair<std::string_view, Command>, 7> kCommands = {{
    {"list", Command::List},
    {"extract", Command::Extract},
    {"check", Command::Check},
    {"info", Command::Info},
    {"create", Command::Create},
    {"add", Command::Add},
    {"delete", Command::Delete},
}};

bool Packs(Command command) {
    return command == Command::Create || command == Command::Add;
}

bool Writes(Command command) {
    return Packs(command) || command == Command::Delete;
}

ParsedArguments UsageError(std::string error, std::optional<Command> command = std::nullopt) {
    ParsedArguments parsed;
    parsed.error = std::move(error);
    parsed.helpFor = command;
    return parsed;
}

// Parses what follows the command name.
class OptionParser {
public:
    OptionParser(Command command, const std::vector<std::string_view>& args) : args_(args) {
        parsed_.kind = ParsedArguments::Kind::Run;
        parsed_.line.command = command;
        parsed_.helpFor = command;
    }

    ParsedArguments parse() {
        bool optionsEnded = false;
        for (next_ = 2; next_ < args_.size() && running();) {
            const std::string_view arg = args_[next_++];
            if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
                operands_.push_back(arg);
            } else if (arg == "--") {
                optionsEnded = true;
            } else if (arg.starts_with("--")) {
                longOption(arg);
            } else {
                shortOptions(arg.substr(1));
            }
        }
        if (running()) takeOperands();
        return std::move(parsed_);
    }

private:
    Command command() const { return parsed_.line.command; }
    // Neither a help request nor an error has ended the parse.
    bool running() const { return parsed_.kind == ParsedArguments::Kind::Run; }

    void fail(std::string error) {
        parsed_.kind = ParsedArguments::Kind::UsageError;
        parsed_.error = std::move(error);
    }

    // Whether `command()` has the option; complains when it has not.
    bool allowed(bool has, std::string_view option) {
        if (!has) {
            std::string error = "'";
            error.append(CommandName(command())).append("' has no option ");
            fail(error + QuoteArgument(option));
        }
        return has;
    }

    void longOption(std::string_view arg) {
        CommandLine& line = parsed_.line;
        const Command c = command();
        if (arg == "--help") {
            parsed_.kind = ParsedArguments::Kind::Help;
        } else if (arg == "--long") {
            if (allowed(c == Command::List, arg)) line.longFormat = true;
        } else if (arg == "--json") {
            if (allowed(c == Command::List || c == Command::Info, arg)) line.json = true;
        } else if (arg == "--raw") {
            if (allowed(c == Command::Extract, arg)) line.raw = true;
        } else if (arg == "--flat") {
            if (allowed(c == Command::Extract, arg)) line.flat = true;
        } else if (arg == "--force") {
            if (allowed(c == Command::Create, arg)) line.force = true;
        } else {
            fail("unknown option " + QuoteArgument(arg));
        }
    }

    void shortOptions(std::string_view letters) {
        CommandLine& line = parsed_.line;
        const Command c = command();
        for (std::size_t i = 0; i < letters.size() && running(); ++i) {
            const std::string option = {'-', letters[i]};
            switch (letters[i]) {
                case 'h':
                    parsed_.kind = ParsedArguments::Kind::Help;
                    break;
                case 'l':
                    if (allowed(c == Command::List, option)) line.longFormat = true;
                    break;
                case 'q':
                    if (allowed(c == Command::Extract || c == Command::Check || Writes(c),
                                option)) {
                        line.quiet = true;
                    }
                    break;
                case 'C':
                    if (allowed(c == Command::Extract || Packs(c), option)) {
                        directory(letters.substr(i + 1));
                    }
                    return;
                default:
                    if (letters[i] >= '0' && letters[i] <= '9') {
                        if (allowed(Packs(c), option)) line.level = letters[i] - '0';
                        break;
                    }
                    fail("unknown option " + QuoteArgument(option));
            }
        }
    }

    // -C's folder: the rest of its argument, or the next argument.
    void directory(std::string_view joined) {
        if (!joined.empty()) {
            parsed_.line.directory = joined;
        } else if (next_ < args_.size()) {
            parsed_.line.directory = args_[next_++];
        } else {
            fail("option '-C' needs a folder");
        }
    }

    void takeOperands() {
        if (operands_.empty()) return fail("missing ARCHIVE");
        parsed_.line.archive = operands_[0];
        if (Packs(command()) && operands_.size() < 2) return fail("missing PATH");
        if (command() == Command::Delete && operands_.size() < 2) return fail("missing PATTERN");
        const bool takesPatterns =
            command() == Command::List || command() == Command::Extract || Writes(command());
        if (!takesPatterns && operands_.size() > 1) {
            return fail("unexpected argument " + QuoteArgument(operands_[1]));
        }
        parsed_.line.patterns.assign(operands_.begin() + 1, operands_.end());
    }

    const std::vector<std::string_view>& args_;
    std::size_t next_ = 2;
    std::vector<std::string_view> operands_;
    ParsedArguments parsed_;
};

}  // namespace

std::string_view CommandName(Command command) {
    for (const auto& [name, c] : kCommands) {
        if (c == command) return name;
    }
    return {};
}

ParsedArguments ParseArguments(const std::vector<std::string_view>& args) {
    if (args.size() < 2) return UsageError("missing COMMAND");
    const std::string_view first = args[1];
    if (first == "--help" || first == "-h") {
        ParsedArguments parsed;
        parsed.kind = ParsedArguments::Kind::Help;
        return parsed;
    }
    if (first == "--version") {
        ParsedArguments parsed;
        parsed.kind = ParsedArguments::Kind::Version;
        return parsed;
    }
    for (const auto& [name, command] : kCommands) {
        if (first == name) return OptionParser(command, args).parse();
    }
    if (first.starts_with("-")) return UsageError("unknown option " + QuoteArgument(first));
    return UsageError("unknown command " + QuoteArgument(first));
}

}  // namespace tarvix::cli
