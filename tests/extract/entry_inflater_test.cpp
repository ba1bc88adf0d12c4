#include "extract/entry_inflater.h"

#include <string>
#include <vector>

#include "extract_fixture.h"

namespace tarvix {
namespace {

using datwriter::Make;

// Text that does not repeat, so that its stream spans several 64 KiB chunks.
std::string Text(std::size_t size) {
    std::string text;
    for (std::uint32_t i = 0; text.size() < size; i = i * 1103515245u + 12345u)
        text += std::to_string(i) + (i % 7 ? ' ' : '\n');
    return text.substr(0, size);
}

const std::string kText = Text(300000);
const std::string kStream = datwriter::Zlib(kText, 1);  // about 150 KB: three chunks

datwriter::Entry Packed(std::string stored, std::size_t realSize) {
    datwriter::Entry e = Make("A\\F", std::move(stored));
    e.type = 1;
    e.realSize = static_cast<std::uint32_t>(realSize);
    return e;
}

// A stream of `size` zero bytes: a few KiB that claim to be large.
std::string Zeros(std::size_t size) {
    return datwriter::Zlib(std::string(size, '\0'), 9);
}

struct InflateCase {
    const char* what;
    datwriter::Entry entry;
    StreamResult result;
    std::string content{};  // when Ok
};

std::vector<InflateCase> Cases() {
    std::string badAdler = kStream;
    badAdler.back() = static_cast<char>(badAdler.back() ^ 1);
    std::string badHeader = kStream;
    badHeader[1] = static_cast<char>(badHeader[1] ^ 1);
    return {
        {"a stream of three chunks", Packed(kStream, kText.size()), StreamResult::Ok, kText},
        {"level 9 in one chunk", Packed(datwriter::Zlib("short", 9), 5), StreamResult::Ok, "short"},
        {"empty content", Packed(datwriter::Zlib("", 6), 0), StreamResult::Ok, ""},
        {"RealSize one short", Packed(kStream, kText.size() - 1), StreamResult::Damaged},
        {"RealSize one long", Packed(kStream, kText.size() + 1), StreamResult::Damaged},
        {"bad Adler-32", Packed(badAdler, kText.size()), StreamResult::Damaged},
        {"bad header check", Packed(badHeader, kText.size()), StreamResult::Damaged},
        {"cut short", Packed(kStream.substr(0, kStream.size() - 1), kText.size()),
         StreamResult::Damaged},
        {"a byte after the stream", Packed(kStream + "x", kText.size()), StreamResult::Damaged},
        {"no stored bytes", Packed("", 0), StreamResult::Damaged},
        {"plain text", Packed("plain text", 10), StreamResult::Damaged},
        {"8 MiB of zeros claiming 10 bytes", Packed(Zeros(8 << 20), 10), StreamResult::Damaged},
    };
}

// Both ways of inflating, whole and streamed, must agree with each other and with the content
// the test packed itself, on every stream.
class EntryInflaterTest : public test::ExtractFixture {
protected:
    StreamResult Inflate(EntryInflater& inflater, std::string& out,
                         BatchMonitor* monitor = nullptr) {
        const EntryInfo info = GetEntryInfo(table, 0);
        StoredBytes stored(archive, info, monitor);
        if (!stored.readNext()) return StreamResult::ReadFailed;
        return inflater.inflate(
            stored, info.realSize,
            [&out](const std::uint8_t* data, std::size_t size) {
                out.append(reinterpret_cast<const char*>(data), size);
                return true;
            },
            monitor);
    }
};

TEST_F(EntryInflaterTest, WholeAndStreamedGiveTheSameVerdictAndContent) {
    for (const InflateCase& c : Cases()) {
        Load({c.entry});
        for (const std::size_t wholeLimit : {kWholeEntryBytes, std::size_t{0}}) {
            SCOPED_TRACE(std::string(c.what) + (wholeLimit ? ", whole" : ", streamed"));
            EntryInflater inflater(wholeLimit);
            std::string out;
            EXPECT_EQ(Inflate(inflater, out), c.result);
            if (c.result == StreamResult::Ok) {
                EXPECT_EQ(out, c.content) << "content differs";
            } else if (wholeLimit != 0) {
                EXPECT_TRUE(out.empty());  // whole: nothing reaches the sink before the checks
            }
        }
    }
}

TEST_F(EntryInflaterTest, OneInflaterServesEntryAfterEntryWhateverCameBefore) {
    Load({Packed(kStream, kText.size())});
    EntryInflater inflater;
    for (int round = 0; round < 3; ++round) {
        std::string out;
        EXPECT_EQ(Inflate(inflater, out), StreamResult::Ok);
        EXPECT_EQ(out, kText);
    }
}

TEST_F(EntryInflaterTest, CancelIsSeenBetweenTheChunksOfAWholeEntry) {
    Load({Packed(kStream, kText.size())});
    BatchMonitor monitor;
    monitor.requestCancel();
    EntryInflater inflater;
    std::string out;
    EXPECT_EQ(Inflate(inflater, out, &monitor), StreamResult::Cancelled);
    EXPECT_EQ(monitor.progress().bytesDone, kStreamChunkBytes);
    EXPECT_TRUE(out.empty());
}

}  // namespace
}  // namespace tarvix
