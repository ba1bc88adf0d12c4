// Writes samples/demo.dat: a small archive to try the program on. Folders two and three levels
// deep, files at the top, zlib entries (78 DA) and plain ones.
//
//   make_demo_dat <output.dat>

#include <zlib.h>

#include <cstdio>
#include <string>
#include <vector>

#include "dat_writer.h"

namespace {

// zlib at level 9 begins its streams with 78 DA, the header the archive format packs with.
std::string Deflate(const std::string& text) {
    uLongf size = compressBound(static_cast<uLong>(text.size()));
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size,
              reinterpret_cast<const Bytef*>(text.data()), static_cast<uLong>(text.size()), 9);
    out.resize(size);
    return out;
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
        Plain("COLOR.PAL", std::string(768, '\x20')),
        Plain("EMPTY.TXT", ""),
    };
    if (!datwriter::WriteFile(argv[1], datwriter::BuildDat(entries))) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
