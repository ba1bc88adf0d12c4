#include "hash_flood.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "archive/dat_archive.h"
#include "archive/dat_entry.h"
#include "archive/entry_table.h"
#include "archive/folder_index.h"
#include "dat_writer.h"

namespace tarvix::bench {
namespace {

namespace fs = std::filesystem;

// The former hash's state after each 8-byte word; its tag depended on nothing else for
// 16-byte paths.
constexpr std::uint64_t kSeed = 0x243F6A8885A308D3ull;
constexpr std::uint64_t kWordFactor = 0xFF51AFD7ED558CCDull;
constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;

std::uint64_t Rotl(std::uint64_t x, int bits) {
    return (x << bits) | (x >> (64 - bits));
}

std::uint64_t Mix(std::uint64_t state, std::uint64_t word) {
    return Rotl((state ^ (word * kWordFactor)) * kMultiplier, 31);
}

// The inverse of an odd number modulo 2^64, by Newton's iteration.
std::uint64_t Inverse(std::uint64_t odd) {
    std::uint64_t inverse = odd;
    for (int i = 0; i < 6; ++i) inverse *= 2 - odd * inverse;
    return inverse;
}

// The word that takes `state` to `target`: Mix run backwards.
std::uint64_t WordReaching(std::uint64_t state, std::uint64_t target) {
    static const std::uint64_t kFactorInverse = Inverse(kWordFactor);
    static const std::uint64_t kMultiplierInverse = Inverse(kMultiplier);
    return ((Rotl(target, 33) * kMultiplierInverse) ^ state) * kFactorInverse;
}

std::uint64_t Word(const std::string& bytes, std::size_t at) {
    std::uint64_t word;
    std::memcpy(&word, bytes.data() + at, 8);
    return word;
}

bool UsableInName(const std::string& bytes) {
    return bytes.find('\0') == std::string::npos && bytes.find('\\') == std::string::npos;
}

std::string RandomWord(std::mt19937_64& rng) {
    std::string word(8, 'A');
    for (char& c : word) c = static_cast<char>('A' + rng() % 26);
    return word;
}

// Folder names whose former-hash state is one and the same: a random first word, then the
// second word that leads to the common state, drawn again when it holds a byte a name cannot.
std::vector<std::string> CraftedNames(std::size_t count, std::mt19937_64& rng) {
    const std::uint64_t target = Mix(Mix(kSeed, Word("AAAAAAAA", 0)), Word("AAAAAAAA", 0));
    std::vector<std::string> names;
    while (names.size() < count) {
        const std::string first = RandomWord(rng);
        const std::uint64_t second = WordReaching(Mix(kSeed, Word(first, 0)), target);
        std::string name = first + std::string(8, '\0');
        std::memcpy(name.data() + 8, &second, 8);
        if (UsableInName(name)) names.push_back(std::move(name));
    }
    return names;
}

std::vector<std::string> RandomNames(std::size_t count, std::mt19937_64& rng) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < count; ++i) names.push_back(RandomWord(rng) + RandomWord(rng));
    return names;
}

fs::path WriteFolders(const std::vector<std::string>& names, const fs::path& path) {
    if (fs::exists(path)) return path;
    std::vector<datwriter::Entry> entries;
    entries.reserve(names.size());
    for (const std::string& name : names) entries.push_back(datwriter::Make(name + "\\F", "x"));
    fs::create_directories(path.parent_path());
    datwriter::WriteFile(path.string(), datwriter::BuildDat(entries));
    return path;
}

}  // namespace

FloodArchives EnsureFloodArchives(std::size_t folders, const fs::path& workDir) {
    std::mt19937_64 rng(folders);
    const std::string suffix = std::string("-").append(std::to_string(folders)).append("-v1.dat");
    return {WriteFolders(CraftedNames(folders, rng), workDir / ("flood-crafted" + suffix)),
            WriteFolders(RandomNames(folders, rng), workDir / ("flood-random" + suffix))};
}

bool AllCollideUnderFormerHash(const fs::path& crafted) {
    DatArchive archive;
    if (!archive.load(crafted).ok) return false;
    EntryTable table;
    FolderIndex folders;
    folders.BuildFolderTree(archive, table);
    std::uint64_t common = 0;
    for (NodeId id = 1; id < folders.nodeCount(); ++id) {
        const std::string path = folders.pathOf(id);
        if (path.size() != 16) return false;
        const std::uint64_t state = Mix(Mix(kSeed, Word(path, 0)), Word(path, 8));
        if (id > 1 && state != common) return false;
        common = state;
    }
    return folders.nodeCount() > 2;
}

}  // namespace tarvix::bench
