#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarvix {

// Archive names are Windows-1252 bytes. These give the matching Unicode characters; the five
// code points the code page leaves undefined map to the C1 controls of the same value, as
// Windows itself converts them.
char16_t Cp1252ToUnicode(unsigned char byte);
std::string Cp1252ToUtf8(std::string_view bytes);

// The way back, for text a user types: nothing when it is not valid UTF-8 (overlong forms
// included) or holds a character that Windows-1252 has no byte for.
std::optional<std::string> Utf8ToCp1252(std::string_view utf8);

}  // namespace tarvix
