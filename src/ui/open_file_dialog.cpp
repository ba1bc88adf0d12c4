#include "ui/open_file_dialog.h"

#include <QStringList>

namespace tarvix {
namespace {

// A type's patterns are Windows patterns, separated by ';'. There "*.*" matches every name,
// with or without a dot; in Qt only "*" does.
QString QtPatterns(const std::string& pattern) {
    QStringList patterns;
    for (const QString& part : QString::fromStdString(pattern).split(';', Qt::SkipEmptyParts)) {
        const QString trimmed = part.trimmed();
        patterns << (trimmed == QStringLiteral("*.*") ? QStringLiteral("*") : trimmed);
    }
    return patterns.join(' ');
}

// Qt reads the patterns from the last parentheses of a filter, so "All Files (*.*)" alone would
// hide every name without a dot. With the dialog told to hide a filter's details, the list
// shows what comes before the last parentheses: the label, exactly.
QString NameFilterOf(const FileFilter& filter) {
    return QString::fromStdString(filter.label) + QStringLiteral(" (") +
           QtPatterns(filter.pattern) + QStringLiteral(")");
}

}  // namespace

void SetUpOpenFileDialog(QFileDialog& dialog, const OpenFileRequest& request) {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // A typed name need not exist: it may lack the default suffix, which the caller adds only
    // when no file has the name as typed. Qt would add it to every name without a suffix, so
    // the dialog is given none.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix({});
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    QStringList filters;
    for (const FileFilter& filter : request.filters) filters << NameFilterOf(filter);
    dialog.setNameFilters(filters);
}

}  // namespace tarvix
