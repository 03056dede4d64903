#include "reader/mtf_walk.h"

#include <cstring>
#include <string_view>
#include <vector>

#include "reader/catalog.h"
#include "reader/records.h"

namespace {

// The descriptor blocks the walk knows, in the order their tags are tested, with
// the size of the fixed part read from the block's first byte.
struct BlockType {
    const char* tag;
    size_t fixedSize;
};
constexpr BlockType kBlockTypes[] = {
    {"TAPE", 94}, {"SFMB", 68}, {"SSET", 98}, {"VOLB", 73}, {"MSCI", 56},
    {"MSDA", 60}, {"MSTL", 89}, {"MSLS", 56}, {"ESET", 85},
};
constexpr size_t kLargestFixedPart = 98;
constexpr uint64_t kUnknownDataStep = 512;

// SSET fields, from the block's first byte.
constexpr size_t kDataSetNumber = 62;
constexpr size_t kDataSetNameSize = 64;
constexpr size_t kDataSetNameOffset = 66;
constexpr size_t kDataSetDescriptionSize = 68;
constexpr size_t kDataSetDescriptionOffset = 70;

// Where the block walk goes on after an MSCI block whose catalog walk ended as `end`.
uint64_t AfterCatalog(BackupFile& file, uint64_t length, ScanMode mode, uint64_t streamEnd, CatalogWalkEnd end) {
    if (mode == ScanMode::Standard && end.ending == CatalogEnding::Pad) return streamEnd;
    if (mode == ScanMode::Standard && end.ending == CatalogEnding::Other) return end.position;
    // Standard Mode after the SFIN entries, and Advanced Mode after every ending:
    // a pad stream that follows at the next multiple of 4 is passed over.
    uint64_t from = (mode == ScanMode::Advanced && end.ending == CatalogEnding::Pad) ? streamEnd : end.position;
    uint64_t q = RoundUpTo4(from);
    if (q < length) {
        MtfStreamHeader pad = ReadStreamHeader(file, q);
        if (pad.IdIs("SPAD")) return SaturatingAdd(q + MtfStreamHeader::kSize, pad.length);
    }
    return mode == ScanMode::Standard ? q : streamEnd;
}

}  // namespace

DataSetInfo ReadDataSet(ByteSource& bytes, uint64_t block, const uint8_t* fixed) {
    DataSetInfo dataSet;
    dataSet.nNumber = LoadU16(fixed + kDataSetNumber);
    dataSet.strName = bytes.Text(block + LoadU16(fixed + kDataSetNameOffset), LoadU16(fixed + kDataSetNameSize));
    dataSet.strDescription =
        bytes.Text(block + LoadU16(fixed + kDataSetDescriptionOffset), LoadU16(fixed + kDataSetDescriptionSize));
    return dataSet;
}

MtfStreamHeader MtfStreamHeader::FromBytes(const uint8_t b[kSize]) {
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

MtfStreamHeader ReadStreamHeader(BackupFile& file, uint64_t position) {
    uint8_t bytes[MtfStreamHeader::kSize] = {};
    file.ReadAt(position, bytes, sizeof bytes);
    return MtfStreamHeader::FromBytes(bytes);
}

uint64_t FollowStreamChain(BackupFile& file, uint64_t blockPosition, uint16_t offsetToFirstEvent, uint64_t length,
                           bool* mqda) {
    uint64_t h = SaturatingAdd(blockPosition, offsetToFirstEvent);
    MtfStreamHeader header = ReadStreamHeader(file, h);
    uint64_t p = SaturatingAdd(SaturatingAdd(h, MtfStreamHeader::kSize), header.length);
    if (header.IdIs("SPAD")) return p;
    // The first stream counts as unknown data only when it runs to the end of the file.
    if (p >= length) {
        if (mqda && header.IdIs("MQDA") && header.length != 0) *mqda = true;
        return p;
    }
    // Every later header starts at the next multiple of 4; each one moves p on by
    // at least its own 22 bytes, so the chain reaches the end of the file.
    while (p < length && !file.Failed()) {
        h = RoundUpTo4(p);
        header = ReadStreamHeader(file, h);
        p = SaturatingAdd(SaturatingAdd(h, MtfStreamHeader::kSize), header.length);
        if (mqda && header.IdIs("MQDA") && header.length != 0) *mqda = true;
        if (header.IdIs("SPAD")) break;
    }
    return p;
}

void WalkMtfBlocks(BackupFile& file, uint64_t length, uint32_t stripe, ScanContext& ctx) try {
    // The data set number is kept from earlier files of the run; its texts are not.
    ctx.mtfDataSet.strName.clear();
    ctx.mtfDataSet.strDescription.clear();
    if (ctx.store == nullptr) return;  // nowhere to put what is found
    StartFileWalk(*ctx.store);
    uint64_t position = 0;
    while (position < length) {
        if (ctx.StopRequested()) return;
        ctx.ReportPosition(position);

        uint8_t tag[4] = {};
        file.ReadAt(position, tag, sizeof tag);
        const BlockType* type = nullptr;
        for (const BlockType& candidate : kBlockTypes) {
            if (BlockTagIs(tag, candidate.tag)) {
                type = &candidate;
                break;
            }
        }

        uint64_t next = position + kUnknownDataStep;
        if (type != nullptr) {
            uint8_t fixed[kLargestFixedPart] = {};
            file.ReadAt(position, fixed, type->fixedSize);
            uint16_t firstEvent = LoadU16(fixed + kOffsetToFirstEvent);
            std::string_view name = type->tag;
            if (name == "SFMB") {
                next = position + firstEvent;
            } else if (name == "MSCI") {
                ctx.found = true;
                uint64_t h = position + firstEvent;
                MtfStreamHeader catalog = ReadStreamHeader(file, h);
                uint64_t streamEnd = SaturatingAdd(h + MtfStreamHeader::kSize, catalog.length);
                CatalogWalkEnd end =
                    WalkMsciCatalog(file, position, firstEvent, catalog, stripe, ctx.mtfDataSet, *ctx.store);
                next = AfterCatalog(file, length, ctx.mode, streamEnd, end);
            } else {
                if (name == "SSET") {
                    ByteSource bytes(file);
                    ctx.mtfDataSet = ReadDataSet(bytes, position, fixed);
                }
                bool noteMqda = ctx.mode == ScanMode::Advanced && name == "MSDA";
                next = FollowStreamChain(file, position, firstEvent, length, noteMqda ? &ctx.mqda : nullptr);
            }
        }

        // A read error ends this file's walk; what was found before it stays.
        if (file.Failed()) return;
        // A block that points at itself (a soft filemark whose offset is 0) is
        // passed over like unknown data, so no position is visited twice.
        if (next <= position) next = position + kUnknownDataStep;
        position = next;
    }
} catch (...) {
    // A failed allocation ends this file's walk as a read error does; what was
    // found before it stays.
}
