#include "lzss_encoder.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace datwriter {
namespace {

constexpr std::size_t kWindow = 4095;  // how far back a match may reach (the ring less one)
constexpr std::size_t kMinMatch = 3;
constexpr std::size_t kMaxMatch = 18;
constexpr std::uint32_t kStart = 0xFEE;
constexpr std::size_t kChainSteps = 64;  // enough for test data; the search stays linear

std::uint32_t HashAt(std::string_view s, std::size_t i) {
    return (static_cast<std::uint8_t>(s[i]) * 0x9E37u ^ static_cast<std::uint8_t>(s[i + 1]) << 5 ^
            static_cast<std::uint8_t>(s[i + 2])) &
           0xFFFFu;
}

// The next group of eight items: a flag byte and its literals and matches.
class Group {
public:
    void literal(char c) {
        flags_ |= static_cast<std::uint8_t>(1u << count_);
        body_.push_back(c);
        ++count_;
    }
    void match(std::size_t position, std::size_t length) {
        const std::uint32_t offset = (kStart + position) & 0xFFF;
        body_.push_back(static_cast<char>(offset & 0xFF));
        body_.push_back(static_cast<char>((offset >> 4 & 0xF0) | (length - kMinMatch)));
        ++count_;
    }
    bool full() const { return count_ == 8; }
    void flushTo(std::string& out) {
        if (count_ == 0) return;
        out.push_back(static_cast<char>(flags_));
        out += body_;
        body_.clear();
        flags_ = 0;
        count_ = 0;
    }

private:
    std::uint8_t flags_ = 0;
    int count_ = 0;
    std::string body_;
};

}  // namespace

std::string LzssEncode(std::string_view s) {
    std::string out;
    Group group;
    std::vector<std::int64_t> head(0x10000, -1);
    std::vector<std::int64_t> previous(s.size(), -1);
    const auto insert = [&](std::size_t i) {
        if (i + kMinMatch > s.size()) return;
        const std::uint32_t h = HashAt(s, i);
        previous[i] = head[h];
        head[h] = static_cast<std::int64_t>(i);
    };
    for (std::size_t i = 0; i < s.size();) {
        std::size_t bestLength = 0;
        std::size_t bestPosition = 0;
        if (i + kMinMatch <= s.size()) {
            std::int64_t candidate = head[HashAt(s, i)];
            for (std::size_t step = 0; candidate >= 0 && step < kChainSteps; ++step) {
                const auto p = static_cast<std::size_t>(candidate);
                if (i - p > kWindow) break;
                std::size_t length = 0;
                const std::size_t longest = std::min(kMaxMatch, s.size() - i);
                while (length < longest && s[p + length] == s[i + length]) ++length;
                if (length > bestLength) {
                    bestLength = length;
                    bestPosition = p;
                }
                candidate = previous[p];
            }
        }
        if (bestLength >= kMinMatch) {
            group.match(bestPosition, bestLength);
            for (std::size_t k = 0; k < bestLength; ++k) insert(i + k);
            i += bestLength;
        } else {
            group.literal(s[i]);
            insert(i);
            ++i;
        }
        if (group.full()) group.flushTo(out);
    }
    group.flushTo(out);
    return out;
}

std::string BlockHeader(int value) {
    const auto bits = static_cast<std::uint16_t>(value);
    return {static_cast<char>(bits >> 8), static_cast<char>(bits & 0xFF)};
}

std::string LzssBlocks(std::string_view content, const LzssBlockOptions& options) {
    std::string out;
    for (std::size_t at = 0; at < content.size(); at += options.blockContent) {
        const std::string_view piece = content.substr(at, options.blockContent);
        const std::string packed = LzssEncode(piece);
        if (options.storeIncompressible && packed.size() >= piece.size()) {
            const int length = static_cast<int>(piece.size());
            out += BlockHeader(options.magnitudeHeaders ? -length : (0x8000 | length));
            out += piece;
        } else {
            out += BlockHeader(static_cast<int>(packed.size()));
            out += packed;
        }
    }
    if (options.zeroHeaderAtEnd) out += BlockHeader(0);
    return out;
}

}  // namespace datwriter
