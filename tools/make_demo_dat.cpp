// Writes samples/demo.dat: a small archive to try the program on. Folders two and three levels
// deep, files at the top, zlib entries (78 DA) and plain ones, and for the viewer a palette of
// its own at the top (COLOR.PAL), two still FRMs (ART\INTRFACE\IFACE.FRM and BARTER.FRM) and
// an animated one (ART\MISC\BEACON.FRM), all drawn here.
//
//   make_demo_dat <output.dat>

#include <zlib.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "dat_writer.h"
#include "frm_writer.h"

namespace {

// zlib at level 9 begins its streams with 78 DA, the header the archive format packs with.
std::string Deflate(const std::string& text) {
    return datwriter::Zlib(text, 9);
}

std::string Repeat(const std::string& line, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += std::to_string(i) + ": " + line + "\n";
    return out;
}

datwriter::Entry Packed(const std::string& name, const std::string& text) {
    datwriter::Entry e = datwriter::Make(name, Deflate(text));
    e.realSize = static_cast<std::uint32_t>(text.size());
    e.type = 1;
    return e;
}

datwriter::Entry Plain(const std::string& name, const std::string& bytes) {
    return datwriter::Make(name, bytes);
}

// Index 0 black (transparent in frames), 1 a pure orange the real-window test looks for,
// then six ramps of 32 shades (red, yellow, green, cyan, blue, magenta) and greys at the end.
// Components are 6-bit, as the game's palettes store them.
std::string DemoPalette() {
    return frmwriter::SixBitPalette([](int i) -> std::array<int, 3> {
        if (i == 0) return {0, 0, 0};
        if (i == 1) return {63, 32, 0};
        if (i >= 194) {
            const int grey = (i - 194) * 63 / 61;
            return {grey, grey, grey};
        }
        static const std::array<std::array<int, 3>, 6> kHues = {
            {{1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 1, 1}, {0, 0, 1}, {1, 0, 1}}};
        const auto& hue = kHues[static_cast<std::size_t>((i - 2) / 32)];
        const int level = 8 + (i - 2) % 32 * 55 / 31;
        return {hue[0] * level, hue[1] * level, hue[2] * level};
    });
}

// A beacon: an orange core inside a ring that grows and fades over eight frames, one colour
// ramp per direction, so the direction and frame chosen in the viewer can be told apart.
std::string BeaconFrm() {
    constexpr int kSize = 24;
    frmwriter::Frm frm;
    frm.framesPerSecond = 8;
    for (int d = 0; d < 6; ++d) {
        std::vector<frmwriter::Frame> frames;
        for (int f = 0; f < 8; ++f) {
            frames.push_back(frmwriter::Draw(kSize, kSize, [&](int x, int y) {
                const int dx = 2 * x + 1 - kSize;
                const int dy = 2 * y + 1 - kSize;
                const int r2 = dx * dx + dy * dy;  // squared distance, in half pixels
                if (r2 <= 36) return 1;
                const int ring = 8 + 2 * f;  // radius, in half pixels
                if (r2 >= (ring - 3) * (ring - 3) && r2 <= (ring + 3) * (ring + 3))
                    return 2 + 32 * d + 31 - 3 * f;
                return 0;
            }));
        }
        frm.directions.push_back(frames);
    }
    return frmwriter::BuildFrm(frm);
}

// Palette indexes of DemoPalette: shade 0-31 of one of its six hues, or grey level 0-61.
enum Hue { kRed, kYellow, kGreen, kCyan, kBlue, kMagenta };
int Shade(Hue hue, int shade) {
    return 2 + 32 * hue + shade;
}
int Grey(int level) {
    return 194 + level;
}

// A grey panel whose two-pixel edge is lit at the top and left and shaded at the bottom and
// right, as the game's interface pieces are; `inside` paints over it where it returns a colour.
template <typename Inside>
std::string PanelFrm(std::uint16_t width, std::uint16_t height, Inside inside) {
    frmwriter::Frm frm;
    frm.directions.push_back({frmwriter::Draw(width, height, [&](int x, int y) {
        if (const int colour = inside(x, y); colour != 0) return colour;
        if (x < 2 || y < 2) return Grey(52);
        if (x >= width - 2 || y >= height - 2) return Grey(12);
        return Grey(30);
    })});
    return frmwriter::BuildFrm(frm);
}

bool Within(int v, int low, int high) {
    return v >= low && v <= high;
}

// The interface bar: a green message screen with lines of "text", three round buttons and a
// red hit-point counter.
std::string IfaceFrm() {
    return PanelFrm(200, 50, [](int x, int y) {
        if (Within(x, 8, 67) && Within(y, 8, 41)) {
            const bool textRow = Within(y, 11, 38) && (y - 11) % 6 < 2;
            const bool inWord = (x * 7 + y * 3) / 9 % 5 != 0 && Within(x, 11, 64);
            return textRow && inWord ? Shade(kGreen, 28) : Shade(kGreen, 5);
        }
        for (const int cx : {88, 113, 138}) {
            const int dx = x - cx;
            const int dy = y - 25;
            if (dx * dx + dy * dy <= 64) return Shade(kRed, dx + dy < -4 ? 30 : 18);
        }
        if (Within(x, 158, 191) && Within(y, 15, 34)) {
            const bool digit =
                (x - 158) % 11 < 9 && Within((x - 158) % 11, 1, 7) && Within(y, 18, 31) &&
                (y == 18 || y == 24 || y == 31 || (x - 158) % 11 == 1 || (x - 158) % 11 == 7);
            return digit ? Shade(kRed, 31) : Shade(kRed, 2);
        }
        return 0;
    });
}

// The barter screen: two tables of item slots, the player's and the trader's, and the trade
// button between them.
std::string BarterFrm() {
    return PanelFrm(160, 100, [](int x, int y) {
        for (const int left : {8, 92}) {
            if (!Within(x, left, left + 59) || !Within(y, 8, 79)) continue;
            const int slotX = (x - left) % 20;
            const int slotY = (y - 8) % 24;
            const bool edge = slotX == 2 || slotX == 17 || slotY == 2 || slotY == 21;
            const bool inSlot = Within(slotX, 2, 17) && Within(slotY, 2, 21);
            return inSlot && edge ? Shade(kCyan, 22) : Shade(kBlue, 6);
        }
        if (Within(x, 58, 101) && Within(y, 84, 94)) {
            return y == 84 || x == 58 ? Shade(kYellow, 31) : Shade(kYellow, 20);
        }
        return 0;
    });
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output.dat>\n", argv[0]);
        return 2;
    }
    const std::vector<datwriter::Entry> entries = {
        Plain("README.TXT",
              "A demonstration archive for TARVIX.\r\nOpen a folder on the left.\r\n"),
        Packed("ART\\INTRFACE\\IFACE.FRM", IfaceFrm()),
        Packed("ART\\INTRFACE\\BARTER.FRM", BarterFrm()),
        Plain("ART\\INTRFACE\\ENDANIM.LST", "ENDANIM1.FRM\r\nENDANIM2.FRM\r\n"),
        Packed("ART\\CRITTERS\\HMJMPSAA.FRM", Repeat("leather jacket walking", 300)),
        Packed("ART\\CRITTERS\\HFJMPSAA.FRM", Repeat("leather jacket standing", 280)),
        Plain("ART\\CRITTERS\\CRITTERS.LST", "HMJMPS,11\r\nHFJMPS,11\r\n"),
        Packed("TEXT\\ENGLISH\\GAME\\MISC.MSG", Repeat("{100}{}{You see nothing special.}", 50)),
        Packed("TEXT\\ENGLISH\\GAME\\PROTO.MSG", Repeat("{200}{}{A rusty knife.}", 40)),
        Plain("TEXT\\ENGLISH\\DIALOG\\ACBOB.MSG", "{100}{}{Hello, stranger.}\r\n"),
        Packed("TEXT\\ENGLISH\\DIALOG\\ACKLINT.MSG", Repeat("{101}{}{The temple awaits.}", 30)),
        Packed("SCRIPTS\\ARTEMPLE.INT", Repeat("push_d op_call temple_init", 90)),
        Plain("SCRIPTS\\SCRIPTS.LST", "artemple.int ; Temple of Trials\r\n"),
        Packed("SOUND\\SFX\\WAV\\IISXXXX1.ACM", Repeat("sound sample block", 150)),
        Plain("COLOR.PAL", DemoPalette()),
        Plain("EMPTY.TXT", ""),
        // Added after the entries above, which keep their order for the real-window test.
        Packed("ART\\MISC\\BEACON.FRM", BeaconFrm()),
    };
    if (!datwriter::WriteFile(argv[1], datwriter::BuildDat(entries))) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
