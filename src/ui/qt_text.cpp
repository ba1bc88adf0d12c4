#include "ui/qt_text.h"

#include <QFile>

#include "archive/cp1252.h"

namespace tarvix {

QString FromCp1252(std::string_view bytes) {
    QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* out = text.data();
    for (char b : bytes) *out++ = QChar(Cp1252ToUnicode(static_cast<unsigned char>(b)));
    return text;
}

// Qt shows a doubled placeholder as one, literally.
QString LiteralWindowTitle(const QString& title) {
    return QString(title).replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
}

std::filesystem::path ToFsPath(const QString& path) {
#ifdef _WIN32
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

QString FromFsPath(const std::filesystem::path& path) {
#ifdef _WIN32
    return QString::fromStdWString(path.wstring());
#else
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
#endif
}

}  // namespace tarvix
