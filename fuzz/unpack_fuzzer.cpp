// Runs arbitrary stored bytes through unpacking: the input is a RealSize (4 bytes, little-
// endian, kept below 1 MiB), a Type byte and the stored bytes of one entry. The entry is put in
// an archive and extracted with "Unpack packed files", which inflates it whole (libdeflate);
// a Type 1 entry is also inflated in memory through the streamed path (zlib) that larger
// entries take. zlib's own one-shot uncompress is the oracle for what must come out of both.
// Any broken promise aborts, so the fuzzer reports it.
//
// Built with -fsanitize=fuzzer this is a libFuzzer target; with replay_main.cpp, a plain
// program that runs every file of the folders named on its command line once.

#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "archive/dat_archive.h"
#include "archive/entry_table.h"
#include "archive/folder_index.h"
#include "dat_writer.h"
#include "extract/entry_extractor.h"
#include "extract/entry_inflater.h"

#include "fuzz_promises.h"

namespace {

namespace fs = std::filesystem;
using namespace tarvix;

[[noreturn]] void Fail(const char* what) {
    fuzzing::Fail("unpack_fuzzer", what);
}

void Check(bool condition, const char* what) {
    if (!condition) Fail(what);
}

fs::path ScratchDir() {
    return fuzzing::ScratchDir("unpack");
}

// What unpacking must write: the stored bytes for Type 0, the stream's content for Type 1 when
// it is one whole valid stream of exactly `realSize` bytes, nothing otherwise.
bool Expected(std::uint8_t type, std::uint32_t realSize, const std::string& stored,
              std::string& content) {
    if (type == 0) {
        content = stored;
        return true;
    }
    std::string out(std::size_t{realSize} + 1, '\0');
    uLongf outSize = static_cast<uLongf>(out.size());
    uLong used = static_cast<uLong>(stored.size());
    const int result = uncompress2(reinterpret_cast<Bytef*>(out.data()), &outSize,
                                   reinterpret_cast<const Bytef*>(stored.data()), &used);
    if (result != Z_OK || outSize != realSize || used != stored.size()) return false;
    content = out.substr(0, realSize);
    return true;
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The entry inflated in memory on the streamed path, whatever its size.
StreamResult InflateStreamed(const DatArchive& archive, const EntryTable& table,
                             std::string& content) {
    const EntryInfo info = GetEntryInfo(table, 0);
    StoredBytes stored(archive, info, nullptr);
    if (!stored.readNext()) return StreamResult::ReadFailed;
    EntryInflater streamed(0);
    return streamed.inflate(
        stored, info.realSize,
        [&content](const std::uint8_t* data, std::size_t size) {
            content.append(reinterpret_cast<const char*>(data), size);
            return true;
        },
        nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) return 0;
    const std::uint32_t realSize =
        (data[0] | data[1] << 8 | data[2] << 16 | std::uint32_t{data[3]} << 24) & 0xFFFFF;
    const std::uint8_t type = data[4] % 3;  // stored, zlib, and one unknown
    const std::string stored(reinterpret_cast<const char*>(data + 5), size - 5);

    const fs::path dir = ScratchDir();
    const fs::path archivePath = dir / "in.dat";
    datwriter::Entry entry = datwriter::Make("D\\F", stored);
    entry.type = type;
    entry.realSize = realSize;
    if (!datwriter::WriteFile(archivePath.string(), datwriter::BuildDat({entry}))) {
        Fail("cannot write the archive");
    }
    DatArchive archive;
    Check(archive.load(archivePath).ok, "a written archive was refused");
    EntryTable table;
    FolderIndex folders;
    folders.BuildFolderTree(archive, table);

    const fs::path out = dir / "out";
    fs::create_directory(out);
    const std::string outcome = OutcomeText(
        ExtractEntry(archive, table, 0, ExtractTarget{out, std::string("D"), true}), "");

    std::string content;
    const bool valid = Expected(type, realSize, stored, content);
    if (type == 2) {
        Check(outcome == UnknownPackingOutcome(2), "an unknown Type was not refused");
    } else if (valid) {
        Check(outcome == kOutcomeOk, "a valid entry was not unpacked");
        Check(ReadAll(out / "D" / "F") == content, "the unpacked content differs from zlib's");
    } else {
        Check(outcome == kOutcomeDamaged, "a damaged stream was not reported as damaged");
    }
    if (outcome != kOutcomeOk) Check(fs::is_empty(out), "a failed entry left something behind");
    if (type == 1) {
        std::string streamed;
        const StreamResult result = InflateStreamed(archive, table, streamed);
        Check((result == StreamResult::Ok) == valid, "the streamed path judged otherwise");
        Check(!valid || streamed == content, "the streamed content differs from zlib's");
    }
    std::error_code ec;
    fs::remove_all(out, ec);
    return 0;
}
