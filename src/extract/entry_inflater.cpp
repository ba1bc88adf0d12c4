#include "extract/entry_inflater.h"

#include <libdeflate.h>

#include <cstring>

namespace tarvix {
EntryInflater::EntryInflater(std::size_t wholeLimit) : wholeLimit_(wholeLimit) {}

EntryInflater::~EntryInflater() {
    if (decompressor_) libdeflate_free_decompressor(decompressor_);
}

StreamResult EntryInflater::inflate(StoredBytes& stored, std::uint32_t realSize,
                                    const ChunkSink& sink, const BatchMonitor* monitor) {
    if (stored.packedSize() > wholeLimit_ || realSize > wholeLimit_) {
        return InflateStored(stored, realSize, sink, monitor);
    }
    return inflateWhole(stored, realSize, sink, monitor);
}

StreamResult EntryInflater::inflateWhole(StoredBytes& stored, std::uint32_t realSize,
                                         const ChunkSink& sink, const BatchMonitor* monitor) {
    std::size_t size = 0;
    StreamResult result = StreamResult::Ok;
    const std::uint8_t* input = gather(stored, size, result, monitor);
    if (!input) return result;
    if (CancelRequested(monitor)) return StreamResult::Cancelled;
    if (!decompressor_) decompressor_ = libdeflate_alloc_decompressor();
    if (!output_) output_ = std::make_unique_for_overwrite<std::uint8_t[]>(wholeLimit_);
    if (!decompressor_) return StreamResult::NoMemory;
    // Offered exactly RealSize: a stream that would give more fails for want of space. The
    // counts make a stream that ends early or before the last stored byte fail too.
    std::size_t used = 0;
    std::size_t produced = 0;
    const libdeflate_result inflated = libdeflate_zlib_decompress_ex(
        decompressor_, input, size, output_.get(), realSize, &used, &produced);
    if (inflated != LIBDEFLATE_SUCCESS || used != size || produced != realSize) {
        return StreamResult::Damaged;
    }
    return sink(output_.get(), produced) ? StreamResult::Ok : StreamResult::OutputFailed;
}

const std::uint8_t* EntryInflater::gather(StoredBytes& stored, std::size_t& size,
                                          StreamResult& result, const BatchMonitor* monitor) {
    size = stored.size();
    if (stored.atEnd()) return stored.data();
    if (!input_) input_ = std::make_unique_for_overwrite<std::uint8_t[]>(wholeLimit_);
    std::memcpy(input_.get(), stored.data(), size);
    while (!stored.atEnd()) {
        if (CancelRequested(monitor)) {
            result = StreamResult::Cancelled;
            return nullptr;
        }
        if (!stored.readNext()) {
            result = StreamResult::ReadFailed;
            return nullptr;
        }
        std::memcpy(input_.get() + size, stored.data(), stored.size());
        size += stored.size();
    }
    return input_.get();
}

}  // namespace tarvix
