#include "cli_fixture.h"

#include <zlib.h>

namespace tarvix::test {

std::string Zlib(const std::string& content) {
    return datwriter::Zlib(content, 9);
}

datwriter::Entry Packed(std::string name, const std::string& content) {
    datwriter::Entry entry = datwriter::Make(std::move(name), Zlib(content));
    entry.realSize = static_cast<std::uint32_t>(content.size());
    entry.type = 1;
    return entry;
}

std::string CaseName(const std::string& what) {
    std::string name;
    for (char c : what) {
        const bool keep =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (keep) {
            name += c;
        } else if (!name.empty() && name.back() != '_') {
            name += '_';
        }
    }
    while (!name.empty() && name.back() == '_') name.pop_back();
    return name;
}

std::string LongText(std::size_t size) {
    std::string text;
    std::uint32_t state = 12345;
    while (text.size() < size) {
        state = state * 1103515245u + 12345u;
        text += "word" + std::to_string(state >> 16) + (state % 7 == 0 ? "\n" : " ");
    }
    text.resize(size);
    return text;
}

}  // namespace tarvix::test
