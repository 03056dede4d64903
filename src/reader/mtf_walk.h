// The walk over one plain backup file as MTF descriptor blocks and their
// chains of stream headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>

#include "reader/backup_file.h"
#include "reader/byte_source.h"
#include "reader/item_reads.h"
#include "reader/records.h"
#include "reader/scan_context.h"
#include "reader/tags.h"

// Where the MTF common block header of every descriptor block keeps its offset
// to the first event (a 16-bit value): the distance from the block's first byte
// to its first stream header.
inline constexpr size_t kOffsetToFirstEvent = 8;

// The 22-byte MTF stream header that starts every stream of a block's chain.
struct MtfStreamHeader {
    static constexpr size_t kSize = 22;

    uint8_t id[4] = {};
    uint16_t fileSystemAttributes = 0;
    uint16_t mediaFormatAttributes = 0;
    uint64_t length = 0;  // data bytes after the header
    uint16_t encryptionAlgorithm = 0;
    uint16_t compressionAlgorithm = 0;
    uint16_t checksum = 0;  // never verified

    static MtfStreamHeader FromBytes(const uint8_t bytes[kSize]);
    // Stream ids are compared as their four raw bytes.
    bool IdIs(const char (&tag)[5]) const { return RawTagIs(id, tag); }
};

// Inline: a chain over many headers takes only the fields it looks at.
inline MtfStreamHeader MtfStreamHeader::FromBytes(const uint8_t b[kSize]) {
    MtfStreamHeader h;
    std::memcpy(h.id, b, 4);
    h.fileSystemAttributes = LoadU16(b + 4);
    h.mediaFormatAttributes = LoadU16(b + 6);
    h.length = LoadU64(b + 8);
    h.encryptionAlgorithm = LoadU16(b + 16);
    h.compressionAlgorithm = LoadU16(b + 18);
    h.checksum = LoadU16(b + 20);
    return h;
}

// Reads the stream header at `position`; bytes past the end of the file read as zeros.
MtfStreamHeader ReadStreamHeader(BackupFile& file, uint64_t position);
MtfStreamHeader ReadStreamHeader(ItemReads& reads, uint64_t position);

// Follows the chain of stream headers of the block at `blockPosition`, from its
// first header at `blockPosition + offsetToFirstEvent`. Returns the position
// after the data of the chain's "SPAD" stream, or the position at which the chain
// reached or passed `length`. Sums that would pass 2^64 - 1 stay there. When
// `mqda` is given, a non-empty "MQDA" stream of the chain sets it (the first
// stream only when no header follows it).
//
// A chain may run through gigabytes of zeros in steps of 24 bytes, so it moves
// ctx's bar as it goes and, once it is longer than a sound chain, heeds ctx's
// stop flag (see kStepsBetweenStopTests); it returns nothing when a stop ended it.
std::optional<uint64_t> FollowStreamChain(ItemReads& reads, uint64_t blockPosition, uint16_t offsetToFirstEvent,
                                          uint64_t length, bool* mqda, const ScanContext& ctx);

// The data set of the SSET block at `block`, whose fixed part is `fixed`: its
// number, and its name and description read from `bytes` at the block plus their
// offsets. The plain walk reads them from the file, the chunk walk from the
// decoded chunk.
DataSetInfo ReadDataSet(ByteSource& bytes, uint64_t block, const uint8_t* fixed);

// Walks the open file from offset 0 to `length`, collecting every backup set
// into ctx.store (which must be set) and raising ctx.found (and, in Advanced
// Mode, ctx.mqda). The walk of the file ends early at a stop request, at the
// first read error or at a failed allocation; the sets found before stay.
void WalkMtfBlocks(BackupFile& file, uint64_t length, uint32_t stripe, ScanContext& ctx);

// Position arithmetic that stops at 2^64 - 1 instead of wrapping round.
inline uint64_t SaturatingAdd(uint64_t a, uint64_t b) { return b > UINT64_MAX - a ? UINT64_MAX : a + b; }
inline uint64_t RoundUpTo4(uint64_t p) { return p > UINT64_MAX - 3 ? UINT64_MAX : (p + 3) & ~uint64_t{3}; }
