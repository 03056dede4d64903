#include "reader/compressed.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <new>
#include <optional>

#include "reader/byte_source.h"
#include "reader/catalog.h"
#include "reader/chunk_decoders.h"
#include "reader/item_reads.h"
#include "reader/mtf_walk.h"
#include "reader/tags.h"
#include "reader/xpress_huffman.h"

namespace {

constexpr size_t kSfmbReadSize = 68;
constexpr size_t kMaxHeaderSize = 28;

// Places in a chunk, from its first byte, as the 8-byte layout has them; from byte 4
// on, the 28-byte layout moves them on by its Shift().
constexpr uint64_t kIndexStart = 4;      // an indexed chunk's index: 16 bytes
constexpr size_t kIndexReadSize = 16;
constexpr size_t kIndexExtraLength = 8;  // in the index: the 32-bit length added to the stored size
// Fields of the 28-byte header only.
constexpr size_t kHeaderZeroField = 20;  // 32 bits that are zero
constexpr size_t kHeaderChecksum = 24;   // CompressedChunkChecksum of the stored bytes

// The catalog readers read fixed-size pieces up to ByteSource::kMemoryTail bytes past
// a decoded chunk's output; the decode buffer holds that much behind the largest output.
static_assert(kDecodeBufferSize >= kMaxDecodedUnits * kChunkUnit + ByteSource::kMemoryTail);

// Flag bits of a chunk header that decide where the next item lies.
constexpr uint8_t kFlagWholeUnits = 0x02;  // the next item follows the chunk's whole output length
constexpr uint8_t kFlagShortened = 0x04;   // stored size counts 4 bytes of the next item
constexpr uint8_t kFlagIndexed = 0x08;     // an extra 32-bit length follows inside the chunk
constexpr uint8_t kFlagAnyKind = 0x7F;

// Reads the chunk at `position`: its header into `header`, and its stored bytes into
// `stored`, which has room for kMaxStoredSize. False when the file cuts the header or
// the stored bytes short, or a read fails.
bool ReadChunk(ItemReads& reads, uint64_t position, const ContainerLayout& layout, CompressedChunkHeader& header,
               uint8_t* stored) {
    uint8_t head[kMaxHeaderSize];
    if (!reads.Exact(position, head, layout.headerSize)) return false;
    header = CompressedChunkHeader::From(head);
    return reads.Exact(position + layout.headerSize, stored, header.storedSize);
}

// Room for one chunk's stored bytes; null when it cannot be allocated.
std::unique_ptr<uint8_t[]> StoredBuffer() { return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[kMaxStoredSize]); }

// The output length of a chunk: units × 512 for the 1 to 254 units that are decoded,
// 0 for a chunk that is not.
uint32_t DecodedLength(const CompressedChunkHeader& header) {
    const unsigned units = header.units;
    if (units < 1 || units > kMaxDecodedUnits) return 0;
    return static_cast<uint32_t>(units * kChunkUnit);
}

// Looks at every 512-byte step of a decoded chunk for the blocks that matter to
// the scan: SSET sets the remembered data set, every MSCI yields its backup sets,
// every MSLS gives the sets found before it their second catalog copy.
void SearchOutput(const uint8_t* decoded, uint32_t n, uint64_t chunkPosition, uint32_t stripe, ScanContext& ctx) {
    for (uint32_t o = 0; o < n; o += kChunkUnit) {
        const uint8_t* block = decoded + o;
        if (BlockTagIs(block, "SSET")) {
            ByteSource bytes(decoded, n);  // bytes past the output read as zero
            ctx.chunkDataSet = ReadDataSet(bytes, o, block);
        } else if (BlockTagIs(block, "MSCI")) {
            ctx.found = true;
            const DataSetInfo dataSet = ctx.chunkDataSet;
            ParseCatalogInMemory(decoded, n, o, chunkPosition, dataSet, stripe, *ctx.store);
        } else if (BlockTagIs(block, "MSLS")) {
            NoteEndCatalogInMemory(decoded, n, o, stripe, *ctx.store, ctx.endCatalogs);
        }
    }
}

// Where the item after the chunk at `p` lies; nothing when the extra length of an
// indexed chunk cannot be read. Sizes are 32-bit and wrap.
std::optional<uint64_t> NextItemPosition(ItemReads& reads, uint64_t p, const CompressedChunkHeader& header,
                                         const ContainerLayout& layout, ScanMode mode) {
    const uint32_t stored = header.storedSize;
    uint64_t base = p + layout.headerSize;
    uint32_t size = 0;
    if (header.flags & kFlagIndexed) {
        base = p + kIndexStart + layout.Shift();
        uint8_t index[kIndexReadSize];
        if (!reads.Exact(base, index, sizeof index)) return std::nullopt;
        size = stored + LoadU32(index + kIndexExtraLength);
    } else if (header.flags & kFlagShortened) {
        size = (mode == ScanMode::Advanced && stored == 0) ? 0 : stored - 4u;
    } else if (header.flags & kFlagAnyKind) {
        size = stored;
    } else {
        size = stored - 4u;
    }
    if (header.flags & kFlagWholeUnits) return base + uint64_t{header.units} * kChunkUnit;
    return base + size;
}

