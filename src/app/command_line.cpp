#include "app/command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRegularExpression>

namespace tarvix {
namespace {

const char* const kUsage = "Usage: tarvix [options] [ARCHIVE]";

StartRequest UsageError(const QString& why) {
    StartRequest request;
    request.exitCode = 2;
    request.standardError =
        QStringLiteral("tarvix: %1\n%2\nTry 'tarvix --help' for more information.\n")
            .arg(why, QString::fromLatin1(kUsage));
    return request;
}

}  // namespace

StartRequest ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    // "-platform" is one unknown option, reported whole, not eight unknown letters.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QStringLiteral(
        "Looks into a Fallout 1 or Fallout 2 DAT archive and extracts files from it.\n"
        "Without ARCHIVE, a file dialog asks for one. A folder in place of\n"
        "ARCHIVE is opened as a game folder: its archives and patch folders\n"
        "seen as the game sees them."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and exit."));
    parser.addOption(help);
    parser.addOption(version);
    parser.addPositionalArgument(QStringLiteral("ARCHIVE"),
                                 QStringLiteral("The DAT archive to open."),
                                 QStringLiteral("[ARCHIVE]"));
    if (!parser.parse(arguments)) return UsageError(parser.errorText());

    StartRequest request;
    if (parser.isSet(help)) {
        request.exitCode = 0;
        request.standardOutput = parser.helpText();
        request.standardOutput.replace(QRegularExpression(QStringLiteral("^Usage: [^\\n]*")),
                                       QString::fromLatin1(kUsage));
        return request;
    }
    if (parser.isSet(version)) {
        request.exitCode = 0;
        request.standardOutput =
            QStringLiteral("tarvix %1\n").arg(QCoreApplication::applicationVersion());
        return request;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) return UsageError(QStringLiteral("one archive at a time"));
    if (files.size() == 1) request.archive = files.constFirst();
    return request;
}

}  // namespace tarvix
