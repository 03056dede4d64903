// Shared pieces of the compressed-container tests: chunk outputs holding MTF
// blocks, and a walk over a container written to a temporary file.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "fixtures/container_writer.h"
#include "fixtures/mtf_writer.h"
#include "fixtures/temp_file.h"
#include "fixtures/xpress_encoder.h"
#include "reader/backup_file.h"
#include "reader/compressed.h"
#include "reader/scan_context.h"

inline ContainerWriter MakeWriter(ChunkLayout layout) { return ContainerWriter(layout, XpressEncode); }

// A catalog stream for database `name` with one data and one log file.
inline CatalogStreamBuilder CatalogFor(const std::u16string& name) {
    ScinFields scin;
    scin.databaseName = name;
    CatalogStreamBuilder catalog;
    catalog.Scin(scin).Sfin({SfinEntryFields{u"C:\\d\\" + name + u".mdf", 1, 1, 0, 3 << 20},
                             SfinEntryFields{u"C:\\d\\" + name + u"_log.ldf", 2, 2, 1 << 20, 0}});
    return catalog;
}

// Chunk output with an MSCI block for database `name` at `offset` (a multiple of 512).
inline std::vector<uint8_t> MsciOutput(const std::u16string& name, uint64_t offset = 0) {
    MtfWriter w;
    w.ExtendTo(offset);
    w.Msci(CatalogFor(name));
    w.Pad();
    return w.Bytes();
}

// Chunk output with an SSET block only.
inline std::vector<uint8_t> SsetOutput(uint16_t number, const std::u16string& name, const std::u16string& description) {
    MtfWriter w;
    w.Sset(number, name, description);
    w.Pad();
    return w.Bytes();
}

// A cut of media into chunks of `units` that takes every kind of item: chunks of every
// flag row, an SFMB block after every `chunksPerSfmb` chunks, and chunks that are not
// decoded between the others.
inline MediaCut EveryKindOfItem(unsigned units, unsigned chunksPerSfmb) {
    MediaCut cut;
    cut.unitsPerChunk = units;
    cut.chunksPerSfmb = chunksPerSfmb;
    cut.flags = kCodedChunkFlags;
    cut.fillerChunks = true;
    return cut;
}

struct WalkResult {
    CatalogStore store;
    ScanContext ctx;
};

// Walks `container` (written to a temporary file) with `ctx` as the scan context.
inline void WalkInto(const std::vector<uint8_t>& container, ScanContext& ctx, uint32_t stripe = 0) {
    TempFile temp(container);
    BackupFile file;
    if (!file.Open(temp.Path16())) throw std::runtime_error("cannot open " + temp.Path());
    WalkCompressedChunks(file, file.GetLength(), stripe, ctx);
}

inline std::vector<BackupSetRecord> Walk(const std::vector<uint8_t>& container, ScanMode mode = ScanMode::Standard) {
    CatalogStore store;
    ScanContext ctx;
    ctx.mode = mode;
    ctx.store = &store;
    WalkInto(container, ctx);
    return store.m_backupSets;
}

inline std::vector<uint64_t> Positions(const std::vector<BackupSetRecord>& sets) {
    std::vector<uint64_t> out;
    for (const auto& s : sets) out.push_back(s.nPosition);
    return out;
}

inline std::string LayoutName(ChunkLayout layout) {
    return layout == ChunkLayout::Checksummed ? "Checksummed" : "ShortHeader";
}