// Reads the item at `position` into the decoders' next slot (a chunk to decode gets its
// output length) and moves `position` to the next item. False when the walk ends after
// this item: the file cuts it short, its stored bytes have no room, or nothing tells
// where the next item lies.
bool ReadItem(ItemReads& reads, const ContainerLayout& layout, ScanMode mode, uint64_t& position,
              ChunkDecoders& decoders) {
    ChunkSlot& slot = decoders.Next();
    slot.position = position;
    slot.n = 0;
    uint8_t tag[4];
    if (!reads.Exact(position, tag, sizeof tag)) return false;
    if (BlockTagIs(tag, "SFMB")) {
        uint8_t block[kSfmbReadSize];
        if (!reads.Exact(position, block, sizeof block)) return false;
        const uint16_t distance = LoadU16(block + kOffsetToFirstEvent);
        position += distance;
        return distance != 0;  // else nothing tells where the next item lies
    }
    if (!decoders.Buffers(slot) || !ReadChunk(reads, position, layout, slot.header, slot.stored)) return false;
    slot.n = DecodedLength(slot.header);
    std::optional<uint64_t> next = NextItemPosition(reads, position, slot.header, layout, mode);
    if (!next) return false;
    position = *next;
    return true;
}

}  // namespace

uint32_t CompressedChunkChecksum(const uint8_t* stored, size_t size) {
    uint32_t sum = 0;
    for (size_t i = 0; i < size; i += 4) {
        uint8_t word[4] = {};
        std::memcpy(word, stored + i, std::min<size_t>(4, size - i));
        sum = std::rotl(sum, 1) ^ LoadU32(word);
    }
    return sum;
}

ContainerLayout DetectContainerLayout(BackupFile& file, uint64_t length) {
    const uint64_t p = kChecksummedLayout.firstItem;
    ItemReads reads(file, false);
    uint8_t head[kMaxHeaderSize];
    if (length < p + kChecksummedLayout.headerSize || !reads.Exact(p, head, kChecksummedLayout.headerSize))
        return kShortHeaderLayout;
    if (BlockTagIs(head, "SFMB") || LoadU32(head + kHeaderZeroField) != 0) return kShortHeaderLayout;
    // A chunk without stored bytes would pass on zeros alone.
    if (CompressedChunkHeader::From(head).storedSize == 0) return kShortHeaderLayout;
    CompressedChunkHeader header;
    std::unique_ptr<uint8_t[]> stored = StoredBuffer();
    if (!stored || !ReadChunk(reads, p, kChecksummedLayout, header, stored.get())) return kShortHeaderLayout;
    const uint32_t checksum = CompressedChunkChecksum(stored.get(), header.storedSize);
    return checksum == LoadU32(head + kHeaderChecksum) ? kChecksummedLayout : kShortHeaderLayout;
}

void WalkCompressedChunks(BackupFile& file, uint64_t length, uint32_t stripe, ScanContext& ctx) {
    WalkCompressedChunks(file, length, stripe, ctx, ChunkDecoders::AllCores());
}

void WalkCompressedChunks(BackupFile& file, uint64_t length, uint32_t stripe, ScanContext& ctx,
                          unsigned decodeThreads) try {
    if (ctx.store == nullptr) return;  // nowhere to put what is found
    StartFileWalk(*ctx.store);
    const ContainerLayout layout = DetectContainerLayout(file, length);
    ChunkDecoders decoders(decodeThreads);
    ItemReads reads(file, true);

    uint64_t position = layout.firstItem;
    bool more = position < length;
    for (;;) {
        // Items are read ahead, in order, as far as there are slots for them.
        while (more && !decoders.Full()) {
            more = ReadItem(reads, layout, ctx.mode, position, decoders) && position < length;
            decoders.Add();
        }
        if (decoders.Empty() || ctx.StopRequested()) return;
        const ChunkSlot& item = decoders.Oldest();
        ctx.ReportPosition(item.position);
        ctx.chunkDataSet.strName.clear();
        ctx.chunkDataSet.strDescription.clear();
        SearchOutput(item.decoded, item.n, item.position, stripe, ctx);
        decoders.DropOldest();
    }
} catch (...) {
    // A failed allocation ends the walk of this file as a read error does.
}

OpenFailure ReadCompressedCatalog(const std::vector<InputFileEntry>& inputFiles, uint64_t chunkPosition,
                                  uint32_t stripe, CatalogStore& store) try {
    BackupFile file;
    if (!OpenStripe(inputFiles, stripe, file)) return file.LastOpenFailure();
    const ContainerLayout layout = DetectContainerLayout(file, file.GetLength());
    std::vector<uint8_t> decoded(kDecodeBufferSize);

    CompressedChunkHeader header;
    std::unique_ptr<uint8_t[]> stored = StoredBuffer();
    ItemReads reads(file, false);
    if (!stored || !ReadChunk(reads, chunkPosition, layout, header, stored.get())) return {};
    const uint32_t n = DecodedLength(header);
    XpressHuffmanDecompress(stored.get(), header.storedSize, n, decoded.data());
    stored.reset();
    for (uint32_t o = 0; o < n; o += kChunkUnit) {
        if (BlockTagIs(decoded.data() + o, "MSCI")) {
            ReadCatalogFromBuffer(decoded.data(), n, o, store);
            return {};
        }
    }
    return {};
} catch (...) {
    // A failed allocation ends the re-read; what it filled stays.
    return {};
}
