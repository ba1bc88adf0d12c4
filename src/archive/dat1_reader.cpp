#include "archive/dat1_reader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "archive/dat_entry.h"
#include "archive/packing_kind.h"

namespace tarvix {
namespace {

constexpr std::size_t kHeaderWords = 4;
constexpr std::size_t kRecordFields = 16;                     // four words after the name
constexpr std::size_t kRecordFixedBytes = 1 + kRecordFields;  // and the name's length byte
constexpr std::size_t kLongestRecord = kRecordFixedBytes + 255;
constexpr std::size_t kDirectoryFixedBytes = 1 + kHeaderWords * 4;  // name length, FileCount block
// Bytes of an entry-list entry besides its path: NameSize, the zero byte and the Attributes
// after the path, Type, RealSize, PackedSize, Offset.
constexpr std::size_t kEntryBytesBesidesPath = 4 + kDat1NameTrailerBytes + kEntryFixedBytes - 4;
// The file is read through a window this size, shared by both passes: small enough to stay in
// the cache and to be allocated once (a window of 1 MiB per pass cost more page faults than
// the entry list itself for 23,000 entries), large enough that a million records arrive in a
// few hundred reads.
constexpr std::size_t kWindowBytes = std::size_t{64} * 1024;

std::uint32_t ReadU32BE(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | static_cast<std::uint32_t>(p[3]);
}

std::uint8_t* PutU32LE(std::uint8_t* out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) *out++ = static_cast<std::uint8_t>(v >> (8 * i));
    return out;
}

constexpr std::size_t kWordBytes = 16;

// Copies `size` bytes in whole words of 16 bytes, so up to 15 bytes past each end: a path is
// followed by 18 bytes of its entry, written afterwards, a record's name by its four words
// and a prefix by its padding. Paths are short, and a general copy of a few bytes (`rep movs`)
// cost a quarter of the loading.
void CopyInWords(std::uint8_t* to, const void* from, std::size_t size) {
    static_assert(kWordBytes <= kRecordFields && kWordBytes < kEntryBytesBesidesPath - 4);
    const auto* source = static_cast<const std::uint8_t*>(from);
    for (std::size_t i = 0; i < size; i += kWordBytes) std::memcpy(to + i, source + i, kWordBytes);
}

// What every path of a directory begins with: "DIR\", or nothing for ".", padded for
// CopyInWords (with backslashes: any byte would do).
struct Prefix {
    std::string padded;
    std::size_t size = 0;
};

// The file from its start, a few bytes at a time, through a window of fixed size.
class SequentialReader {
public:
    SequentialReader(const ArchiveFile& file, std::uint64_t length, std::uint8_t* window,
                     std::uint64_t start = 0)
        : file_(file), length_(length), window_(window), filePos_(start) {}

    // The next `n` bytes (n <= 255 + 16), or null when the file ends or cannot be read first.
    const std::uint8_t* take(std::size_t n) {
        if (end_ - begin_ < n && !refill(n)) return nullptr;
        const std::uint8_t* bytes = window_ + begin_;
        begin_ += n;
        return bytes;
    }
    // The next record whole (its name's length byte, the name, the four words), or null when
    // the file ends or cannot be read first. One check per record where the window holds the
    // longest one: reading records is most of the loading.
    const std::uint8_t* takeRecord() {
        if (end_ - begin_ < kLongestRecord && !refill(0)) return nullptr;
        if (end_ == begin_) return nullptr;
        const std::size_t size = kRecordFixedBytes + window_[begin_];
        if (end_ - begin_ < size) return nullptr;
        const std::uint8_t* record = window_ + begin_;
        begin_ += size;
        return record;
    }
    // Where the next byte lies in the file.
    std::uint64_t position() const { return filePos_ - (end_ - begin_); }
    std::uint64_t remaining() const { return length_ - position(); }

private:
    bool refill(std::size_t n) {
        std::memmove(window_, window_ + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
        const auto want = static_cast<std::size_t>(
            std::min<std::uint64_t>(kWindowBytes - end_, length_ - filePos_));
        const std::size_t got = file_.readAt(filePos_, window_ + end_, want);
        filePos_ += got;
        end_ += got;
        return got == want && end_ >= n;
    }

    const ArchiveFile& file_;
    std::uint64_t length_;
    std::uint8_t* window_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    std::uint64_t filePos_ = 0;
};

bool TakeU32(SequentialReader& in, std::uint32_t& value) {
    const std::uint8_t* p = in.take(4);
    if (p) value = ReadU32BE(p);
    return p != nullptr;
}

// A name after its 1-byte length: its bytes (inside the reader's window until the next take)
// and its length, or null.
const std::uint8_t* TakeName(SequentialReader& in, std::size_t& size) {
    const std::uint8_t* length = in.take(1);
    if (!length) return nullptr;
    size = *length;
    return in.take(size);
}

bool ReadDirectoryPrefixes(SequentialReader& in, std::vector<Prefix>& prefixes) {
    std::uint32_t count = 0;
    if (!TakeU32(in, count) || !in.take((kHeaderWords - 1) * 4)) return false;
    // Each directory takes at least its name's length byte and its FileCount's four words, so
    // a count beyond what the bytes left could hold is a lie. The prefixes grow as names are
    // read, never by the count: a large file that is no archive may claim millions.
    if (count == 0 || count > in.remaining() / kDirectoryFixedBytes) return false;
    for (std::uint32_t d = 0; d < count; ++d) {
        std::size_t size = 0;
        const std::uint8_t* name = TakeName(in, size);
        if (!name) return false;
        const bool top = size == 1 && name[0] == '.';
        Prefix& prefix = prefixes.emplace_back();
        prefix.size = top ? 0 : size + 1;
        prefix.padded.assign(prefix.size + kWordBytes, '\\');
        std::memcpy(prefix.padded.data(), name, top ? 0 : size);
    }
    return true;
}

// A directory's FileCount, after which its three other words are skipped; false when they are
// not there or the count is more than the bytes left could hold.
bool TakeFileCount(SequentialReader& in, std::uint32_t& files) {
    if (!TakeU32(in, files) || !in.take((kHeaderWords - 1) * 4)) return false;
    return files <= in.remaining() / kRecordFixedBytes;
}

struct ListSize {
    std::uint64_t bytes = 0;
    std::size_t count = 0;
};

// The first pass: where the records lie and how long the entry list for them is, nothing
// else. The second checks each record as it writes it.
bool MeasureRecords(SequentialReader& in, const std::vector<Prefix>& prefixes, ListSize& size) {
    for (const Prefix& prefix : prefixes) {
        std::uint32_t files = 0;
        if (!TakeFileCount(in, files)) return false;
        for (std::uint32_t i = 0; i < files; ++i) {
            const std::uint8_t* record = in.takeRecord();
            if (!record) return false;
            size.bytes += record[0];
        }
        size.bytes += std::uint64_t{files} * (prefix.size + kEntryBytesBesidesPath);
        size.count += files;
    }
    return true;
}

// The second pass: each record checked and written as Fallout 2's entry, into a list that
// may not pass `end` (the file may have grown since it was measured).
class RecordWriter {
public:
    RecordWriter(std::uint64_t fileLength, std::uint8_t* out, const std::uint8_t* end)
        : fileLength_(fileLength), out_(out), end_(end) {}

