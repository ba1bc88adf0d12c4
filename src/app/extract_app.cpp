#include "app/extract_app.h"

#include <QSettings>
#include <cstdio>

#include "ui/extract_dlg.h"
#include "ui/qt_text.h"
#include "ui/qt_user_dialogs.h"

namespace tarvix {

CExtractApp::CExtractApp(int& argc, char** argv) : app_(argc, argv) {
    QApplication::setApplicationVersion(QStringLiteral(TARVIX_VERSION));
    // Lets the desktop match the window to the installed menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.tarvix"));
    // The program keeps nothing between runs, but Qt's file dialogs remember their folders in
    // the user's settings. They remember into a folder that goes away with the run instead.
    for (auto format : {QSettings::NativeFormat, QSettings::IniFormat}) {
        QSettings::setPath(format, QSettings::UserScope, settingsDir_.path());
    }
}

StartRequest CExtractApp::ReadCommandLine(int argc, char** argv) {
    QCoreApplication probe(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(TARVIX_VERSION));
    const StartRequest request = ParseCommandLine(QCoreApplication::arguments());
    std::fputs(request.standardOutput.toLocal8Bit().constData(), stdout);
    std::fputs(request.standardError.toLocal8Bit().constData(), stderr);
    return request;
}

int CExtractApp::InitInstance(const std::optional<QString>& archive) {
    QtUserDialogs dialogs;
    CExtractDlg dialog(dialogs);
    dialogs.setOwner(&dialog);
    if (archive) dialog.setStartupArchive(ToFsPath(*archive));
    dialog.exec();
    return 0;
}

}  // namespace tarvix
