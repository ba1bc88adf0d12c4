// Runs arbitrary bytes through loading as Fallout 1's DAT1: loading, the entry table and the
// folder index, every entry's fields against a plain second parse of the same bytes, then
// checking and extracting (unpacked) one entry, which the header's last word chooses. Any
// broken promise aborts, so the fuzzer reports it.
//
// Built with -fsanitize=fuzzer this is a libFuzzer target; with replay_main.cpp, a plain
// program that runs every file of the folders named on its command line once.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "archive/cp1252.h"
#include "archive/dat_archive.h"
#include "archive/dat_entry.h"
#include "archive/entry_table.h"
#include "archive/folder_index.h"
#include "extract/entry_check.h"
#include "extract/entry_content.h"
#include "extract/entry_extractor.h"
#include "extract/entry_outcome.h"

#include "fuzz_promises.h"

namespace {

namespace fs = std::filesystem;
using namespace tarvix;

[[noreturn]] void Fail(const char* what) {
    fuzzing::Fail("dat1_fuzzer", what);
}

void Check(bool condition, const char* what) {
    if (!condition) Fail(what);
}

fs::path ScratchDir() {
    return fuzzing::ScratchDir("dat1");
}

struct RefEntry {
    std::string path;
    std::uint32_t attributes, offset, size, packedSize;
};

// The format read the plainest way: an index into the bytes, every read checked.
class RefParser {
public:
    RefParser(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::optional<std::vector<RefEntry>> parse() {
        std::uint32_t dirs = 0;
        if (!u32(dirs) || !skip(12) || dirs == 0) return std::nullopt;
        std::vector<std::string> names;
        for (std::uint32_t d = 0; d < dirs; ++d) {
            std::string name;
            if (!str(name)) return std::nullopt;
            names.push_back(name);
        }
        std::vector<RefEntry> entries;
        for (const std::string& dir : names) {
            std::uint32_t files = 0;
            if (!u32(files) || !skip(12)) return std::nullopt;
            for (std::uint32_t f = 0; f < files; ++f) {
                RefEntry e;
                std::string name;
                if (!str(name) || !u32(e.attributes) || !u32(e.offset) || !u32(e.size) ||
                    !u32(e.packedSize)) {
                    return std::nullopt;
                }
                e.path = dir == "." ? name : dir + "\\" + name;
                const std::uint32_t kind = (e.attributes == 0 ? 0x10 : e.attributes) & 0xF0;
                const std::uint64_t stored =
                    kind == 0x20 || (kind != 0x10 && kind != 0x40 && e.packedSize == 0)
                        ? e.size
                        : e.packedSize;
                if (e.offset + stored > size_) return std::nullopt;
                entries.push_back(e);
            }
        }
        return entries;
    }

private:
    bool u32(std::uint32_t& v) {
        if (size_ - at_ < 4) return false;
        v = std::uint32_t{data_[at_]} << 24 | data_[at_ + 1] << 16 | data_[at_ + 2] << 8 |
            data_[at_ + 3];
        at_ += 4;
        return true;
    }
    bool skip(std::size_t n) {
        if (size_ - at_ < n) return false;
        at_ += n;
        return true;
    }
    bool str(std::string& s) {
        if (size_ - at_ < 1) return false;
        const std::size_t n = data_[at_++];
        if (size_ - at_ < n) return false;
        s.assign(reinterpret_cast<const char*>(data_ + at_), n);
        at_ += n;
        return true;
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

std::string CutAtZero(const std::string& s) {
    return s.substr(0, s.find('\0'));
}

void CheckOne(const DatArchive& archive, const EntryTable& table, EntryIndex index) {
    const EntryInfo info = GetEntryInfo(table, index);
    const fs::path out = ScratchDir() / "out";
    fs::create_directory(out);
    const std::string outcome =
        OutcomeText(ExtractEntry(archive, table, index, ExtractTarget{out, std::nullopt, true}),
                    Cp1252ToUtf8(info.name));
    std::uintmax_t files = 0;
    for (const auto& item : fs::recursive_directory_iterator(out)) files += item.is_regular_file();
    if (outcome == kOutcomeOk) {
        Check(files == 1, "a successful extraction did not leave exactly one file");
        for (const auto& item : fs::directory_iterator(out)) {
            const std::uintmax_t expected =
                info.packing == PackingKind::Stored ? info.storedSize : info.realSize;
            Check(item.file_size() == expected, "the extracted file has the wrong length");
        }
    } else {
        Check(files == 0, "a failed extraction left a file behind");
    }
    std::error_code ec;
    fs::remove_all(out, ec);

    const EntryCheck check = CheckEntry(archive, table, index);
    const bool unpacked = outcome == kOutcomeOk;
    const bool contentProblem =
        outcome == kOutcomeDamaged || outcome.rfind("Unknown packing", 0) == 0;
    if (unpacked) {
        for (const std::string& p : check.problems) {
            Check(p.rfind("Unsafe name", 0) == 0 || p.rfind("Empty file name", 0) == 0,
                  "check found a content problem in an entry that unpacked");
        }
    }
    if (contentProblem) Check(!check.problems.empty(), "check missed a damaged entry");

    const EntryContent content = LoadEntryContent(archive, table, index);
    if (content.status == EntryContent::Status::Ok) {
        Check(!contentProblem, "the viewer loaded a damaged entry");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path archivePath = ScratchDir() / "in.dat";
    {
        std::ofstream file(archivePath, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!file) Fail("cannot write the input to the scratch folder");
    }
    DatArchive archive;
    const DatArchive::LoadResult result = archive.load(archivePath);
    if (result.ok && archive.format() == ArchiveFormat::Dat2) return 0;  // load_fuzzer's part

    const auto reference = RefParser(data, size).parse();
    Check(result.ok == reference.has_value(), "loading and the plain parse disagree");
    if (!result.ok) {
        Check(!archive.isLoaded() && archive.dirBlock().empty(), "a refused archive kept state");
        return 0;
    }
    Check(archive.dataSize() == size && archive.treeSize() == 0, "a DAT1's sizes are wrong");
    Check(archive.entryCount() == reference->size(), "a wrong number of entries");

    EntryTable table;
    FolderIndex folders;
    folders.BuildFolderTree(archive, table);
    for (EntryIndex i = 0; i < reference->size(); ++i) {
        const RefEntry& ref = (*reference)[i];
        const EntryInfo info = GetEntryInfo(table, i);
        Check(info.format == ArchiveFormat::Dat1, "an entry of the wrong format");
        Check(info.name == CutAtZero(ref.path), "an entry's path differs");
        Check(info.type == ref.attributes && info.offset == ref.offset &&
                  info.realSize == ref.size && info.packedSize == ref.packedSize,
              "an entry's fields differ");
        Check(std::uint64_t{info.offset} + info.storedSize <= size, "stored bytes past the end");
        const EntrySizes sizes = GetEntrySizes(table, i);
        Check(sizes.realSize == info.realSize && sizes.packedSize == info.storedSize,
              "GetEntryInfo and GetEntrySizes disagree");
    }
    Check(table[static_cast<EntryIndex>(reference->size())] == nullptr, "no null after the last");
    std::size_t listed = 0;
    for (NodeId n = 0; n < folders.nodeCount(); ++n) listed += folders.filesOf(n).size();
    Check(listed == reference->size(), "not every entry is listed in exactly one folder");

    if (!reference->empty() && size >= 16) {
        const std::uint32_t chooser =
            std::uint32_t{data[12]} << 24 | data[13] << 16 | data[14] << 8 | data[15];
        CheckOne(archive, table, static_cast<EntryIndex>(chooser % reference->size()));
    }
    return 0;
}
