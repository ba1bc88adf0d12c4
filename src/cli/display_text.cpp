#include "cli/display_text.h"

#include <cstdio>

#include "archive/cp1252.h"

namespace tarvix::cli {
namespace {

// The Windows-1252 bytes whose characters are controls: C0, DEL, and the undefined ones,
// which map to the C1 controls of the same value.
bool IsControlByte(unsigned char byte) {
    return byte < 0x20 || byte == 0x7F || byte == 0x81 || byte == 0x8D || byte == 0x8F ||
           byte == 0x90 || byte == 0x9D;
}

bool IsValidUtf8Lead(std::string_view rest, std::size_t& length) {
    const auto lead = static_cast<unsigned char>(rest[0]);
    length = lead >= 0xF0 && lead < 0xF5 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (lead >= 0xF5 || length == 0 || rest.size() < length) return false;
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(rest[i]) & 0xC0) != 0x80) return false;
    }
    // U+0080..U+009F are the C1 controls: shown as bytes like the others.
    return !(lead == 0xC2 && static_cast<unsigned char>(rest[1]) < 0xA0);
}

bool IsPrintableAscii(std::string_view name) {
    for (char c : name) {
        if (c < 0x20 || c == 0x7F) return false;  // negative for bytes from 0x80
    }
    return true;
}

bool HasControlByte(std::string_view name) {
    for (char c : name) {
        if (IsControlByte(static_cast<unsigned char>(c))) return true;
    }
    return false;
}

}  // namespace

// Most names are printable ASCII, which is its own UTF-8: a million of them are listed
// without converting, or allocating for, any.
void AppendDisplayPath(std::string& out, std::string_view name) {
    if (IsPrintableAscii(name)) {
        out += name;
        return;
    }
    if (!HasControlByte(name)) {
        out += Cp1252ToUtf8(name);
        return;
    }
    std::string safe(name);
    for (char& c : safe) {
        if (IsControlByte(static_cast<unsigned char>(c))) c = '?';
    }
    out += Cp1252ToUtf8(safe);
}

std::string DisplayPath(std::string_view name) {
    std::string out;
    AppendDisplayPath(out, name);
    return out;
}

std::string PrintableLine(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) < 0xA0) {
            out += '?';  // a C1 control, two bytes
            ++i;
        } else {
            out += byte < 0x20 || byte == 0x7F ? '?' : utf8[i];
        }
    }
    return out;
}

std::string QuoteArgument(std::string_view arg) {
    std::string out = "'";
    while (!arg.empty()) {
        const auto byte = static_cast<unsigned char>(arg[0]);
        std::size_t length = 1;
        if (byte >= 0x20 && byte < 0x7F) {
            out.push_back(arg[0]);
        } else if (byte >= 0x80 && IsValidUtf8Lead(arg, length)) {
            out.append(arg.substr(0, length));
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            out += hex;
            length = 1;
        }
        arg.remove_prefix(length);
    }
    return out + "'";
}

}  // namespace tarvix::cli
