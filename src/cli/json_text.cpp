#include "cli/json_text.h"

#include <cstdio>

namespace tarvix::cli {
namespace {

void AppendEscapedCodePoint(std::string& out, unsigned value) {
    char escape[7];
    std::snprintf(escape, sizeof escape, "\\u%04X", value);
    out += escape;
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view utf8) {
    out += '"';
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte == '"' || byte == '\\') {
            out += '\\';
            out += static_cast<char>(byte);
        } else if (byte < 0x20 || byte == 0x7F) {
            AppendEscapedCodePoint(out, byte);
        } else if (byte == 0xC2 && i + 1 < utf8.size() &&
                   static_cast<unsigned char>(utf8[i + 1]) < 0xA0) {
            AppendEscapedCodePoint(out, static_cast<unsigned char>(utf8[++i]));  // C1
        } else {
            out += static_cast<char>(byte);
        }
    }
    out += '"';
}

void JsonObject::key(std::string_view name) {
    if (!first_) out_ += ", ";
    first_ = false;
    AppendJsonString(out_, name);
    out_ += ": ";
}

void JsonObject::add(std::string_view name, std::uint64_t number) {
    key(name);
    out_ += std::to_string(number);
}

void JsonObject::add(std::string_view name, std::string_view utf8) {
    key(name);
    AppendJsonString(out_, utf8);
}

void JsonObject::add(std::string_view name, const std::vector<std::string>& utf8) {
    key(name);
    out_ += '[';
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (i > 0) out_ += ", ";
        AppendJsonString(out_, utf8[i]);
    }
    out_ += ']';
}

}  // namespace tarvix::cli
