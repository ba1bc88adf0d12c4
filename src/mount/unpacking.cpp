#include "mount/unpacking.h"

#include <algorithm>

#include "codec/zlib_inflater.h"
#include "extract/entry_extractor.h"

namespace tarvix::mount {
namespace {

UnpackedContent Inflate(std::span<const std::uint8_t> stored, std::uint32_t realSize) {
    UnpackedContent content;
    content.bytes.resize(std::size_t{realSize} + 1);  // the one byte an over-long stream adds
    ZlibInflater inflater;
    inflater.feed(stored.data(), stored.size());
    std::size_t produced = 0;
    const ZlibInflater::Status status =
        inflater.inflate(content.bytes.data(), content.bytes.size(), produced);
    const bool exact =
        status == ZlibInflater::Status::End && inflater.unusedInput() == 0 && produced == realSize;
    content.bytes.resize(std::min<std::size_t>(produced, realSize));
    if (exact) {
        content.soundBytes = realSize;
        return content;
    }
    content.soundBytes = std::min<std::size_t>(produced, realSize == 0 ? 0 : realSize - 1);
    content.problem = status == ZlibInflater::Status::NoMemory ? kOutcomeNoMemory : kOutcomeDamaged;
    return content;
}

}  // namespace

std::string CannotUnpackProblem(Packing packing, std::uint32_t rawType) {
    if (packing == Packing::Lzss) return "LZSS unpacking is not available in this build";
    return "Unknown packing (Type " + std::to_string(rawType) + ")";
}

UnpackedContent UnpackWhole(Packing packing, std::uint32_t rawType,
                            std::span<const std::uint8_t> stored, std::uint32_t realSize) {
    switch (packing) {
        case Packing::Stored: {
            UnpackedContent content;
            content.bytes.assign(stored.begin(), stored.end());
            content.soundBytes = content.bytes.size();
            return content;
        }
        case Packing::Zlib:
            return Inflate(stored, realSize);
        case Packing::Lzss:
        case Packing::Unknown:
            break;
    }
    UnpackedContent content;
    content.problem = CannotUnpackProblem(packing, rawType);
    return content;
}

}  // namespace tarvix::mount
