// Archives made to break the reader: every row is one file, opened through the real window
// with a scripted archive dialog, and then extracted entry by entry into a sandbox. Each row
// states the whole result: the messages in order, or the folder tree and what extraction
// writes. Nothing may appear outside the destination.

#include <gtest/gtest.h>

#include <zlib.h>

#include <QAbstractItemModel>
#include <QTreeView>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "archive/cp1252.h"
#include "archive/dat_archive.h"
#include "archive/dat_entry.h"
#include "dat_writer.h"
#include "extract/entry_extractor.h"
#include "lzss_encoder.h"
#include "support/scripted_dialogs.h"
#include "support/temp_dir.h"
#include "ui/extract_dlg.h"
#include "ui/folder_tree_model.h"

namespace tarvix {
namespace {

using datwriter::BuildDat;
using datwriter::Entry;
using datwriter::Layout;
using datwriter::Make;
using Files = std::map<std::string, std::string>;

constexpr const char* kDir = "<dir>";

struct HostileCase {
    std::string label;
    std::string bytes;
    std::vector<std::string> messages;  // shown while opening, in order; none when it loads
    // The window's tree: each node as text(first entry,files listed), children in braces.
    std::string tree;
    std::vector<std::string> outcomes;  // one per extracted entry
    Files files;                        // everything below the destination afterwards
    bool preserve = false;              // re-create each entry's folder path
    std::vector<EntryIndex> extract;    // entries to extract, in order; all when empty
    bool unpack = false;                // "Unpack packed files" ticked
};

void PrintTo(const HostileCase& c, std::ostream* os) {
    *os << c.label;
}

HostileCase Refused(std::string label, std::string bytes, const char* reason) {
    HostileCase c;
    c.label = std::move(label);
    c.bytes = std::move(bytes);
    c.messages = {reason, messages::kCannotOpen};
    return c;
}

HostileCase Loads(std::string label, std::string bytes, std::string tree,
                  std::vector<std::string> outcomes, Files files) {
    HostileCase c;
    c.label = std::move(label);
    c.bytes = std::move(bytes);
    c.tree = std::move(tree);
    c.outcomes = std::move(outcomes);
    c.files = std::move(files);
    return c;
}

HostileCase Preserved(HostileCase c) {
    c.preserve = true;
    return c;
}

HostileCase Unpacked(HostileCase c) {
    c.unpack = true;
    return c;
}

template <typename Change>
Entry Tweak(Entry e, Change change) {
    change(e);
    return e;
}

Layout TreeSize(std::uint32_t v) {
    Layout l;
    l.treeSize = v;
    return l;
}
Layout DataSize(std::uint32_t v) {
    Layout l;
    l.dataSize = v;
    return l;
}
Layout ExtraListBytes(std::string bytes) {
    Layout l;
    l.extraListBytes = std::move(bytes);
    return l;
}

std::string U32(std::uint32_t v) {
    std::string out;
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    return out;
}

std::string CannotWrite(const std::string& name) {
    return "Cannot write " + name;
}

// 100,000 entries named by one letter, A to Z in turn, each holding its letter in lower case.
HostileCase HundredThousandEntries() {
    constexpr int kCount = 100000;
    std::vector<Entry> entries;
    entries.reserve(kCount);
    for (int i = 0; i < kCount; ++i) {
        entries.push_back(Make(std::string(1, static_cast<char>('A' + i % 26)),
                               std::string(1, static_cast<char>('a' + i % 26))));
    }
    std::string tree;
    for (int letter = 0; letter < 26; ++letter) {
        const int files = kCount / 26 + (letter < kCount % 26 ? 1 : 0);
        if (letter) tree += ' ';
        tree += std::string(1, static_cast<char>('A' + letter)) + "(" + std::to_string(letter) +
                "," + std::to_string(files) + ")";
    }
    HostileCase c = Loads("HundredThousandOneByteNames", BuildDat(entries), tree, {"ok", "ok"},
                          {{"A", "a"}, {"D", "d"}});
    c.extract = {0, kCount - 1};  // the last one is the fourth letter
    return c;
}

// One name of 200 components: 199 folders "D" and the file "F", extracted with its path.
HostileCase TwoHundredComponents() {
    std::string name;
    std::string tree;
    std::string path;
    Files files;
    for (int i = 0; i < 199; ++i) {
        name += "D\\";
        path += (i ? "/D" : "D");
        files[path] = kDir;
        tree += i < 198 ? "D(0,0){" : "D(0,1)";
    }
    tree += std::string(198, '}');
    files[path + "/F"] = "deep";
    return Preserved(Loads("PathOfTwoHundredComponents", BuildDat({Make(name + "F", "deep")}), tree,
                           {"ok"}, files));
}

// Entries that point at every corner of the file: its end, its trailer, past it, around it.
HostileCase OffsetsAtTheEdges() {
    // Five 3-byte names and no data: FilesTotal, 5 * 20 bytes of entries, the trailer; C gets
    // the trailer itself, TreeSize (4 + 100) and DataSize.
    constexpr std::uint32_t kLength = 4 + 5 * 20 + 8;
    auto at = [](const char* name, std::uint32_t offset, std::uint32_t packed) {
        return Tweak(Make(name), [&](Entry& e) {
            e.offset = offset;
            e.packedSize = packed;
        });
    };
    const std::string bytes =
        BuildDat({at("D\\A", 100000, 3), at("D\\B", kLength, 0), at("D\\C", kLength - 8, 8),
                  at("D\\D", kLength - 4, 8), at("D\\E", 0xFFFFFFF0, 0x20)});
    EXPECT_EQ(bytes.size(), kLength);
    return Loads(
        "OffsetsPastTheEndAndOnTheTrailer", bytes, "D(0,5)",
        {"Cannot read DAT file", "ok", "ok", "Cannot read DAT file", "Cannot read DAT file"},
        {{"B", ""}, {"C", U32(kLength - 8) + U32(kLength)}});
}

// ---- Unpacking: zlib streams made here by zlib itself, then spoilt ----------------------

std::string Zlib(const std::string& content, int level) {
    return datwriter::Zlib(content, level);
}

// A zlib stream of `mebibytes` MiB of zero bytes, made in milliseconds: one MiB deflated on
// its own (a full flush leaves it byte-aligned and free of history), repeated, then an empty
// final block and the Adler-32, which for n zero bytes is (n mod 65521) << 16 | 1.
std::string ZerosStream(std::uint32_t mebibytes) {
    z_stream s{};
    deflateInit2(&s, 9, Z_DEFLATED, -15, 9, Z_RLE);
    std::string zeros(1 << 20, '\0');
    std::string buffer(1 << 16, '\0');
    const auto run = [&](std::size_t size, int flush) {
        s.next_in = reinterpret_cast<Bytef*>(zeros.data());
        s.avail_in = static_cast<uInt>(size);
        s.next_out = reinterpret_cast<Bytef*>(buffer.data());
        s.avail_out = static_cast<uInt>(buffer.size());
        deflate(&s, flush);
        return buffer.substr(0, buffer.size() - s.avail_out);
    };
    const std::string unit = run(zeros.size(), Z_FULL_FLUSH);
    const std::string last = run(0, Z_FINISH);
    deflateEnd(&s);
    std::string out = "\x78\xDA";
    for (std::uint32_t i = 0; i < mebibytes; ++i) out += unit;
    out += last;
    const std::uint64_t length = std::uint64_t{mebibytes} << 20;
    const auto adler = static_cast<std::uint32_t>((length % 65521) << 16 | 1);
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(adler >> shift));
    return out;
}

Entry Packed(std::string name, std::string stored, std::uint32_t realSize) {
    return Tweak(Make(std::move(name), std::move(stored)), [&](Entry& e) {
        e.type = 1;
        e.realSize = realSize;
    });
}

std::vector<HostileCase> UnpackingRows() {
    std::string text;
    for (int i = 0; i < 400; ++i) text += "Line " + std::to_string(i) + " of a message file.\n";
    const auto size = static_cast<std::uint32_t>(text.size());
    const std::string best = Zlib(text, 9);  // 78 DA
    std::string badHeader = best;
    badHeader[1] = static_cast<char>(0xDB);  // the header's check bits no longer add up
    std::string badAdler = best;
    badAdler.back() = static_cast<char>(badAdler.back() ^ 1);
    const std::string damaged = kOutcomeDamaged;
    const std::string bomb = ZerosStream(1024);
    return {
        Unpacked(Loads(
            "UnpackEveryZlibLevel",
            BuildDat({Packed("U\\L1", Zlib(text, 1), size), Packed("U\\L5", Zlib(text, 5), size),
                      Packed("U\\L6", Zlib(text, 6), size), Packed("U\\L9", best, size)}),
            "U(0,4)", {"ok", "ok", "ok", "ok"},
            {{"L1", text}, {"L5", text}, {"L6", text}, {"L9", text}})),
        Unpacked(Loads(
            "UnpackDamagedStreams",
            BuildDat({Packed("U\\HEADER", badHeader, size), Packed("U\\ADLER", badAdler, size),
                      Packed("U\\CUT", best.substr(0, best.size() - 5), size),
                      Packed("U\\TRAILING", best + "xx", size), Packed("U\\STORED", text, size)}),
            "U(0,5)", {damaged, damaged, damaged, damaged, damaged}, {})),
        Preserved(Unpacked(
            Loads("UnpackLyingRealSizeLeavesNoFolders",
                  BuildDat({Packed("U\\V\\SMALL", best, size - 1),
                            Packed("U\\V\\LARGE", best, size + 1), Packed("U\\V\\EMPTY", "", 0)}),
                  "U(0,0){V(0,3)}", {damaged, damaged, damaged}, {}))),
        Unpacked(Loads("UnpackType0ZlibStreamUnchangedAndUnknownTypes",
                       BuildDat({Make("U\\Z", best),
                                 Tweak(Make("U\\SEVEN", "abc"), [](Entry& e) { e.type = 7; }),
                                 Tweak(Make("U\\FF", "abc"), [](Entry& e) { e.type = 0xFF; })}),
                       "U(0,3)", {"ok", UnknownPackingOutcome(7), UnknownPackingOutcome(0xFF)},
                       {{"Z", best}})),
        Unpacked(Loads("UnpackAGibibyteFromAMebibyteWithRealSize10",
                       BuildDat({Packed("U\\BOMB", bomb, 10)}), "U(0,1)", {damaged}, {})),
    };
}

datwriter::Dat1File Dat1(std::string name, std::string stored, std::uint32_t attributes,
                         std::uint32_t size) {
    datwriter::Dat1File f = datwriter::Dat1Stored(std::move(name), std::move(stored));
    f.attributes = attributes;
    f.size = size;
    return f;
}

template <typename Change>
std::string Dat1Tweaked(Change change) {
    datwriter::Dat1Directory d{"D", {datwriter::Dat1Stored("A", "abc")}};
    datwriter::Dat1Layout layout;
    change(d, layout);
    return datwriter::BuildDat1({d}, layout);
}

// Fallout 1 archives: a file that is not a whole DAT1 is refused with the Fallout 2 reason;
// packed data that lies is damaged, and nothing of it remains.
std::vector<HostileCase> Dat1Rows() {
    using datwriter::BlockHeader;
    const std::string literals = std::string("\xFF") + "ABCDEFGH";
    const std::string damaged = kOutcomeDamaged;
    const std::string whole = Dat1Tweaked([](auto&, auto&) {});
    const char* notDat = messages::kSizeMismatch;
    return {
        Refused("Dat1DirectoryCountOverruns",
                Dat1Tweaked([](auto&, auto& l) { l.directoryCount = 1000000; }), notDat),
        Refused("Dat1FileCountOverruns", Dat1Tweaked([](auto& d, auto&) { d.fileCount = 5; }),
                notDat),
        Refused("Dat1NameLengthOverruns",
                Dat1Tweaked([](auto& d, auto&) { d.files[0].nameLength = 250; }), notDat),
        Refused("Dat1RecordPastTheEnd", whole.substr(0, whole.size() - 10), notDat),
        Refused("Dat1OffsetPastTheEnd",
                Dat1Tweaked([](auto& d, auto&) { d.files[0].offset = 0xFFFFFFFE; }), notDat),
        Refused("Dat1PackedSizePastTheEnd", Dat1Tweaked([](auto& d, auto&) {
                    d.files[0].attributes = 0x40;
                    d.files[0].packedSize = 4;
                }),
                notDat),
        Unpacked(Loads("Dat1EveryPacking",
                       datwriter::BuildDat1(
                           {{"D",
                             {Dat1("STORED", "abc", 0x20, 3),
                              Dat1("BLOCKS", BlockHeader(9) + literals, 0x40, 8),
                              Dat1("STREAM", literals, 0x10, 8), Dat1("ODD", "abc", 0x30, 3)}}}),
                       "D(0,4)", {"ok", "ok", "ok", UnknownPackingOutcome(0x30)},
                       {{"STORED", "abc"}, {"BLOCKS", "ABCDEFGH"}, {"STREAM", "ABCDEFGH"}})),
        Unpacked(Loads(
            "Dat1PackedDataThatLies",
            datwriter::BuildDat1(
                {{"D",
                  {Dat1("OVERRUN", BlockHeader(40) + literals, 0x40, 8),
                   Dat1("HEADER", BlockHeader(9) + literals + "\x01", 0x40, 8),
                   Dat1("MIDMATCH", BlockHeader(2) + std::string(2, '\0'), 0x40, 3),
                   Dat1("AFTERZERO", BlockHeader(0) + "x", 0x40, 0),
                   Dat1("BOMB", datwriter::LzssEncode(std::string(1 << 20, '\0')), 0x10, 10)}}}),
            "D(0,5)", {damaged, damaged, damaged, damaged, damaged}, {})),
        Loads("Dat1RawKeepsStoredBytesAndNames",
              datwriter::BuildDat1({{"D",
                                     {Dat1("Z", Zlib("hello", 9), 0x20,
                                           static_cast<std::uint32_t>(Zlib("hello", 9).size())),
                                      Dat1("P", BlockHeader(9) + literals, 0x40, 8)}}}),
              "D(0,2)", {"ok", "ok"}, {{"Z", Zlib("hello", 9)}, {"P", BlockHeader(9) + literals}}),
    };
}

std::vector<HostileCase> Rows() {
    const std::string x = "x";
    std::vector<HostileCase> rows = {
        // Refused: the reason, then "Cannot open DAT file :(".
        Refused("EmptyFile", "", messages::kTooShort),
        Refused("SevenBytes", "1234567", messages::kTooShort),
        Refused("DataSizeOneMoreThanTheFile", BuildDat({Make("A", "xyz")}, DataSize(34)),
                messages::kSizeMismatch),
        Refused("DataSizeOneLessThanTheFile", BuildDat({Make("A", "xyz")}, DataSize(32)),
                messages::kSizeMismatch),
        Refused("DataSizeFFFFFFFF", BuildDat({Make("A", "xyz")}, DataSize(0xFFFFFFFF)),
                messages::kSizeMismatch),
        // The 33-byte archive of one entry "A" holding "xyz" (TreeSize 22), with a wrong field.
        Refused("TreeSize0", BuildDat({Make("A", "xyz")}, TreeSize(0)), messages::kTreeTooSmall),
        Refused("TreeSize3", BuildDat({Make("A", "xyz")}, TreeSize(3)), messages::kTreeTooSmall),
        Refused("TreeSizeDataSizeMinus8Plus1", BuildDat({Make("A", "xyz")}, TreeSize(33 - 8 + 1)),
                messages::kTreeTooLarge),
        Refused("TreeSizeFFFFFFFF", BuildDat({Make("A", "xyz")}, TreeSize(0xFFFFFFFF)),
                messages::kTreeTooLarge),
        // The list then starts one byte late and its first NameSize is 0x41000000.
        Refused("TreeSizeOneShortMisalignsTheList", BuildDat({Make("A", "xyz")}, TreeSize(21)),
                messages::kEntryOverrun),
        Refused("ThreeBytesAfterTheLastEntry", BuildDat({Make("A", "1")}, ExtraListBytes("abc")),
                messages::kEntryOverrun),
        Refused("SixteenZeroBytesAfterTheLastEntry",
                BuildDat({Make("A", "1")}, ExtraListBytes(std::string(16, '\0'))),
                messages::kEntryOverrun),
        Refused("NameSizeFFFFFFFF",
                BuildDat({Tweak(Make("A", "1"), [](Entry& e) { e.nameSize = 0xFFFFFFFF; })}),
                messages::kEntryOverrun),
        Refused("NameSizeUpperBytesOverrun",
                BuildDat({Tweak(Make("ABCD", "1"), [](Entry& e) { e.nameSize = 0x01000004; })}),
                messages::kEntryOverrun),
        Refused("NameSizeOneByteTooLong",
                BuildDat(
                    {Make("A\\B", "1"), Tweak(Make("ABC", "1"), [](Entry& e) { e.nameSize = 4; })}),
                messages::kEntryOverrun),

        // Loaded: the tree, then every entry extracted.
        Loads("TreeSize4WithADataAreaAndNoEntries", "junkjunk" + U32(5) + U32(4) + U32(20), "", {},
              {}),
        Loads("TreeSizeIsDataSizeMinus8", BuildDat({Make("D\\EMPTY", "")}), "D(0,1)", {"ok"},
              {{"EMPTY", ""}}),
        Loads("NameSize0", BuildDat({Make("", "e"), Make("D\\F", "f")}), "(0,1) D(1,1)",
              {CannotWrite(""), "ok"}, {{"F", "f"}}),
        Loads("NameSize127", BuildDat({Make("D\\" + std::string(125, 'a'), x)}), "D(0,1)", {"ok"},
              {{std::string(125, 'a'), x}}),
        Loads("NameSize128", BuildDat({Make(std::string(128, 'N'), x)}),
              std::string(128, 'N') + "(0,1)", {"ok"}, {{std::string(128, 'N'), x}}),
        Loads("NameSize255", BuildDat({Make(std::string(255, 'M'), x)}),
              std::string(255, 'M') + "(0,1)", {"ok"}, {{std::string(255, 'M'), x}}),
        Loads("ZeroBytesEndNamesAndFilesTotalLies",
              BuildDat({Make(std::string("DIR\\AB\0CD", 9), "n"),
                        Make(std::string("\0HID", 4), "h"), Make("DIR\\E", "e")},
                       [] {
                           Layout l;
                           l.filesTotal = 0xFFFFFFFF;
                           return l;
                       }()),
              "DIR(0,2) (1,1)", {"ok", CannotWrite(""), "ok"}, {{"AB", "n"}, {"E", "e"}}),
        Loads("PackedSizeFFFFFFFF",
              BuildDat({Tweak(Make("D\\HUGE", "abc"), [](Entry& e) { e.packedSize = 0xFFFFFFFF; }),
                        Make("D\\NEXT", "n")}),
              "D(0,2)", {"Cannot read DAT file", "ok"}, {{"NEXT", "n"}}),
        // Entry 1 points at the entry list itself, 3 data bytes + FilesTotal into the file.
        Loads("OffsetIntoTheDirectory",
              BuildDat({Make("D\\A", "abc"), Tweak(Make("D\\DIR"),
                                                   [](Entry& e) {
                                                       e.offset = 7;
                                                       e.packedSize = 8;
                                                   })}),
              "D(0,2)", {"ok", "ok"}, {{"A", "abc"}, {"DIR", std::string("\3\0\0\0D\\A\0", 8)}}),
        OffsetsAtTheEdges(),
        Loads("OverlappingData",
              BuildDat({Make("D\\A", "abcdef"),
                        Tweak(Make("D\\B"),
                              [](Entry& e) {
                                  e.offset = 2;
                                  e.packedSize = 3;
                              }),
                        Tweak(Make("D\\C"),
                              [](Entry& e) {
                                  e.offset = 0;
                                  e.packedSize = 6;
                              })}),
              "D(0,3)", {"ok", "ok", "ok"}, {{"A", "abcdef"}, {"B", "cde"}, {"C", "abcdef"}}),
        HundredThousandEntries(),
        TwoHundredComponents(),
        Loads("TraversalNamesFlat",
              BuildDat({Make("..", x), Make("DIR\\..", x), Make("DIR\\.", x), Make("DIR\\", x),
                        Make("DIR\\../../evil", x), Make("DIR\\/etc/evil", x),
                        Make("DIR\\C:evil", x), Make("DIR\\c:", x), Make("DIR\\ok", x)}),
              "..(0,1) DIR(1,8)",
              {CannotWrite(".."), CannotWrite("DIR\\.."), CannotWrite("DIR\\."),
               CannotWrite("DIR\\"), CannotWrite("DIR\\../../evil"), CannotWrite("DIR\\/etc/evil"),
               CannotWrite("DIR\\C:evil"), CannotWrite("DIR\\c:"), "ok"},
              {{"ok", x}}),
        Preserved(Loads(
            "TraversalNamesPreserved",
            BuildDat({Make("..\\evil", x), Make("A\\..\\..\\evil", x), Make("DIR/../..\\evil", x),
                      Make("/tmp\\evil", x), Make("C:\\evil", x), Make(".\\evil", x),
                      Make("OK\\..\\evil", x), Make("\\\\LEAD\\\\X\\F", x), Make("OK\\fine", x)}),
            "..(0,1) A(1,0){..(1,0){..(1,1)}} DIR/../..(2,1) /tmp(3,1) C:(4,1) .(5,1) "
            "OK(6,1){..(6,1)} (7,0){(7,0){LEAD(7,0){(7,0){X(7,1)}}}}",
            {CannotWrite("..\\evil"), CannotWrite("A\\..\\..\\evil"),
             CannotWrite("DIR/../..\\evil"), CannotWrite("/tmp\\evil"), CannotWrite("C:\\evil"),
             CannotWrite(".\\evil"), CannotWrite("OK\\..\\evil"), "ok", "ok"},
            {{"LEAD", kDir}, {"LEAD/X", kDir}, {"LEAD/X/F", x}, {"OK", kDir}, {"OK/fine", x}})),
        Preserved(
            Loads("BytesAbove0x7FInNames",
                  BuildDat({Make("\xC9T\xC9\\CAF\xC9\x80", "1"),
                            Make("\xC9T\xC9\\\x81\x8D\x8F\x90\x9D", "2"),
                            Make("\xC9T\xC9\\\x8A\xA0\xFF", "3"), Make("\xFF\xFE\\\x9F", "4")}),
                  "ÉTÉ(0,3) ÿþ(3,1)", {"ok", "ok", "ok", "ok"},
                  {{"ÉTÉ", kDir},
                   {"ÉTÉ/CAFÉ€", "1"},
                   {"ÉTÉ/\u0081\u008D\u008F\u0090\u009D", "2"},
                   {"ÉTÉ/Š\u00A0ÿ", "3"},
                   {"ÿþ", kDir},
                   {"ÿþ/Ÿ", "4"}})),
        Loads("DuplicateNamesLastOneWins", BuildDat({Make("D\\F", "one"), Make("D\\F", "two")}),
              "D(0,2)", {"ok", "ok"}, {{"F", "two"}}),
        Preserved(Loads("FileWhereAFolderMustGo",
                        BuildDat({Make("D\\X", "file"), Make("D\\X\\Y", "y")}), "D(0,1){X(1,1)}",
                        {"ok", CannotWrite("D\\X\\Y") + ": Not a directory"},
                        {{"D", kDir}, {"D/X", "file"}})),
        Loads("NamesLikeTheTemporaryFile",
              BuildDat({Make("D\\.tarvix-0.part", "p"), Make("D\\.tarvix-1.part", "q"),
                        Make("D\\F", "f")}),
              "D(0,3)", {"ok", "ok", "ok"},
              {{".tarvix-0.part", "p"}, {".tarvix-1.part", "q"}, {"F", "f"}}),
        Loads("ZlibHeaderAloneAndTypeByteIgnored",
              BuildDat({Tweak(Make("Z\\HDR", "\x78\xDA"), [](Entry& e) { e.type = 1; }),
                        Make("Z\\ONE", "\x78"),
                        Tweak(Make("Z\\PLAIN", "abc"), [](Entry& e) { e.type = 0xFF; })}),
              "Z(0,3)", {"ok", "ok", "ok"},
              {{"HDR.gz", std::string("\x1F\x8B\x08\x08\x9F\xE8\xB7\x36\x02\x03HDR\0", 14)},
               {"ONE", "\x78"},
               {"PLAIN", "abc"}}),
    };
    for (HostileCase& row : UnpackingRows()) rows.push_back(std::move(row));
    for (HostileCase& row : Dat1Rows()) rows.push_back(std::move(row));
    return rows;
}

// The window's folder tree as text: text(first entry,files listed){children}, siblings apart.
void RenderTree(const QAbstractItemModel& model, const FolderIndex& folders,
                const QModelIndex& parent, std::string& out) {
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex item = model.index(row, 0, parent);
        if (row) out += ' ';
        const auto node = item.data(FolderTreeModel::kNodeIdRole).value<NodeId>();
        out += item.data().toString().toStdString() + "(" +
               std::to_string(item.data(Qt::UserRole).value<EntryIndex>()) + "," +
               std::to_string(folders.filesOf(node).size()) + ")";
        if (model.rowCount(item) > 0) {
            out += '{';
            RenderTree(model, folders, item, out);
            out += '}';
        }
    }
}

