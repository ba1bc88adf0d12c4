// tarvix-cli on Fallout 1 (DAT1) archives: every command, by running the built program.
// The archive's layout: a 16-byte header, the names (2 and 13 bytes), two 16-byte directory
// headers and the records (27 and 22 bytes) put the stored data at 112.

#include <fstream>
#include <iterator>

#include "cli_fixture.h"
#include "lzss_encoder.h"

namespace tarvix::test {
namespace {

using datwriter::Dat1File;
using datwriter::Dat1Packed;
using datwriter::Dat1Stored;

const std::string kText = LongText(3000);

Dat1File Damaged() {
    Dat1File f = Dat1Packed("BAD.MSG", kText);
    f.size = 2999;  // one short: the output would pass it
    return f;
}

Dat1File Unknown() {
    Dat1File f = Dat1Stored("ODD.BIN", "odd");
    f.attributes = 0x30;
    return f;
}

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class CliDat1Test : public CliTest {
protected:
    std::string Dat1(const std::vector<datwriter::Dat1Directory>& directories) {
        return work.write("in.dat", datwriter::BuildDat1(directories)).string();
    }
    std::string Sound() {
        return Dat1({{".", {Dat1Stored("README.TXT", "hi")}},
                     {"TEXT\\ENGLISH", {Dat1Packed("A.MSG", kText)}}});
    }
};

struct CommandCase {
    const char* what;
    std::vector<std::string> args;  // the archive is appended
    int status;
    std::string out;
};

TEST_F(CliDat1Test, ListAndInfoOfASoundArchive) {
    const std::size_t packed = datwriter::LzssBlocks(kText).size();
    const std::string packedText = std::to_string(packed);
    const CommandCase cases[] = {
        {"list", {"list"}, 0, "README.TXT\nTEXT\\ENGLISH\\A.MSG\n"},
        {"list --long: the record's own sizes",
         {"list", "--long"},
         0,
         "stored     2     0  112  README.TXT\nlzss    3000  " + packedText +
             "  114  TEXT\\ENGLISH\\A.MSG\n"},
        {"list --json: packing beside the raw Attributes",
         {"list", "--json"},
         0,
         "[\n  {\"path\": \"README.TXT\", \"type\": 32, \"packing\": \"stored\", \"real_size\": 2, "
         "\"packed_size\": 0, \"offset\": 112},\n  {\"path\": \"TEXT\\\\ENGLISH\\\\A.MSG\", "
         "\"type\": 64, \"packing\": \"lzss\", \"real_size\": 3000, \"packed_size\": " +
             packedText + ", \"offset\": 114}\n]\n"},
        {"check", {"check"}, 0, "2 entries checked, 0 problems\n"},
    };
    const std::string archive = Sound();
    for (const CommandCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> args = c.args;
        args.push_back(archive);
        const CliRun run = Run(args);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_EQ(run.out, c.out);
    }
    const CliRun info = Run({"info", "--json", archive});
    EXPECT_EQ(info.out.substr(0, 40), R"x({"format": "Fallout 1 (DAT1)", "entries")x");
    EXPECT_NE(info.out.find("\"stored_bytes\": " + std::to_string(2 + packed)), std::string::npos);
}

TEST_F(CliDat1Test, CheckNamesDamagedAndUnknownEntries) {
    const std::string archive = Dat1({{"D", {Damaged(), Unknown(), Dat1Packed("OK.MSG", kText)}}});
    const CliRun run = Run({"check", archive});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out,
              "D\\BAD.MSG: Packed data is damaged\n"
              "D\\ODD.BIN: Unknown packing (Type 48)\n"
              "3 entries checked, 2 problems\n");
}

TEST_F(CliDat1Test, ExtractUnpacksByDefaultAndRawKeepsTheStoredBytes) {
    const std::string archive = Dat1({{"D", {Damaged(), Dat1Packed("OK.MSG", kText)}}});
    std::filesystem::create_directory(work / "out");
    const CliRun run = Run({"extract", "-q", "-C", "out", archive});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "D\\BAD.MSG: Packed data is damaged\n");
    EXPECT_EQ(ReadAll(work / "out" / "D" / "OK.MSG"), kText);
    EXPECT_FALSE(std::filesystem::exists(work / "out" / "D" / "BAD.MSG"));

    std::filesystem::create_directory(work / "raw");
    EXPECT_EQ(Run({"extract", "-q", "--raw", "-C", "raw", archive}).status, 0);
    EXPECT_EQ(ReadAll(work / "raw" / "D" / "OK.MSG"), datwriter::LzssBlocks(kText));
}

TEST_F(CliDat1Test, ATruncatedArchiveIsRefused) {
    const std::string whole = datwriter::BuildDat1({{"D", {Dat1Stored("A", "abc")}}});
    const std::string archive = work.write("cut.dat", whole.substr(0, whole.size() - 1)).string();
    const CliRun run = Run({"list", archive});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("Not a valid DAT file"), std::string::npos);
}

TEST_F(CliDat1Test, TheSampleListsChecksAndExtracts) {
    const std::string sample = TARVIX_SOURCE_DIR "/samples/fallout1.dat";
    EXPECT_EQ(Run({"check", sample}).out, "9 entries checked, 0 problems\n");
    std::filesystem::create_directory(work / "out");
    EXPECT_EQ(Run({"extract", "-q", "-C", "out", sample, "text/english/game/vault13.msg"}).status,
              0);
    std::string expected;
    for (int i = 0; i < 60; ++i) {
        expected += "{" + std::to_string(100 + i) + "}{}{Vault 13 needs a water chip.}\r\n";
    }
    EXPECT_EQ(ReadAll(work / "out" / "TEXT" / "ENGLISH" / "GAME" / "VAULT13.MSG"), expected);
}

}  // namespace
}  // namespace tarvix::test
