// tarvix-cli check: one line per problem, then the counts, by running the built program.

#include "cli_fixture.h"

namespace tarvix::test {
namespace {

using datwriter::Entry;
using datwriter::Make;

const std::string kText = LongText(5000);

Entry Sound() {
    return Packed("Z\\FINE.TXT", kText);
}

// A packed entry changed by `change`.
template <typename Change>
Entry Broken(Change change) {
    Entry entry = Packed("D\\BAD.TXT", kText);
    change(entry);
    return entry;
}

Entry Typed(std::string name, std::uint8_t type) {
    Entry entry = Make(std::move(name), "data");
    entry.type = type;
    return entry;
}

struct CheckCase {
    const char* what;
    std::vector<Entry> entries;
    std::string out;  // the problem lines; the counts follow
};

class CheckTest : public CliTest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(CheckTest, ReportsEachProblemOnItsOwnLine) {
    const CheckCase& c = GetParam();
    // In the game's order, so that check has no notes to add.
    std::vector<Entry> entries = c.entries;
    entries.push_back(Sound());
    const std::size_t problems = std::count(c.out.begin(), c.out.end(), '\n');
    const CliRun run = Run({"check", "-q", Archive(entries)});
    EXPECT_EQ(run.status, problems == 0 ? 0 : 1);
    EXPECT_EQ(run.out, c.out + std::to_string(entries.size()) + " entries checked, " +
                           std::to_string(problems) +
                           (problems == 1 ? " problem\n" : " problems\n"));
    EXPECT_EQ(run.err, "");
}

const std::string kDamaged = "D\\BAD.TXT: Packed data is damaged\n";

INSTANTIATE_TEST_SUITE_P(
    Problems, CheckTest,
    ::testing::Values(
        CheckCase{"sound entries", {Make("EMPTY"), Make("OK\\PLAIN.TXT", "plain")}, ""},
        CheckCase{"a byte changed in the deflate data",
                  {Broken([](Entry& e) { e.data[e.data.size() / 2] ^= 0x55; })},
                  kDamaged},
        CheckCase{"a wrong Adler-32", {Broken([](Entry& e) { e.data.back() ^= 1; })}, kDamaged},
        CheckCase{"RealSize one too large", {Broken([](Entry& e) { *e.realSize += 1; })}, kDamaged},
        CheckCase{"RealSize one too small", {Broken([](Entry& e) { *e.realSize -= 1; })}, kDamaged},
        CheckCase{"bytes after the stream", {Broken([](Entry& e) { e.data += 'x'; })}, kDamaged},
        CheckCase{"the stream cut short", {Broken([](Entry& e) { e.data.pop_back(); })}, kDamaged},
        CheckCase{"not a zlib stream", {Broken([](Entry& e) { e.data = "plain text"; })}, kDamaged},
        CheckCase{
            "offset past the file's end",
            {Broken([](Entry& e) { e.offset = 100000; })},
            "D\\BAD.TXT: Stored bytes lie outside the data area (offset 100000, packed size " +
                std::to_string(Zlib(kText).size()) + ", data area ends at " +
                std::to_string(2 * Zlib(kText).size()) + ")\n"},
        CheckCase{"an unknown Type", {Typed("D\\ODD", 2)}, "D\\ODD: Unknown packing (Type 2)\n"},
        CheckCase{"sizes of a stored entry that disagree",
                  {Broken([](Entry& e) {
                      e.type = 0;
                      e.data = "abc";
                      e.realSize = 5;
                  })},
                  "D\\BAD.TXT: Stored entry's real size 5 differs from its packed size 3\n"},
        CheckCase{"unsafe names; empty folder components are harmless",
                  {Make("..\\EVIL"), Make("\\TOP"), Make("A\\.\\B"), Make("A\\\\B"),
                   Make("C:\\WIN.INI"), Make("DIR\\")},
                  "..\\EVIL: Unsafe name component \"..\"\n"
                  "A\\.\\B: Unsafe name component \".\"\n"
                  "C:\\WIN.INI: Unsafe name component \"C:\"\n"
                  "DIR\\: Empty file name\n"},
        CheckCase{"two problems of one entry, in a fixed order",
                  {Typed("..\\X", 9)},
                  "..\\X: Unknown packing (Type 9)\n..\\X: Unsafe name component \"..\"\n"},
        CheckCase{"a control character in a name is printed as '?'",
                  {Typed("BELL\x07", 4)},
                  "BELL?: Unknown packing (Type 4)\n"}),
    NameOfCase<CheckCase>);

struct NoteCase {
    const char* what;
    std::vector<Entry> entries;  // before one sound entry
    int status;
    std::string out;
};

class LongNameNoteTest : public CliTest, public ::testing::WithParamInterface<NoteCase> {};

TEST_P(LongNameNoteTest, NotesNamesThatLinuxCannotHold) {
    // The sound entry last, so that the archive stays in the game's order and only the names
    // give notes.
    std::vector<Entry> entries = GetParam().entries;
    entries.push_back(Sound());
    const CliRun run = Run({"check", "-q", Archive(entries)});
    EXPECT_EQ(run.status, GetParam().status);
    EXPECT_EQ(run.out, GetParam().out);
}

std::string Note(const std::string& path, int bytes) {
    return path + ": note: name component of " + std::to_string(bytes) +
           " bytes in UTF-8, longer than the 255 that Linux file systems allow\n";
}

// 0xE9 is one byte in Windows-1252 and two in UTF-8.
const std::string kAcutes127 = std::string(127, '\xE9');
const std::string kUtf8Acutes127 = [] {
    std::string s;
    for (int i = 0; i < 127; ++i) s += "\xC3\xA9";
    return s;
}();

INSTANTIATE_TEST_SUITE_P(
    Names, LongNameNoteTest,
    ::testing::Values(NoteCase{"a file name of 255 bytes fits",
                               {Make("D\\" + std::string(255, 'f'))},
                               0,
                               "2 entries checked, 0 problems\n"},
                      NoteCase{"a file name of 256 bytes",
                               {Make("D\\" + std::string(256, 'f'))},
                               0,
                               Note("D\\" + std::string(256, 'f'), 256) +
                                   "2 entries checked, 0 problems, 1 note\n"},
                      NoteCase{"255 characters that are 255 bytes in UTF-8",
                               {Make("D\\" + kAcutes127 + "a")},
                               0,
                               "2 entries checked, 0 problems\n"},
                      NoteCase{"128 characters that are 256 bytes in UTF-8",
                               {Make("D\\" + kAcutes127 + "\xE9")},
                               0,
                               Note("D\\" + kUtf8Acutes127 + "\xC3\xA9", 256) +
                                   "2 entries checked, 0 problems, 1 note\n"},
                      NoteCase{"a long folder name, once per entry",
                               {Make(std::string(300, 'd') + "\\" + std::string(300, 'e'))},
                               0,
                               Note(std::string(300, 'd') + "\\" + std::string(300, 'e'), 300) +
                                   "2 entries checked, 0 problems, 1 note\n"},
                      NoteCase{"a problem and notes",
                               {Make("..\\" + std::string(256, 'x')), Make(std::string(257, 'y'))},
                               1,
                               "..\\" + std::string(256, 'x') + ": Unsafe name component \"..\"\n" +
                                   Note("..\\" + std::string(256, 'x'), 256) +
                                   Note(std::string(257, 'y'), 257) +
                                   "3 entries checked, 1 problem, 2 notes\n"}),
    NameOfCase<NoteCase>);

// Stored bytes that extraction reads all the same: a note each, counted apart, and no failure.
struct PlacementNoteCase {
    const char* what;
    std::vector<Entry> entries;
    std::string out;  // the note lines
    std::size_t notes;
};

class PlacementNoteTest : public CliTest, public ::testing::WithParamInterface<PlacementNoteCase> {};

TEST_P(PlacementNoteTest, NotesButNoProblems) {
    const PlacementNoteCase& c = GetParam();
    const CliRun run = Run({"check", "-q", Archive(c.entries)});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, c.out + std::to_string(c.entries.size()) + " entries checked, 0 problems" +
                           (c.notes == 0 ? ""
                                         : ", " + std::to_string(c.notes) +
                                               (c.notes == 1 ? " note" : " notes")) +
                           "\n");
}

// A stored entry at `offset` of `data`, which must be the bytes found there.
Entry At(std::string name, const std::string& data, std::uint32_t offset) {
    Entry entry = Make(std::move(name), data);
    entry.offset = offset;
    return entry;
}

const std::string kFirst = "0123456789";  // the first entry's bytes, at offset 0

INSTANTIATE_TEST_SUITE_P(
    Notes, PlacementNoteTest,
    ::testing::Values(
        PlacementNoteCase{"entries side by side", {Make("A", kFirst), Make("B", "abc")}, "", 0},
        PlacementNoteCase{
            "bytes running into FilesTotal and the entry list",
            {Make("A", kFirst), At("B", "xy", 11)},
            "B: note: stored bytes lie outside the data area (offset 11, packed size 2, data "
            "area ends at 12); extraction reads them where they lie\n",
            1},
        PlacementNoteCase{"the same bytes twice",
                          {Make("A", kFirst), At("B", kFirst, 0)},
                          "B: note: stored bytes overlap those of A\n",
                          1},
        PlacementNoteCase{"bytes inside another entry's, and a third overlapping both",
                          {Make("A", kFirst), At("B", "234", 2), At("C", "3456789", 3)},
                          "B: note: stored bytes overlap those of A\n"
                          "C: note: stored bytes overlap those of A\n",
                          2},
        PlacementNoteCase{"an entry overlapping one placed before it but listed after it",
                          {At("A", "abc", 5), Make("B", kFirst)},
                          "A: note: stored bytes overlap those of B\n",
                          1},
        PlacementNoteCase{"empty entries at one offset overlap nothing",
                          {Make("A", kFirst), At("B", "", 4), At("C", "", 4)},
                          "",
                          0}),
    NameOfCase<PlacementNoteCase>);

// Many entries, so that every core takes some: the lines still come in directory order.
TEST_F(CliTest, ProblemsComeInDirectoryOrderFromAllWorkers) {
    std::vector<Entry> entries;
    std::string expected;
    for (int i = 0; i < 400; ++i) {
        // Zero-padded, so that directory order is the game's order too.
        const std::string number = std::to_string(i);
        const std::string name = "E" + std::string(3 - number.size(), '0') + number;
        if (i % 37 == 0) {
            entries.push_back(Typed(name, 5));
            expected += name + ": Unknown packing (Type 5)\n";
        } else {
            entries.push_back(Packed(name, kText.substr(i)));
        }
    }
    const CliRun run = Run({"check", Archive(entries)});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, expected + "400 entries checked, 11 problems\n");
}

TEST_F(CliTest, EmptyArchiveIsSound) {
    const CliRun run = Run({"check", Archive({})});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "0 entries checked, 0 problems\n");
}

}  // namespace
}  // namespace tarvix::test
