// SQL Server's compressed backup container: a 16-byte header starting
// "MSSQLBAK", then compressed chunks with soft filemark blocks between them.
//
// Two chunk layouts exist. In the first, items start at offset 16 and a chunk's
// header is 8 bytes. The servers we have files from (2014 to 2022) put the first
// item at 0x1E0 and give every chunk a 28-byte header that ends with a checksum
// of its stored bytes; everything behind byte 4 of such a chunk lies 20 bytes
// further on. A container is read in the second layout when its item at 0x1E0 is
// a chunk whose header has that form and whose checksum matches.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "reader/backup_file.h"
#include "reader/records.h"
#include "reader/scan_context.h"

// The fields of a chunk header that the walk uses (its first four bytes).
struct CompressedChunkHeader {
    uint8_t flags = 0;        // steers where the next item lies
    uint8_t units = 0;        // output length in 512-byte units; only 1 to 254 are decoded
    uint16_t storedSize = 0;  // stored bytes following the header

    static CompressedChunkHeader From(const uint8_t* bytes) {
        return {bytes[0], bytes[1], LoadU16(bytes + 2)};
    }
};

// Where a container's items begin and how long its chunk headers are.
struct ContainerLayout {
    uint64_t firstItem;
    uint32_t headerSize;  // 8 or 28; the stored bytes follow it

    // Everything past byte 4 of a chunk moves by this much between the layouts.
    uint32_t Shift() const { return headerSize - 8; }
};

inline constexpr ContainerLayout kShortHeaderLayout{16, 8};
inline constexpr ContainerLayout kChecksummedLayout{0x1E0, 28};

inline constexpr size_t kChunkUnit = 512;
inline constexpr unsigned kMaxDecodedUnits = 254;
// One more unit than the largest chunk output, so at least 512 zero bytes follow it.
inline constexpr size_t kDecodeBufferSize = 255 * kChunkUnit;
// The most stored bytes a chunk can have.
inline constexpr size_t kMaxStoredSize = UINT16_MAX;

// The checksum of a chunk's stored bytes in the 28-byte header: the bytes read as
// 32-bit little-endian words (the last one padded with zeros), each xored into the
// running value after it is rotated left by one bit.
uint32_t CompressedChunkChecksum(const uint8_t* stored, size_t size);

// Decides the layout of an open container from its item at 0x1E0.
ContainerLayout DetectContainerLayout(BackupFile& file, uint64_t length);

// Walks the open container to `length`, decoding every chunk and collecting the
// backup sets of its catalogs into ctx.store. Chunks are decoded ahead of the walk on
// every core; everything else happens on the calling thread in walk order, so that
// the results are those of decoding one chunk after the other. A failed allocation
// ends the walk as a read error does; the sets found before stay.
void WalkCompressedChunks(BackupFile& file, uint64_t length, uint32_t stripe, ScanContext& ctx);
// The same with `decodeThreads` threads decoding (1 to 16; the calling thread is one
// of them, so 1 decodes on it alone).
void WalkCompressedChunks(BackupFile& file, uint64_t length, uint32_t stripe, ScanContext& ctx,
                          unsigned decodeThreads);

// Re-reads the chosen set's catalog from the chunk at `chunkPosition` of the
// container at index `stripe` of `inputFiles`. Returns why the file did not open
// (no failure when it did, or when there is no such entry).
OpenFailure ReadCompressedCatalog(const std::vector<InputFileEntry>& inputFiles, uint64_t chunkPosition,
                                  uint32_t stripe, CatalogStore& store);
