#pragma once

#include <QApplication>
#include <QTemporaryDir>
#include <optional>

#include "app/command_line.h"

namespace tarvix {

// The application object: runs the main window once, modally, and ends with it. It sets no
// application name, so message boxes carry the executable's base name.
class CExtractApp {
public:
    CExtractApp(int& argc, char** argv);

    // Reads the command line before any window exists, so that --help and --version work
    // without a display; prints what is to be printed.
    static StartRequest ReadCommandLine(int argc, char** argv);

    // Runs the main window, on `archive` if given, else on the one chosen in the open dialog.
    int InitInstance(const std::optional<QString>& archive = std::nullopt);

private:
    QApplication app_;
    QTemporaryDir settingsDir_;
};

}  // namespace tarvix
