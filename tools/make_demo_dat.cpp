// Writes samples/demo.dat: a small archive to try the program on. Folders two and three levels
// deep, files at the top, zlib entries (78 DA) and plain ones, and for the viewer a palette of
// its own at the top (COLOR.PAL) and an animated FRM drawn here (ART\MISC\BEACON.FRM).
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

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output.dat>\n", argv[0]);
        return 2;
    }
    const std::vector<datwriter::Entry> entries = {
        Plain("README.TXT",
              "A demonstration archive for TARVIX.\r\nOpen a folder on the left.\r\n"),
        Packed("ART\\INTRFACE\\IFACE.FRM", Repeat("interface frame pixel row", 200)),
        Packed("ART\\INTRFACE\\BARTER.FRM", Repeat("barter screen pixel row", 120)),
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
