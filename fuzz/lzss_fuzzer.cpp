// Runs arbitrary packed bytes through Fallout 1's unpacking: the input is a selector byte
// (0x10 one LZSS stream, 0x40 LZSS blocks, or stored), a Size (3 bytes, little-endian) and the
// stored bytes of one entry. The entry is put in a DAT1 archive and unpacked by extraction
// ("Unpack packed files"), by check and by the viewer's loading; a plain reading of the rules
// (lzss_reference.h) is the oracle for what each must find. Any broken promise aborts.
//
// Built with -fsanitize=fuzzer this is a libFuzzer target; with replay_main.cpp, a plain
// program that runs every file of the folders named on its command line once.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <system_error>

#include "archive/dat_archive.h"
#include "archive/entry_table.h"
#include "dat_writer.h"
#include "extract/entry_check.h"
#include "extract/entry_content.h"
#include "extract/entry_extractor.h"
#include "extract/entry_outcome.h"
#include "lzss_reference.h"

#include "fuzz_promises.h"

namespace {

namespace fs = std::filesystem;
using namespace tarvix;

[[noreturn]] void Fail(const char* what) {
    fuzzing::Fail("lzss_fuzzer", what);
}

void Check(bool condition, const char* what) {
    if (!condition) Fail(what);
}

fs::path ScratchDir() {
    return fuzzing::ScratchDir("lzss");
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::uint32_t AttributesOf(std::uint8_t selector) {
    switch (selector % 3) {
        case 0:
            return 0x10;
        case 1:
            return 0x40;
        default:
            return 0x20;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const std::uint32_t attributes = AttributesOf(data[0]);
    const std::uint32_t realSize = data[1] | data[2] << 8 | (data[3] & 0x0Fu) << 16;
    const std::string stored(reinterpret_cast<const char*>(data + 4), size - 4);

    datwriter::Dat1File file = datwriter::Dat1Stored("F", stored);
    file.attributes = attributes;
    if (attributes != 0x20) file.size = realSize;
    const fs::path dir = ScratchDir();
    const fs::path archivePath = dir / "in.dat";
    if (!datwriter::WriteFile(archivePath.string(), datwriter::BuildDat1({{"D", {file}}}))) {
        Fail("cannot write the archive");
    }
    DatArchive archive;
    Check(archive.load(archivePath).ok, "a written DAT1 archive was refused");
    Check(archive.format() == ArchiveFormat::Dat1, "a DAT1 archive loaded as another format");
    EntryTable table;
    FillEntryTable(archive, table);

    const auto expected = attributes == 0x20 ? std::optional<std::string>(stored)
                                             : lzssref::Unpack(stored, attributes, realSize);
    const fs::path out = dir / "out";
    fs::create_directory(out);
    const std::string outcome = OutcomeText(
        ExtractEntry(archive, table, 0, ExtractTarget{out, std::string("D"), true}), "D\\F");
    if (expected) {
        Check(outcome == kOutcomeOk, "a valid entry was not unpacked");
        Check(ReadAll(out / "D" / "F") == *expected, "the unpacked content differs");
    } else {
        Check(outcome == kOutcomeDamaged, "a damaged entry was not reported as damaged");
        Check(fs::is_empty(out), "a failed entry left something behind");
    }
    std::error_code ec;
    fs::remove_all(out, ec);

    const EntryCheck check = CheckEntry(archive, table, 0);
    Check(check.problems.empty() == expected.has_value(), "check judged otherwise");

    const EntryContent content = LoadEntryContent(archive, table, 0);
    Check((content.status == EntryContent::Status::Ok) == expected.has_value(),
          "the viewer judged otherwise");
    if (expected) {
        Check(std::string(content.bytes.begin(), content.bytes.end()) == *expected,
              "the viewer's content differs");
    } else {
        Check(content.bytes.size() <= realSize, "the viewer kept more than Size bytes");
    }
    return 0;
}
