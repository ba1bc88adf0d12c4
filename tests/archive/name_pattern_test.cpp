#include "archive/name_pattern.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/cp1252.h"

namespace tarvix {
namespace {

using Plain = NamePattern::Plain;

struct Case {
    const char* pattern;  // UTF-8, as typed
    Plain plain;
    std::string path;  // Windows-1252 bytes, as in the archive
    bool matches;
};

TEST(NamePattern, MatchesPathsAsTyped) {
    const Plain find = Plain::Substring;
    const Plain pick = Plain::EntryOrFolder;
    const std::vector<Case> cases = {
        // Plain text while searching: a substring, without regard to case.
        {"IFA", find, "ART\\INTRFACE\\IFACE.FRM", true},
        {"ifa", find, "ART\\INTRFACE\\IFACE.FRM", true},
        {"iface.frmx", find, "ART\\INTRFACE\\IFACE.FRM", false},
        {"intrface/if", find, "ART\\INTRFACE\\IFACE.FRM", true},  // `/` stands for `\`
        {"", find, "ANY", false},
        // Plain text when picking: one entry, or a folder and everything below it.
        {"art/critters", pick, "ART\\CRITTERS\\HMJMPSAA.FRM", true},
        {"ART\\CRITTERS", pick, "ART\\CRITTERS\\SUB\\X.FRM", true},
        {"ART/CRITTERS", pick, "ART\\CRITTERSX\\Y.FRM", false},
        {"ART/CRITTERS", pick, "ART\\CRITTERS", true},
        {"CRITTERS", pick, "ART\\CRITTERS\\X.FRM", false},
        {"art", pick, "ARTWORK.TXT", false},
        // Separators at either end, as completion types a folder, are ignored when picking.
        {"art/", pick, "ART\\CRITTERS\\X.FRM", true},
        {"/art/intrface", pick, "ART\\INTRFACE\\IFACE.FRM", true},
        {"//art//", pick, "ART\\X", true},
        {"art/", pick, "ARTWORK.TXT", false},
        {"/art/*.frm", pick, "ART\\X.FRM", true},
        {"/", pick, "ANY", false},
        {"/art", find, "ART\\X", false},  // searching keeps them: a folder ending in ART
        // Wildcards: the whole path.
        {"*.frm", find, "ART\\INTRFACE\\IFACE.FRM", true},
        {"*.frm", find, "ART\\INTRFACE\\IFACE.FRM.BAK", false},
        {"art\\*\\iface.???", pick, "ART\\INTRFACE\\IFACE.FRM", true},
        {"art\\*\\iface.???", pick, "ART\\INTRFACE\\IFACE.FR", false},
        {"?", find, "A", true},
        {"?", find, "AB", false},
        {"*", find, "", true},
        {"a*b*c", find, "AXXBYYC", true},
        {"a*b*c", find, "AXXBYYCD", false},
        {"*a*a*a*a*a*a*a*b", find, std::string(60, 'a'), false},  // no exponential backtracking
        {"*a*a*a*a*a*a*a*b", find, std::string(60, 'a') + "b", true},
        // Windows-1252 letters fold too; a character it cannot hold matches nothing.
        {"é", find, "CAF\xC9.TXT", true},
        {"šŒžÿ", find, "\x8A\x9C\x8E\x9F", true},
        {"×", find, "\xF7", false},  // × and ÷ are not a letter pair
        {"€", find, "PRICE\x80", true},
        {"日本", find, "ANY", false},
        // Names whose bytes are no text still match byte for byte.
        {"?\\x", find, std::string("\x81\\X", 3), true},
    };
    for (const Case& c : cases) {
        const NamePattern pattern(c.pattern, c.plain);
        EXPECT_EQ(pattern.matches(c.path), c.matches)
            << "pattern " << c.pattern << " on " << Cp1252ToUtf8(c.path);
    }
}

TEST(Utf8ToCp1252, TakesEveryByteBackAndRefusesWhatItCannotHold) {
    std::string all;
    for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
    EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
    EXPECT_EQ(Utf8ToCp1252("\xE2\x82\xAC"), std::string("\x80"));  // €
    EXPECT_EQ(Utf8ToCp1252("\xC4\x80"), std::nullopt);             // Ā
    EXPECT_EQ(Utf8ToCp1252("\xC3"), std::nullopt);                 // cut short
    // Overlong forms of '/', of NUL, of 'é' and of U+FFFF.
    for (const char* overlong : {"\xC0\xAF", "\xE0\x80\xAF", "\xF0\x80\x80\xAF", "\xC0\x80",
                                 "\xE0\x83\xA9", "\xF0\x8F\xBF\xBF"}) {
        EXPECT_EQ(Utf8ToCp1252(overlong), std::nullopt) << overlong;
    }
    EXPECT_EQ(Utf8ToCp1252("a\xE0\x80\xAF"
                           "b"),
              std::nullopt);                                   // within a name
    EXPECT_EQ(Utf8ToCp1252("\xC3\xA9"), std::string("\xE9"));  // the shortest form stays
    EXPECT_EQ(Utf8ToCp1252("\xFF"), std::nullopt);
}

}  // namespace
}  // namespace tarvix
