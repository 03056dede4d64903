#include "reader/mtf_walk.h"

#include <cstring>
#include <span>
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
// Where the next header of a chain lies after one of length 0: its 22 bytes,
// rounded up to a multiple of 4.
constexpr uint64_t kEmptyStreamStep = 24;

// How many bytes at the start of `bytes` are zero.
size_t LeadingZeros(std::span<const uint8_t> bytes) {
    size_t i = 0;
    // Eight words at a time while they are all zero, then byte by byte.
    for (; bytes.size() - i >= 64; i += 64) {
        uint64_t any = 0;
        for (size_t w = 0; w < 64; w += 8) any |= LoadU64(bytes.data() + i + w);
        if (any != 0) break;
    }
    while (i < bytes.size() && bytes[i] == 0) ++i;
    return i;
}

// A long chain moves the bar every so many bytes: often enough to be seen
// moving, seldom enough to cost nothing beside the reads.
constexpr uint64_t kBytesPerProgressReport = uint64_t{1} << 20;

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

MtfStreamHeader ReadStreamHeader(BackupFile& file, uint64_t position) {
    ItemReads direct(file, false);
    return ReadStreamHeader(direct, position);
}

MtfStreamHeader ReadStreamHeader(ItemReads& reads, uint64_t position) {
    uint8_t bytes[MtfStreamHeader::kSize] = {};
    reads.Exact(position, bytes, sizeof bytes);  // a header cut short by the end of the file keeps its zeros
    return MtfStreamHeader::FromBytes(bytes);
}

std::optional<uint64_t> FollowStreamChain(ItemReads& reads, uint64_t blockPosition, uint16_t offsetToFirstEvent,
                                          uint64_t length, bool* mqda, const ScanContext& ctx) {
    uint64_t h = SaturatingAdd(blockPosition, offsetToFirstEvent);
    MtfStreamHeader header = ReadStreamHeader(reads, h);
    uint64_t p = SaturatingAdd(SaturatingAdd(h, MtfStreamHeader::kSize), header.length);
    if (header.IdIs("SPAD")) return p;
    // The first stream counts as unknown data only when it runs to the end of the file.
    if (p >= length) {
        if (mqda && header.IdIs("MQDA") && header.length != 0) *mqda = true;
        return p;
    }
    // Every later header starts at the next multiple of 4; each one moves p on by
    // at least its own 22 bytes, so the chain reaches the end of the file. Headers
    // are taken from the window many at a time; between goes the bar is moved and,
    // once a chain has gone on for longer than a sound one does, the stop flag is
    // tested.
    uint64_t nextReport = 0;
    uint64_t untested = 0;  // headers passed since the stop flag was last tested
    while (p < length && !reads.Failed()) {
        if (untested >= kStepsBetweenStopTests) {
            if (ctx.StopRequested()) return std::nullopt;
            untested = 0;
        }
        h = RoundUpTo4(p);
        if (h >= nextReport) {
            ctx.ReportPosition(h - h % 10);
            nextReport = SaturatingAdd(h, kBytesPerProgressReport);
        }
        std::span<const uint8_t> held = reads.View(h, MtfStreamHeader::kSize);
        uint8_t own[MtfStreamHeader::kSize] = {};
        if (held.empty()) {
            reads.Exact(h, own, sizeof own);  // as ReadStreamHeader reads it
            held = own;
        }
        // The headers that the window holds from h on, one after the other.
        for (uint64_t at = 0;;) {
            // Zeros make headers of length 0, each of which moves the chain on by
            // 24 bytes and changes nothing else: a run of them is passed over at once.
            const uint64_t zeros = LeadingZeros(held.subspan(at));
            if (zeros >= MtfStreamHeader::kSize) {
                // The k-th of them ends at first + 24k + 22 (first is a multiple of 4,
                // as every later header's position is).
                const uint64_t first = h + at;
                const uint64_t headers = (zeros - MtfStreamHeader::kSize) / kEmptyStreamStep + 1;
                const uint64_t firstEnd = first + MtfStreamHeader::kSize;
                p = firstEnd + (headers - 1) * kEmptyStreamStep;
                if (p >= length) {
                    // The first of them that reaches the end of the file ends the chain.
                    const uint64_t shortBy = length > firstEnd ? length - firstEnd : 0;
                    return firstEnd + (shortBy + kEmptyStreamStep - 1) / kEmptyStreamStep * kEmptyStreamStep;
                }
                untested += headers;
                at += headers * kEmptyStreamStep;
                if (at > held.size() - MtfStreamHeader::kSize) break;
                continue;
            }
            ++untested;
            header = MtfStreamHeader::FromBytes(held.data() + at);
            p = SaturatingAdd(SaturatingAdd(h + at, MtfStreamHeader::kSize), header.length);
            if (mqda && header.IdIs("MQDA") && header.length != 0) *mqda = true;
            if (header.IdIs("SPAD") || p >= length) return p;
            const uint64_t next = RoundUpTo4(p) - h;
            if (next > held.size() - MtfStreamHeader::kSize) break;
            at = next;
        }
    }
    return p;
}

void WalkMtfBlocks(BackupFile& file, uint64_t length, uint32_t stripe, ScanContext& ctx) try {
    // The data set number is kept from earlier files of the run; its texts are not.
    ctx.mtfDataSet.strName.clear();
    ctx.mtfDataSet.strDescription.clear();
    if (ctx.store == nullptr) return;  // nowhere to put what is found
    StartFileWalk(*ctx.store);
    ItemReads reads(file, true);
    uint64_t position = 0;
    while (position < length) {
        if (ctx.StopRequested()) return;
        ctx.ReportPosition(position);

        uint8_t tag[4] = {};
        reads.Exact(position, tag, sizeof tag);  // zeros past the end of the file
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
                    WalkMsciCatalog(file, position, firstEvent, catalog, stripe, ctx.mtfDataSet, *ctx.store, &ctx);
                // A stop that cut the catalog's walk short ends this walk at the next step.
                next = AfterCatalog(file, length, ctx.mode, streamEnd, end);
            } else {
                if (name == "SSET") {
                    ByteSource bytes(file);
                    ctx.mtfDataSet = ReadDataSet(bytes, position, fixed);
                } else if (name == "MSLS") {
                    NoteEndCatalog(file, position, stripe, *ctx.store, ctx.endCatalogs);
                }
                bool noteMqda = ctx.mode == ScanMode::Advanced && name == "MSDA";
                std::optional<uint64_t> chainEnd =
                    FollowStreamChain(reads, position, firstEvent, length, noteMqda ? &ctx.mqda : nullptr, ctx);
                if (!chainEnd) return;  // a stop inside the chain ends the walk as one between blocks does
                next = *chainEnd;
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
