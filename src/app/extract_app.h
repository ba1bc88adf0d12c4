#pragma once

#include <QApplication>
#include <QTemporaryDir>

namespace tarvix {

// The application object: runs the main window once, modally, and ends with it. It sets no
// application name, so message boxes carry the executable's base name.
class CExtractApp {
public:
    CExtractApp(int& argc, char** argv);

    int InitInstance();

private:
    QApplication app_;
    QTemporaryDir settingsDir_;
};

}  // namespace tarvix