class HostileArchive : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileArchive, GivesExactlyTheExpectedResult) {
    const HostileCase& c = GetParam();
    test::TempDir sandbox;
    const auto archivePath = sandbox.write("in.dat", c.bytes);
    const auto dest = sandbox / "out";
    std::filesystem::create_directories(sandbox / "sibling");
    sandbox.write("sibling/keep", "keep");
    std::filesystem::create_directory(dest);

    test::ScriptedDialogs dialogs;
    dialogs.answerOpen(archivePath);
    CExtractDlg window(dialogs);
    window.show();
    EXPECT_EQ(dialogs.messages, c.messages);
    const bool loaded = c.messages.empty();
    EXPECT_EQ(window.archive().isLoaded(), loaded);
    EXPECT_EQ(window.windowTitle().toStdString(),
              loaded ? archivePath.string() + kTitleSuffix : std::string(kInitialCaption));

    std::string tree;
    RenderTree(*window.findChild<QTreeView*>("IDC_TREE")->model(), window.folders(), {}, tree);
    EXPECT_EQ(tree, c.tree);

    std::vector<std::string> outcomes;
    if (loaded) {
        DatArchive reader;  // a second handle: extraction reads, the window's stays untouched
        ASSERT_TRUE(reader.load(archivePath).ok);
        std::vector<EntryIndex> entries = c.extract;
        if (entries.empty()) {
            for (EntryIndex i = 0; i < reader.entryCount(); ++i) entries.push_back(i);
        }
        for (EntryIndex i : entries) {
            ExtractTarget target{dest, std::nullopt, c.unpack};
            // What the window passes when the entry's folder is selected in the tree.
            if (c.preserve) {
                target.preservedFolder = std::string(
                    SplitFolderAndFile(GetEntryInfo(window.entryTable(), i).name).folder);
            }
            outcomes.push_back(
                OutcomeText(ExtractEntry(reader, window.entryTable(), i, target),
                            Cp1252ToUtf8(GetEntryInfo(window.entryTable(), i).name)));
        }
    }
    EXPECT_EQ(outcomes, c.outcomes);

    Files expected = {
        {"in.dat", c.bytes}, {"out", kDir}, {"sibling", kDir}, {"sibling/keep", "keep"}};
    for (const auto& [name, content] : c.files) expected["out/" + name] = content;
    const Files actual = test::Snapshot(sandbox.path());
    EXPECT_EQ(actual.size(), expected.size());
    EXPECT_TRUE(actual == expected) << "the sandbox holds something else than expected";
    if (actual != expected) {
        for (const auto& [name, content] : actual) {
            if (!expected.count(name)) ADD_FAILURE() << "unexpected: " << name;
        }
        for (const auto& [name, content] : expected) {
            if (!actual.count(name))
                ADD_FAILURE() << "missing: " << name;
            else if (actual.at(name) != content)
                ADD_FAILURE() << "different: " << name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Matrix, HostileArchive, ::testing::ValuesIn(Rows()),
                         [](const auto& info) { return info.param.label; });

}  // namespace
}  // namespace tarvix
