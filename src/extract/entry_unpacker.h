#pragma once

#include <cstddef>

#include "archive/batch_monitor.h"
#include "archive/dat_archive.h"
#include "archive/dat_entry.h"
#include "codec/lzss_blocks.h"
#include "codec/lzss_decoder.h"
#include "extract/entry_inflater.h"
#include "extract/stored_stream.h"

namespace tarvix {

// Unpacks entries by their packing, one after another: the one path by which extraction,
// check and the viewer turn stored bytes into content. It keeps its decoders and buffers for
// the next entry (see EntryInflater).
//
// Every packed entry must give exactly RealSize bytes and use exactly its stored bytes:
// - zlib: a valid stream to its Adler-32 (EntryInflater);
// - LZSS in blocks: the headers end exactly at the end of the stored bytes under one reading
//   of stored blocks, the game's (low 15 bits) when both would, unless only the other gives
//   RealSize bytes; a block may not end inside a match; nothing may follow a 0 header;
// - one LZSS stream: it may not end inside a match.
// Output stops as soon as it would pass RealSize, so no claim of the archive sizes anything.
class EntryUnpacker {
public:
    // `wholeLimit`: see EntryInflater; 0 streams every zlib entry, which keeps the bytes before
    // any damage for a caller that shows them.
    explicit EntryUnpacker(std::size_t wholeLimit = kWholeEntryBytes);

    // Unpacks the entry's stored bytes, from the chunk already read on, into `sink`. A stored
    // entry's bytes are handed on as they are; an unknown packing is Damaged (callers report
    // it before reading).
    StreamResult unpack(const DatArchive& archive, const EntryInfo& info, StoredBytes& stored,
                        const ChunkSink& sink, const BatchMonitor* monitor);

    // The reading of stored blocks that unpack() takes for an entry packed in LZSS blocks, for
    // a reader that decodes the blocks itself; nothing when none fits (`failure`: Damaged, or
    // ReadFailed).
    std::optional<StoredBlockReading> blockReading(const DatArchive& archive, const EntryInfo& info,
                                                   StreamResult& failure);

private:
    StreamResult unpackStream(const EntryInfo& info, StoredBytes& stored, const ChunkSink& sink,
                              const BatchMonitor* monitor);
    StreamResult unpackBlocks(const DatArchive& archive, const EntryInfo& info, StoredBytes& stored,
                              const ChunkSink& sink, const BatchMonitor* monitor);
    DecodeResult decodeBlocks(const EntryInfo& info, StoredBytes& stored,
                              StoredBlockReading reading, DecodedOutput& out,
                              const BatchMonitor* monitor);
    // Which reading of stored blocks the entry's headers call for; nothing when none fits.
    std::optional<StoredBlockReading> chooseReading(const DatArchive& archive,
                                                    const EntryInfo& info, StoredBytes& stored,
                                                    StreamResult& failure);

    EntryInflater inflater_;
    LzssBlockDecoder blocks_;
    LzssDecoder stream_;
};

}  // namespace tarvix
