#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tarvix {

// Whether one component of an archive name may become a file or folder name below the
// destination: never "." or "..", never a name that holds a slash or a zero byte, and never
// one that names a drive ("C:"). On Windows, characters the file system would read as
// something other than a name are refused too.
bool IsSafeComponent(std::string_view cp1252Component);

// The first component of a full internal name that extraction below its own folders would
// refuse, or nothing when every one is safe. Empty folder components make no folder and are
// skipped; the file name, the last component, must be safe however short it is.
std::optional<std::string_view> FirstUnsafeComponent(std::string_view cp1252Name);

// The on-disk name of a Windows-1252 component.
std::filesystem::path ComponentToPath(std::string_view cp1252Component);

// A UTF-8 string as a path, whatever the platform's native encoding.
std::filesystem::path PathFromUtf8(const std::string& utf8);

}  // namespace tarvix
