#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarvix {

// A pattern a user types to pick entries by their internal path, shared by every front-end so
// that they all pick the same entries: case-insensitive over Windows-1252 letters, `*` for any
// run of characters, `?` for one, and `/` standing for `\`. A pattern with a wildcard must
// match the whole path.
//
// Matching is the greedy wildcard walk that goes back only to the last `*`: at most path length
// times pattern length steps, never exponential, whatever the user types.
class NamePattern {
public:
    // What a pattern without wildcards means.
    enum class Plain {
        Substring,  // any path that contains it (searching)
        // The entry of that path, or everything below the folder of that path; separators at
        // either end are ignored, wildcards or not.
        EntryOrFolder,
    };

    // A pattern typed as UTF-8. A character that Windows-1252 cannot hold matches nothing.
    NamePattern(std::string_view utf8, Plain plain);

    bool empty() const { return pattern_.empty() && representable_; }
    bool hasWildcards() const { return wildcards_; }
    bool matches(std::string_view cp1252Path) const;
    // Whether every path this pattern matches is matched by `broader` too, as when typing adds
    // to a search: plain text that contains the broader plain text, or wildcards that go on
    // after a broader pattern ending in `*`. False when that cannot be told so simply.
    bool narrows(const NamePattern& broader) const;

private:
    bool matchesWildcards(std::string_view path) const;

    std::string pattern_;  // Windows-1252, case-folded, `/` made `\`
    Plain plain_;
    bool wildcards_ = false;
    bool representable_ = true;
};

// The lower-case form of a Windows-1252 byte (Š, Œ, Ž, Ÿ and the Latin-1 letters included).
std::uint8_t FoldCp1252(std::uint8_t byte);

}  // namespace tarvix
