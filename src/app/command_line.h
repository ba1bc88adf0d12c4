#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace tarvix {

// What the command line asks for: `tarvix [ARCHIVE]`, or `--help` / `--version`.
struct StartRequest {
    std::optional<QString> archive;  // open this instead of asking
    std::optional<int> exitCode;     // set when the program is to end at once, with this status
    QString standardOutput;          // to print before ending
    QString standardError;
};

// Reads the arguments (the program's name first). Help and version go to standard output
// with status 0; an unknown option or more than one file is a usage error, status 2.
StartRequest ParseCommandLine(const QStringList& arguments);

}  // namespace tarvix