    bool writeDirectory(SequentialReader& in, const Prefix& prefix) {
        std::uint32_t files = 0;
        if (!TakeFileCount(in, files)) return false;
        for (std::uint32_t i = 0; i < files; ++i) {
            if (!writeRecord(in, prefix)) return false;
        }
        count_ += files;
        return true;
    }

    const std::uint8_t* end() const { return out_; }
    std::size_t count() const { return count_; }

private:
    bool writeRecord(SequentialReader& in, const Prefix& prefix) {
        const std::uint8_t* record = in.takeRecord();
        if (!record) return false;
        const std::size_t nameSize = record[0];
        const std::uint8_t* name = record + 1;
        const std::uint8_t* fields = name + nameSize;
        const std::uint32_t attributes = ReadU32BE(fields);
        const std::uint32_t offset = ReadU32BE(fields + 4);
        const std::uint32_t size = ReadU32BE(fields + 8);
        const std::uint32_t packedSize = ReadU32BE(fields + 12);
        const std::uint32_t stored =
            Dat1StoredSize(PackingOfAttributes(attributes), size, packedSize);
        if (std::uint64_t{offset} + stored > fileLength_) return false;

        const std::size_t pathSize = prefix.size + nameSize;
        if (static_cast<std::size_t>(end_ - out_) < pathSize + kEntryBytesBesidesPath) {
            return false;
        }
        std::uint8_t* p =
            PutU32LE(out_, static_cast<std::uint32_t>(pathSize + kDat1NameTrailerBytes));
        CopyInWords(p, prefix.padded.data(), prefix.size);
        CopyInWords(p + prefix.size, name, nameSize);
        p += pathSize;
        *p++ = 0;
        p = PutU32LE(p, attributes);
        *p++ = 0;  // Type: unused, the Attributes say how the entry is packed
        out_ = PutU32LE(PutU32LE(PutU32LE(p, size), packedSize), offset);
        return true;
    }

    std::uint64_t fileLength_;
    std::uint8_t* out_;
    const std::uint8_t* end_;
    std::size_t count_ = 0;
};

}  // namespace

std::optional<Dat1EntryList> ReadDat1(const ArchiveFile& file, std::uint64_t length) {
    // Two passes, the first only measuring, so that the list is allocated once at its size.
    // Growing it as the records came cost a page fault per fresh page and a copy per
    // doubling: 14 ms to open 23,000 entries against DAT2's 1 ms, which reads its list in one
    // piece.
    const auto window = std::make_unique_for_overwrite<std::uint8_t[]>(kWindowBytes);
    std::vector<Prefix> prefixes;
    ListSize size;
    std::uint64_t recordsStart = 0;
    {
        SequentialReader in(file, length, window.get());
        if (!ReadDirectoryPrefixes(in, prefixes)) return std::nullopt;
        recordsStart = in.position();
        if (!MeasureRecords(in, prefixes, size)) return std::nullopt;
    }
    if (size.bytes > SIZE_MAX) return std::nullopt;
    Dat1EntryList list;
    list.size = static_cast<std::size_t>(size.bytes);
    list.count = size.count;
    list.block = AllocateLargeBlock(list.size);
    if (!list.block) throw std::bad_alloc();

    // Should the file change between the passes, every record is still checked, and the list
    // must come out as long as measured.
    SequentialReader in(file, length, window.get(), recordsStart);
    RecordWriter records(length, list.block.get(), list.block.get() + list.size);
    for (const Prefix& prefix : prefixes) {
        if (!records.writeDirectory(in, prefix)) return std::nullopt;
    }
    if (records.end() != list.block.get() + list.size || records.count() != list.count) {
        return std::nullopt;
    }
    return list;
}

}  // namespace tarvix
