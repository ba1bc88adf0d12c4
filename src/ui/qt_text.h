#pragma once

#include <QString>
#include <filesystem>
#include <string>
#include <string_view>

namespace tarvix {

// Windows-1252 archive text as Qt shows it.
QString FromCp1252(std::string_view bytes);

// A window title shown exactly as given: Qt takes "[*]" in a title for the place of its
// "modified" mark and removes it.
QString LiteralWindowTitle(const QString& title);

// Paths as the dialogs hand them over and as std::filesystem opens them.
std::filesystem::path ToFsPath(const QString& path);
QString FromFsPath(const std::filesystem::path& path);

}  // namespace tarvix
