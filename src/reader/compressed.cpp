#include "reader/compressed.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <new>
#include <optional>

#include "reader/byte_source.h"
#include "reader/catalog.h"
#include "reader/mtf_walk.h"
#include "reader/tags.h"
#include "reader/xpress_huffman.h"

namespace {

constexpr size_t kSfmbReadSize = 68;
constexpr size_t kMaxHeaderSize = 28;
constexpr size_t kIndexReadSize = 16;

// Flag bits of a chunk header that decide where the next item lies.
constexpr uint8_t kFlagWholeUnits = 0x02;  // the next item follows the chunk's whole output length
constexpr uint8_t kFlagShortened = 0x04;   // stored size counts 4 bytes of the next item
constexpr uint8_t kFlagIndexed = 0x08;     // an extra 32-bit length follows inside the chunk
constexpr uint8_t kFlagAnyKind = 0x7F;

// Reads exactly `count` bytes; false when the file ends before them or a read fails.
bool ReadExact(BackupFile& file, uint64_t position, void* buffer, size_t count) {
    return file.ReadAt(position, buffer, count) == count && !file.Failed();
}

// Reads the chunk at `position`: its header into `header`, and its stored bytes,
// which live only until the chunk is done. Nothing is returned when the file cuts
// the header or the stored bytes short, a read fails, or the stored bytes cannot
// be allocated.
std::unique_ptr<uint8_t[]> ReadChunk(BackupFile& file, uint64_t position, const ContainerLayout& layout,
                                     CompressedChunkHeader& header) {
    uint8_t head[kMaxHeaderSize];
    if (!ReadExact(file, position, head, layout.headerSize)) return nullptr;
    header = CompressedChunkHeader::From(head);
    std::unique_ptr<uint8_t[]> stored(new (std::nothrow) uint8_t[header.storedSize]);
    if (!stored || !ReadExact(file, position + layout.headerSize, stored.get(), header.storedSize)) return nullptr;
    return stored;
}

// Decodes a chunk of 1 to 254 units into `decoded` (zero beyond what was written
// before); returns the output length, 0 for a chunk that is not decoded.
uint32_t DecodeChunk(const CompressedChunkHeader& header, const uint8_t* stored, uint8_t* decoded) {
    const unsigned units = header.units;
    if (units < 1 || units > kMaxDecodedUnits) return 0;
    const uint32_t n = static_cast<uint32_t>(units * kChunkUnit);
    XpressHuffmanDecompress(stored, header.storedSize, n, decoded);
    return n;
}

// Looks at every 512-byte step of a decoded chunk for the blocks that matter to
// the scan: SSET sets the remembered data set, every MSCI yields its backup sets.
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
        }
    }
}

// Where the item after the chunk at `p` lies; nothing when the extra length of an
// indexed chunk cannot be read. Sizes are 32-bit and wrap.
std::optional<uint64_t> NextItemPosition(BackupFile& file, uint64_t p, const CompressedChunkHeader& header,
                                         const ContainerLayout& layout, ScanMode mode) {
    const uint64_t shift = layout.Shift();
    const uint32_t stored = header.storedSize;
    uint64_t base = p + 8 + shift;
    uint32_t size = 0;
    if (header.flags & kFlagIndexed) {
        base = p + 4 + shift;
        uint8_t index[kIndexReadSize];
        if (!ReadExact(file, base, index, sizeof index)) return std::nullopt;
        size = stored + LoadU32(index + 8);
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
    uint8_t head[kMaxHeaderSize];
    if (length < p + kChecksummedLayout.headerSize || !ReadExact(file, p, head, kChecksummedLayout.headerSize))
        return kShortHeaderLayout;
    if (BlockTagIs(head, "SFMB") || LoadU32(head + 20) != 0) return kShortHeaderLayout;
    // A chunk without stored bytes would pass on zeros alone.
    if (CompressedChunkHeader::From(head).storedSize == 0) return kShortHeaderLayout;
    CompressedChunkHeader header;
    std::unique_ptr<uint8_t[]> stored = ReadChunk(file, p, kChecksummedLayout, header);
    if (!stored) return kShortHeaderLayout;
    const uint32_t checksum = CompressedChunkChecksum(stored.get(), header.storedSize);
    return checksum == LoadU32(head + 24) ? kChecksummedLayout : kShortHeaderLayout;
}

void WalkCompressedChunks(BackupFile& file, uint64_t length, uint32_t stripe, ScanContext& ctx) try {
    if (ctx.store == nullptr) return;  // nowhere to put what is found
    StartFileWalk(*ctx.store);
    const ContainerLayout layout = DetectContainerLayout(file, length);
    std::vector<uint8_t> decoded(kDecodeBufferSize);
    size_t dirty = 0;  // bytes of the decode buffer that the last decode may have written

    uint64_t position = layout.firstItem;
    while (position < length && !ctx.StopRequested()) {
        ctx.ReportPosition(position);
        std::fill_n(decoded.begin(), dirty, uint8_t{0});
        dirty = 0;
        ctx.chunkDataSet.strName.clear();
        ctx.chunkDataSet.strDescription.clear();

        uint8_t tag[4];
        if (!ReadExact(file, position, tag, sizeof tag)) return;
        if (BlockTagIs(tag, "SFMB")) {
            uint8_t block[kSfmbReadSize];
            if (!ReadExact(file, position, block, sizeof block)) return;
            const uint16_t distance = LoadU16(block + 8);
            if (distance == 0) return;  // nothing tells where the next item lies
            position += distance;
            continue;
        }

        CompressedChunkHeader header;
        std::unique_ptr<uint8_t[]> stored = ReadChunk(file, position, layout, header);
        if (!stored) return;
        const uint32_t n = DecodeChunk(header, stored.get(), decoded.data());
        dirty = n;
        stored.reset();  // the stored bytes are done with
        SearchOutput(decoded.data(), n, position, stripe, ctx);

        std::optional<uint64_t> next = NextItemPosition(file, position, header, layout, ctx.mode);
        if (!next) return;
        position = *next;
    }
} catch (...) {
    // A failed allocation ends the walk of this file as a read error does.
}

void ReadCompressedCatalog(const std::vector<InputFileEntry>& inputFiles, uint64_t chunkPosition, uint32_t stripe,
                           CatalogStore& store) try {
    if (stripe >= inputFiles.size()) return;
    BackupFile file;
    if (!file.Open(inputFiles[stripe].strPath)) return;
    const ContainerLayout layout = DetectContainerLayout(file, file.GetLength());
    std::vector<uint8_t> decoded(kDecodeBufferSize);

    CompressedChunkHeader header;
    std::unique_ptr<uint8_t[]> stored = ReadChunk(file, chunkPosition, layout, header);
    if (!stored) return;
    const uint32_t n = DecodeChunk(header, stored.get(), decoded.data());
    stored.reset();
    for (uint32_t o = 0; o < n; o += kChunkUnit) {
        if (BlockTagIs(decoded.data() + o, "MSCI")) {
            ReadCatalogFromBuffer(decoded.data(), n, o, store);
            return;
        }
    }
} catch (...) {
    // A failed allocation ends the re-read; what it filled stays.
}
