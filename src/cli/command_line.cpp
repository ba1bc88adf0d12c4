#include "cli/command_line.h"

#include <array>
#include <utility>

#include "cli/display_text.h"

namespace tarvix::cli {
namespace {

constexpr std::array<std::pair<std::string_view, Command>, 8> kCommands = {{
    {"list", Command::List},
    {"extract", Command::Extract},
    {"check", Command::Check},
    {"info", Command::Info},
    {"which", Command::Which},
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
        } else if (arg == "--verbose") {
            if (allowed(c == Command::Extract, arg)) line.verbose = true;
        } else if (arg == "--directory" || arg.starts_with("--directory=")) {
            if (allowed(c == Command::Extract || Packs(c), "--directory")) longDirectory(arg);
        } else if (arg == "--layer" || arg.starts_with("--layer=")) {
            if (const auto value = valueOf(arg, "--layer")) line.layers.push_back(*value);
        } else if (arg == "--game" || arg.starts_with("--game=")) {
            if (const auto value = valueOf(arg, "--game")) line.gameDir = *value;
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
                case 'v':
                    if (allowed(c == Command::Extract, option)) line.verbose = true;
                    break;
                case 'C':
                    if (allowed(c == Command::Extract || Packs(c), option)) {
                        directory(letters.substr(i + 1));
                    }
                    return;
                case 'L':
                    if (const auto value = valueOf(letters.substr(i + 1), option)) {
                        line.layers.push_back(*value);
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

    // -C's folder: the rest of its argument, or the next argument. "-C=out" is refused rather
    // than read as the folder "=out", which is never what was meant.
    void directory(std::string_view joined) {
        if (joined.starts_with('=')) {
            fail("option '-C' takes no '=': write '-C DIR' or '--directory=DIR'");
        } else if (!joined.empty()) {
            parsed_.line.directory = joined;
        } else {
            nextArgumentAsDirectory("-C");
        }
    }

    // --directory's folder: after the '=', or the next argument.
    void longDirectory(std::string_view arg) {
        constexpr std::string_view kOption = "--directory";
        if (arg.size() > kOption.size()) {
            const std::string_view folder = arg.substr(kOption.size() + 1);
            if (folder.empty()) return fail("option '--directory' needs a folder");
            parsed_.line.directory = folder;
        } else {
            nextArgumentAsDirectory(kOption);
        }
    }

    void nextArgumentAsDirectory(std::string_view option) {
        if (next_ < args_.size()) {
            parsed_.line.directory = args_[next_++];
        } else {
            fail("option '" + std::string(option) + "' needs a folder");
        }
    }

    // The value of an option that takes one: joined ("-Lx", "--layer=x") or the next argument.
    // `arg` is the rest of a short option's letters, or the whole long option.
    std::optional<std::string> valueOf(std::string_view arg, std::string_view option) {
        std::optional<std::string> value;
        if (option.starts_with("--")) {
            const std::size_t equals = arg.find('=');
            if (equals != std::string_view::npos) value = arg.substr(equals + 1);
        } else if (!arg.empty()) {
            value = arg;
        }
        if (!value && next_ < args_.size()) value = args_[next_++];
        if (!value || value->empty()) {
            fail("option " + QuoteArgument(option) + " needs a value");
            return std::nullopt;
        }
        return value;
    }

    // With -L or --game, every operand is a pattern (a path for 'which').
    void takeStackOperands() {
        if (!parsed_.line.layers.empty() && !parsed_.line.gameDir.empty()) {
            return fail("'-L' and '--game' cannot be combined");
        }
        const bool takesPatterns = command() != Command::Check && command() != Command::Info;
        if (!takesPatterns && !operands_.empty()) {
            return fail("unexpected argument " + QuoteArgument(operands_[0]));
        }
        if (command() == Command::Which && operands_.empty()) return fail("missing PATH");
        parsed_.line.patterns.assign(operands_.begin(), operands_.end());
    }

    void takeOperands() {
        if (parsed_.line.overStack()) return takeStackOperands();
        if (operands_.empty()) return fail("missing ARCHIVE");
        if (command() == Command::Which && operands_.size() < 2) return fail("missing PATH");
        parsed_.line.archive = operands_[0];
        if (Packs(command()) && operands_.size() < 2) return fail("missing PATH");
        if (command() == Command::Delete && operands_.size() < 2) return fail("missing PATTERN");
        const bool takesPatterns = command() == Command::List || command() == Command::Extract ||
                                   command() == Command::Which || Writes(command());
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
