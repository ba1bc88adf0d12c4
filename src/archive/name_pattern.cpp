#include "archive/name_pattern.h"

#include <optional>

#include "archive/cp1252.h"

namespace tarvix {
namespace {

constexpr std::array<std::uint8_t, 256> MakeFoldTable() {
    std::array<std::uint8_t, 256> table{};
    for (int b = 0; b < 256; ++b) table[b] = static_cast<std::uint8_t>(b);
    for (int b = 'A'; b <= 'Z'; ++b) table[b] = static_cast<std::uint8_t>(b + 0x20);
    for (int b = 0xC0; b <= 0xDE; ++b) {
        if (b != 0xD7) table[b] = static_cast<std::uint8_t>(b + 0x20);  // not the ×
    }
    table[0x8A] = 0x9A;  // Š
    table[0x8C] = 0x9C;  // Œ
    table[0x8E] = 0x9E;  // Ž
    table[0x9F] = 0xFF;  // Ÿ
    return table;
}

constexpr std::array<std::uint8_t, 256> kFold = MakeFoldTable();

bool SameFolded(char a, char b) {
    return kFold[static_cast<std::uint8_t>(a)] == kFold[static_cast<std::uint8_t>(b)];
}

}  // namespace

std::uint8_t FoldCp1252(std::uint8_t byte) {
    return kFold[byte];
}

NamePattern::NamePattern(std::string_view utf8, Plain plain) : plain_(plain) {
    const std::optional<std::string> bytes = Utf8ToCp1252(utf8);
    if (!bytes) {
        representable_ = false;
        return;
    }
    pattern_.reserve(bytes->size());
    for (char c : *bytes) {
        if (c == '/') c = '\\';
        if (c == '*' || c == '?') wildcards_ = true;
        pattern_.push_back(static_cast<char>(kFold[static_cast<std::uint8_t>(c)]));
    }
    // "art/" (as completion types a folder) and "/art" name the folder ART: no entry's path
    // begins or ends with a separator that a user would mean.
    if (plain == Plain::EntryOrFolder) {
        const auto first = pattern_.find_first_not_of('\\');
        pattern_ = first == std::string::npos
                       ? std::string()
                       : pattern_.substr(first, pattern_.find_last_not_of('\\') - first + 1);
    }
}

bool NamePattern::matches(std::string_view path) const {
    if (!representable_ || pattern_.empty()) return false;
    if (wildcards_) return matchesWildcards(path);
    const auto equalFolded = [](std::string_view text, std::string_view folded) {
        for (std::size_t i = 0; i < folded.size(); ++i) {
            if (!SameFolded(text[i], folded[i])) return false;
        }
        return true;
    };
    if (plain_ == Plain::EntryOrFolder) {
        if (path.size() < pattern_.size() || !equalFolded(path, pattern_)) return false;
        return path.size() == pattern_.size() || path[pattern_.size()] == '\\';
    }
    if (path.size() < pattern_.size()) return false;
    for (std::size_t at = 0; at + pattern_.size() <= path.size(); ++at) {
        if (equalFolded(path.substr(at), pattern_)) return true;
    }
    return false;
}

bool NamePattern::narrows(const NamePattern& broader) const {
    if (plain_ != Plain::Substring || broader.plain_ != Plain::Substring || !representable_ ||
        !broader.representable_ || broader.pattern_.empty()) {
        return false;
    }
    if (!wildcards_ && !broader.wildcards_) {
        return pattern_.find(broader.pattern_) != std::string::npos;
    }
    return wildcards_ && broader.wildcards_ && broader.pattern_.back() == '*' &&
           pattern_.starts_with(broader.pattern_);
}

// After a mismatch, the last `*` takes one more character and the rest is tried again from
// there; earlier stars never need to move, since the last one can absorb whatever they would.
bool NamePattern::matchesWildcards(std::string_view path) const {
    std::size_t p = 0;
    std::size_t t = 0;
    std::size_t starP = std::string::npos;
    std::size_t starT = 0;
    while (t < path.size()) {
        if (p < pattern_.size() && pattern_[p] == '*') {
            starP = p++;
            starT = t;
        } else if (p < pattern_.size() &&
                   (pattern_[p] == '?' || SameFolded(path[t], pattern_[p]))) {
            ++p;
            ++t;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pattern_.size() && pattern_[p] == '*') ++p;
    return p == pattern_.size();
}

}  // namespace tarvix
