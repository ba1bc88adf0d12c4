// Writes samples/fallout1.dat: a small archive in Fallout 1's layout (DAT1) to try the program
// on. Files at the top ("."), folders two and three levels deep, and every packing the game
// reads: stored (0x20), LZSS in blocks (0x40, one with a stored block) and one LZSS stream
// (0x10). The real-window test extracts TEXT\ENGLISH\GAME\VAULT13.MSG unpacked and knows its
// content: "{<100 + i>}{}{Vault 13 needs a water chip.}\r\n" for i from 0 to 59.
//
//   make_fallout1_dat <output.dat>

#include <cstdio>
#include <string>
#include <vector>

#include "dat_writer.h"
#include "lzss_encoder.h"

namespace {

std::string Lines(const std::string& text, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += "{" + std::to_string(100 + i) + "}{}{" + text + "}\r\n";
    return out;
}

datwriter::Dat1File Stream(const std::string& name, const std::string& content) {
    datwriter::Dat1File f = datwriter::Dat1Stored(name, datwriter::LzssEncode(content));
    f.attributes = 0x10;
    f.size = static_cast<std::uint32_t>(content.size());
    return f;
}

// Bytes LZSS cannot shorten, so their block is stored (header 0x8000 | length).
std::string Noise(std::size_t size) {
    std::string out;
    for (std::uint32_t x = 2463534242u; out.size() < size;) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        out.push_back(static_cast<char>(x & 0xFF));
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fallout1_dat <output.dat>\n");
        return 2;
    }
    using datwriter::Dat1Packed;
    using datwriter::Dat1Stored;
    const std::vector<datwriter::Dat1Directory> directories = {
        {".",
         {Dat1Stored("README.TXT",
                     "A Fallout 1 (DAT1) sample made by TARVIX's tools; no game data.\r\n"),
          Dat1Stored("EMPTY.TXT", "")}},
        {"ART\\CRITTERS",
         {Dat1Packed("HMJMPSAA.FRM", Lines("leather jacket walking", 120)),
          Dat1Stored("CRITTERS.LST", "HMJMPS,11\r\n")}},
        {"ART\\INTRFACE", {Dat1Packed("IFACE.FRM", Lines("interface frame pixel row", 80))}},
        {"SOUND\\SFX", {Dat1Packed("NOISE.ACM", Noise(3000))}},
        {"TEXT\\ENGLISH\\GAME",
         {Dat1Packed("VAULT13.MSG", Lines("Vault 13 needs a water chip.", 60)),
          Stream("MISC.MSG", Lines("You see nothing special.", 40)),
          Dat1Stored("WORLDMAP.MSG", "{100}{}{The Glow}\r\n")}},
    };
    if (!datwriter::WriteFile(argv[1], datwriter::BuildDat1(directories))) {
        std::fprintf(stderr, "make_fallout1_dat: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
