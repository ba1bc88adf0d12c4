// Runs arbitrary bytes through everything that reads an archive: loading and checking it,
// walking its entries into the folder index, reading every entry's fields, and extracting one
// entry into a scratch folder. Any broken promise aborts, so the fuzzer reports it.
//
// Built with -fsanitize=fuzzer this is a libFuzzer target. Linked with replay_main.cpp it is a
// plain program that runs every file (or every file of every folder) named on its command line
// once, which is how the normal test run checks the committed corpus.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <system_error>

#include "archive/dat_archive.h"
#include "archive/dat_entry.h"
#include "archive/entry_table.h"
#include "archive/folder_index.h"
#include "extract/entry_extractor.h"
#include "extract/safe_path.h"

namespace {

namespace fs = std::filesystem;
using namespace tarvix;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "load_fuzzer: broken promise: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

void Check(bool condition, const char* what) {
    if (!condition) Fail(what);
}

// One scratch folder per process, removed at exit.
class Scratch {
public:
    Scratch() {
        std::random_device rd;
        dir_ = fs::temp_directory_path() / ("tarvix-fuzz-" + std::to_string(rd()));
        fs::create_directories(dir_);
    }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    const fs::path& dir() const { return dir_; }

private:
    fs::path dir_;
};

const Scratch& TheScratch() {
    static const Scratch scratch;
    return scratch;
}

bool IsKnownRefusal(const std::string& message) {
    static const std::set<std::string> known = {
        messages::kSizeMismatch, messages::kTooShort,     messages::kTreeTooSmall,
        messages::kTreeTooLarge, messages::kShortDirTree, messages::kEntryOverrun,
        messages::kNoMemory,
    };
    return known.count(message) != 0;
}

// Every regular file below `dir`, and whether anything else than folders and files is there.
std::uintmax_t CountFiles(const fs::path& dir, fs::path& last) {
    std::uintmax_t files = 0;
    for (const auto& item : fs::recursive_directory_iterator(dir)) {
        if (item.is_symlink()) Fail("extraction made a link");
        if (item.is_regular_file()) {
            ++files;
            last = item.path();
        }
    }
    return files;
}

// Extracts entry `index`, with or without its folder path, and checks what it left on disk.
void ExtractOne(DatArchive& archive, const EntryTable& table, EntryIndex index, bool preserve,
                const std::uint8_t* bytes) {
    const fs::path& root = TheScratch().dir();
    const fs::path out = root / "out";
    fs::create_directory(out);

    const EntryInfo info = GetEntryInfo(table, index);
    ExtractTarget target{out, std::nullopt};
    if (preserve) target.preservedFolder = std::string(SplitFolderAndFile(info.name).folder);
    const std::string outcome = OutcomeText(ExtractEntry(archive, table, index, target), "");

    for (const auto& item : fs::directory_iterator(root)) {
        const auto name = item.path().filename();
        Check(name == "in.dat" || name == "out", "extraction wrote outside its destination");
    }
    fs::path written;
    const std::uintmax_t files = CountFiles(out, written);
    if (outcome == kOutcomeOk) {
        Check(files == 1, "a successful extraction did not leave exactly one file");
        const std::string_view fileName = SplitFolderAndFile(info.name).file;
        const bool gzip =
            info.packedSize >= 2 && bytes[info.offset] == 0x78 && bytes[info.offset + 1] == 0xDA;
        fs::path expectedName = ComponentToPath(fileName);
        if (gzip) expectedName += ".gz";
        Check(written.filename() == expectedName, "the extracted file has the wrong name");
        const std::uintmax_t expected =
            gzip ? 10 + fileName.size() + 1 + info.packedSize - 2 : info.packedSize;
        Check(fs::file_size(written) == expected, "the extracted file has the wrong length");
        if (!preserve) Check(written.parent_path() == out, "a flat extraction made a folder");
    } else {
        Check(outcome == kOutcomeCannotRead || outcome.rfind("Cannot write ", 0) == 0,
              "an unknown extraction outcome");
        Check(files == 0, "a failed extraction left a file behind");
    }
    std::error_code ec;
    fs::remove_all(out, ec);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path archivePath = TheScratch().dir() / "in.dat";
    {
        std::ofstream file(archivePath, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!file) Fail("cannot write the input to the scratch folder");
    }

    DatArchive archive;
    const DatArchive::LoadResult result = archive.load(archivePath);
    if (!result.ok) {
        Check(IsKnownRefusal(result.message), "a refusal without one of the known messages");
        Check(!archive.isLoaded() && archive.dirBlock().empty(), "a refused archive kept state");
        return 0;
    }
    if (archive.format() == ArchiveFormat::Dat1) return 0;  // dat1_fuzzer's part
    Check(archive.dataSize() == size, "loaded although DataSize is not the file's length");
    Check(archive.treeSize() >= 4 && archive.treeSize() <= size - 8, "TreeSize out of range");
    Check(archive.dirBlock().size() == archive.treeSize() - 4, "the entry list has a wrong size");

    EntryTable table;
    FolderIndex folders;
    folders.BuildFolderTree(archive, table);

    const std::size_t count = archive.entryCount();
    const std::uint8_t* begin = archive.dirBlock().data();
    const std::uint8_t* end = begin + archive.dirBlock().size();
    for (EntryIndex i = 0; i < count; ++i) {
        const std::uint8_t* entry = table[i];
        Check(entry != nullptr && entry >= begin && entry + kEntryFixedBytes <= end,
              "an entry outside the entry list");
        const EntryInfo info = GetEntryInfo(table, i);
        const EntrySizes sizes = GetEntrySizes(table, i);
        Check(info.realSize == sizes.realSize && info.packedSize == sizes.packedSize,
              "GetEntryInfo and GetEntrySizes disagree");
        Check(info.name.size() <= ReadU32LE(entry), "a name longer than its NameSize");
    }
    Check(table[static_cast<EntryIndex>(count)] == nullptr, "no null after the last entry");

    std::size_t listed = 0;
    for (NodeId n = 0; n < folders.nodeCount(); ++n) {
        listed += folders.filesOf(n).size();
        if (n != FolderIndex::kRoot) {
            const FolderNode& node = folders.node(n);
            Check(node.parent < n && node.depth == folders.node(node.parent).depth + 1,
                  "a folder node out of order");
            (void)folders.pathOf(n);
        }
    }
    Check(listed == count, "not every entry is listed in exactly one folder");

    if (count > 0) {
        // FilesTotal is never trusted, so it is free to steer which entry is extracted and how.
        const std::uint32_t filesTotal = ReadU32LE(data + (size - 8 - archive.treeSize()));
        ExtractOne(archive, table, static_cast<EntryIndex>(filesTotal % count),
                   (filesTotal & 0x80000000u) != 0, data);
    }
    return 0;
}
