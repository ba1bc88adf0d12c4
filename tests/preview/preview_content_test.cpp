#include "preview/preview_content.h"

#include <gtest/gtest.h>

#include "frm_writer.h"
#include "preview/content_kind.h"
#include "preview/hex_dump.h"
#include "preview/palette.h"
#include "preview/text_decoding.h"

namespace tarvix {
namespace {

std::vector<std::uint8_t> Vec(const std::string& s) {
    return {s.begin(), s.end()};
}

std::string ValidFrm() {
    frmwriter::Frm frm;
    frm.framesPerSecond = 0;
    frm.directions = {{frmwriter::Draw(2, 2, [](int x, int) { return x; })}};
    return frmwriter::BuildFrm(frm);
}

struct KindCase {
    const char* name;
    std::string bytes;
    ContentKind kind;
};

TEST(ContentKindTest, ByExtensionThenByBytes) {
    const std::string binary("\x01\x02\x00\x05", 4);
    const std::vector<KindCase> cases = {
        {"ART\\X.FRM", binary, ContentKind::Frm},
        {"art\\x.frm", "text", ContentKind::Frm},
        {"COLOR.PAL", std::string(768, '\0'), ContentKind::Palette},
        {"SHORT.PAL", std::string(767, 'a'), ContentKind::Text},  // too short for colours
        {"SHORT2.PAL", std::string(767, '\0'), ContentKind::Binary},
        {"A\\B.BMP", binary, ContentKind::Image},
        {"A\\B.pcx", binary, ContentKind::Image},
        {"A\\B.PNG", binary, ContentKind::Image},
        {"A\\B.MSG", binary, ContentKind::Text},
        {"A\\B.ssl", binary, ContentKind::Text},
        {"A\\B.H", binary, ContentKind::Text},
        {"A\\B.SVE", binary, ContentKind::Text},
        {"A\\B.INT", "push_d op_call\r\n\tnext\x1A", ContentKind::Text},
        {"A\\B.INT", "caf\xE9 \x80 \x9C", ContentKind::Text},
        {"A\\B.INT", binary, ContentKind::Binary},
        {"A\\B.INT", "", ContentKind::Text},
        {"A\\B.INT", "abc\x81", ContentKind::Binary},  // undefined in Windows-1252
        {"A.B\\NOEXT", binary, ContentKind::Binary},   // the dot is the folder's
    };
    for (const KindCase& c : cases) {
        const auto bytes = Vec(c.bytes);
        EXPECT_EQ(ChooseContentKind(c.name, bytes), c.kind) << c.name << " " << c.bytes.size();
    }
}

TEST(ContentKindTest, TextAllowsOneControlCharacterInAHundred) {
    std::string text(99, 'a');
    text += '\x02';
    EXPECT_TRUE(LooksLikeText(Vec(text)));
    text += '\x03';
    EXPECT_FALSE(LooksLikeText(Vec(text)));
}

TEST(PaletteTest, SixBitComponentsScaledToEight) {
    std::string bytes = frmwriter::SixBitPalette([](int i) {
        return std::array<int, 3>{i % 64, 63, i == 5 ? 200 : 0};
    });
    const auto palette = ParsePalette(Vec(bytes + "trailing tables"));
    ASSERT_TRUE(palette);
    EXPECT_EQ((*palette)[0], qRgb(0, 255, 0));
    EXPECT_EQ((*palette)[32], qRgb(129, 255, 0));
    EXPECT_EQ((*palette)[63], qRgb(255, 255, 0));
    EXPECT_EQ((*palette)[5], qRgb(20, 255, 255));  // above 63 is full
    bytes.pop_back();
    EXPECT_FALSE(ParsePalette(Vec(bytes)));
    EXPECT_EQ(GrayscalePalette()[200], qRgb(200, 200, 200));
}

TEST(HexDumpTest, OffsetBytesAndCharacters) {
    std::string bytes = "AB\n\x80\xFF";
    bytes += std::string(11, 'z');
    bytes += "Q";
    const auto data = Vec(bytes);
    EXPECT_EQ(HexLine(data, 0),
              QStringLiteral("00000000  41 42 0A 80 FF 7A 7A 7A  7A 7A 7A 7A 7A 7A 7A 7A  "
                             "AB.\u20AC\u00FFzzzzzzzzzzz"));
    // The missing bytes keep their columns, so the characters always line up.
    EXPECT_EQ(HexLine(data, 1), QStringLiteral("00000010  51 ") + QString(47, u' ') + u'Q');
    EXPECT_EQ(HexLineCount(0), 1u);
    EXPECT_EQ(HexLineCount(17), 2u);
    EXPECT_EQ(HexLineCount(std::size_t{64} << 20), kHexShownBytes / 16);
}

TEST(TextDecodingTest, WindowsCodePage) {
    EXPECT_EQ(DecodeCp1252Text(Vec("Caf\xE9 \x80\x96")), QStringLiteral("Caf\u00E9 \u20AC\u2013"));
}

struct PreviewCase {
    const char* what;
    EntryFacts facts;
    EntryContent::Status status;
    std::string bytes;
    bool withPalette;
    ContentKind kind;
    QString status_line;
    QString message;
};

TEST(PreviewContentTest, WhatIsShownAndTheStatusLine) {
    using S = EntryContent::Status;
    const std::string frm = ValidFrm();
    const std::string big(2u << 20, '\x01');
    const std::vector<PreviewCase> cases = {
        {"text",
         {"A\\B.MSG", 0, 5, 5},
         S::Ok,
         "hello",
         false,
         ContentKind::Text,
         "stored - 5 bytes, packed 5 - text (Windows-1252)",
         ""},
        {"FRM with the archive's palette",
         {"A\\B.FRM", 1, 78, 40},
         S::Ok,
         frm,
         true,
         ContentKind::Frm,
         "zlib - 78 bytes, packed 40 - FRM, 1 direction(s) x 1 frame(s), 0 fps; colours of the "
         "archive's COLOR.PAL",
         ""},
        {"FRM without one",
         {"A\\B.FRM", 0, 78, 78},
         S::Ok,
         frm,
         false,
         ContentKind::Frm,
         "stored - 78 bytes, packed 78 - FRM, 1 direction(s) x 1 frame(s), 0 fps; no COLOR.PAL "
         "in the archive: grey levels",
         ""},
        {"hostile FRM",
         {"A\\B.FRM", 0, 70, 70},
         S::Ok,
         frm.substr(0, 70),
         true,
         ContentKind::Binary,
         "stored - 70 bytes, packed 70 - not a valid FRM; binary, shown as hex",
         ""},
        {"large binary",
         {"A\\B.DAT", 0, 2u << 20, 2u << 20},
         S::Ok,
         big,
         false,
         ContentKind::Binary,
         "stored - 2097152 bytes, packed 2097152 - binary; first 1 MiB of 2097152 bytes "
         "shown as hex",
         ""},
        {"unreadable image",
         {"A\\B.PNG", 0, 3, 3},
         S::Ok,
         "abc",
         false,
         ContentKind::Binary,
         "stored - 3 bytes, packed 3 - not a readable image; binary, shown as hex",
         ""},
        {"damaged, with a part",
         {"A\\B.TXT", 1, 100, 20},
         S::Damaged,
         "hello",
         false,
         ContentKind::Text,
         "zlib - 100 bytes, packed 20 - text (Windows-1252) - Packed data is damaged: showing the "
         "5 bytes before the damage",
         ""},
        {"damaged, nothing before",
         {"A\\B.TXT", 1, 100, 20},
         S::Damaged,
         "",
         false,
         ContentKind::Binary,
         "zlib - 100 bytes, packed 20 - Packed data is damaged",
         "Packed data is damaged"},
        {"too large",
         {"A\\B.TXT", 1, 100u << 20, 20},
         S::TooLarge,
         "",
         false,
         ContentKind::Binary,
         "zlib - 104857600 bytes, packed 20 - Larger than 64 MiB unpacked: not loaded",
         "Larger than 64 MiB unpacked: not loaded"},
        {"Fallout 1 LZSS",
         {"A\\B.MSG", 0x40, 5, 9, ArchiveFormat::Dat1},
         S::Ok,
         "hello",
         false,
         ContentKind::Text,
         "lzss - 5 bytes, packed 9 - text (Windows-1252)",
         ""},
        {"Fallout 1 unknown Attributes",
         {"A\\B.TXT", 0x30, 1, 1, ArchiveFormat::Dat1},
         S::UnknownPacking,
         "",
         false,
         ContentKind::Binary,
         "type 48 - 1 bytes, packed 1 - Unknown packing (Type 48)",
         "Unknown packing (Type 48)"},
        {"unknown packing",
         {"A\\B.TXT", 7, 1, 1},
         S::UnknownPacking,
         "",
         false,
         ContentKind::Binary,
         "type 7 - 1 bytes, packed 1 - Unknown packing (Type 7)",
         "Unknown packing (Type 7)"},
    };
    for (const PreviewCase& c : cases) {
        SCOPED_TRACE(c.what);
        EntryContent content{c.status, Vec(c.bytes)};
        const std::optional<Palette> palette =
            c.withPalette ? std::optional<Palette>(GrayscalePalette()) : std::nullopt;
        const PreviewContent preview = PreparePreview(c.facts, std::move(content), palette);
        EXPECT_EQ(preview.status, c.status_line);
        EXPECT_EQ(preview.message, c.message);
        if (c.message.isEmpty()) {
            EXPECT_EQ(preview.kind, c.kind);
            EXPECT_EQ(preview.bytes.size(), c.bytes.size());
        }
        EXPECT_EQ(preview.frm.has_value(), c.kind == ContentKind::Frm);
    }
}

}  // namespace
}  // namespace tarvix
