#include "archive/cp1252.h"

#include <gtest/gtest.h>

namespace tarvix {
namespace {

TEST(Cp1252, MapsEveryByteToItsUnicodeCharacter) {
    EXPECT_EQ(Cp1252ToUnicode('A'), u'A');
    EXPECT_EQ(Cp1252ToUnicode(0x80), u'\u20AC');  // euro sign
    EXPECT_EQ(Cp1252ToUnicode(0x8A), u'\u0160');
    EXPECT_EQ(Cp1252ToUnicode(0x9F), u'\u0178');
    EXPECT_EQ(Cp1252ToUnicode(0x81), u'\u0081');  // undefined: kept as the C1 control
    EXPECT_EQ(Cp1252ToUnicode(0xA0), u'\u00A0');
    EXPECT_EQ(Cp1252ToUnicode(0xE9), u'\u00E9');
    EXPECT_EQ(Cp1252ToUnicode(0xFF), u'\u00FF');
}

TEST(Cp1252, ConvertsToUtf8) {
    EXPECT_EQ(Cp1252ToUtf8("CAF\xC9.TXT"), "CAF\xC3\x89.TXT");
    EXPECT_EQ(Cp1252ToUtf8("\x80"), "\xE2\x82\xAC");
    EXPECT_EQ(Cp1252ToUtf8(""), "");
    EXPECT_EQ(Cp1252ToUtf8(std::string_view("a\0b", 3)), std::string("a\0b", 3));
}

}  // namespace
}  // namespace tarvix
