// The longest walks of one catalog that a hostile file can ask for, and how long
// a stop requested during one waits. A walk longer than a sound catalog's tests
// the stop flag every kStepsBetweenStopTests sub-records or entries, so a
// confirmed Stop or Close waits for that many steps at the most.
//
// Plain files: one catalog of 256 MiB of 8-byte sub-records (a tag no reader
// knows, "SFGI", or SCIN records 16 bytes apart), of the most file entries a set
// may have, 64 KiB apart (2 GiB, almost all of it a hole), or of "SFGI"
// sub-records 32 KiB apart, so that every step reads at a new place (16,384 of
// them: 512 MiB, a hole but for their headers); each scanned, scanned with a
// stop requested, and read again as the chosen set. Compressed: one decoded
// chunk with a catalog at every 512 bytes, all walking the rest of the chunk.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstring>
#include <map>
#include <memory>

#include "fixtures/hostile_catalogs.h"
#include "fixtures/mtf_writer.h"
#include "fixtures/temp_file.h"
#include "reader/backup_file.h"
#include "reader/catalog.h"
#include "reader/compressed.h"
#include "reader/mtf_walk.h"

namespace {

constexpr size_t kCatalogBytes = size_t{256} << 20;

enum Shape { kUnknownTags, kSfgi, kScinRun, kSpreadEntries, kFarSubRecords };
constexpr uint32_t kEntries = 32767;
constexpr uint32_t kEntryDistance = 65536;
constexpr uint64_t kFarSubRecordCount = uint64_t{1} << 14;
constexpr uint32_t kFarSubRecordDistance = 32768;

struct Media {
    std::unique_ptr<TempFile> file;
    uint64_t msci = 0;
};

const Media& TheMedia(Shape shape) {
    static std::map<Shape, Media> made;
    Media& media = made[shape];
    if (media.file) return media;
    CatalogStreamBuilder catalog;
    if (shape == kScinRun) {
        catalog.Raw(ScinRun(kCatalogBytes / 16, 16, 0, 0));
    } else if (shape == kSpreadEntries) {
        ScinFields scin;
        scin.dataFileCount = kEntries;
        scin.logFileCount = 0;
        catalog.Scin(scin);
    } else if (shape != kFarSubRecords) {
        catalog.Raw(SmallStepCatalog(kCatalogBytes, shape == kUnknownTags));
    }
    MtfWriter w;
    w.Tape();
    w.Pad();
    // The stream runs far enough past its data that its last sub-record (or entry)
    // is within the bound.
    uint64_t spread = 0;
    if (shape == kSpreadEntries) spread = uint64_t{kEntries} * kEntryDistance;
    if (shape == kFarSubRecords) spread = kFarSubRecordCount * kFarSubRecordDistance;
    media.msci = w.Msci(catalog, "MQCI", static_cast<int64_t>(catalog.Size() + 78 + 8 + spread));
    w.Pad();
    const uint64_t first = media.msci + 78 + catalog.Size();
    if (shape == kSpreadEntries) {
        w.PutTag(first, "SFIN");
        for (uint64_t i = 0; i < kEntries; ++i) w.Put32(first + i * kEntryDistance + 4, kEntryDistance);
    }
    if (shape == kFarSubRecords) {
        for (uint64_t i = 0; i < kFarSubRecordCount; ++i) {
            w.PutTag(first + i * kFarSubRecordDistance, "SFGI");
            w.Put32(first + i * kFarSubRecordDistance + 4, kFarSubRecordDistance);
        }
    }
    media.file = std::make_unique<TempFile>();
    w.WriteSparseFile(media.file->Path());
    return media;
}

// The MSCI step of a scan: the catalog walk alone, between two block steps; with
// `stopped`, a stop is requested from the start and the time is how long it waits.
void ScanHostileCatalog(benchmark::State& state, bool stopped) {
    const Media& media = TheMedia(static_cast<Shape>(state.range(0)));
    BackupFile file;
    if (!file.Open(media.file->Path16())) {
        state.SkipWithError("cannot open the media");
        return;
    }
    const MtfStreamHeader header = ReadStreamHeader(file, media.msci + 56);
    const DataSetInfo dataSet;
    const std::atomic<int32_t> stop{stopped ? 1 : 0};
    ScanContext ctx;
    ctx.stopFlag = &stop;
    size_t sets = 0;
    for (auto _ : state) {
        CatalogStore store;
        WalkMsciCatalog(file, media.msci, 56, header, 0, dataSet, store, &ctx);
        sets = store.m_backupSets.size();
    }
    state.counters["sets"] = static_cast<double>(sets);
}

void BM_ScanHostileCatalog(benchmark::State& state) { ScanHostileCatalog(state, false); }
void BM_StopInHostileCatalog(benchmark::State& state) { ScanHostileCatalog(state, true); }

void BM_RereadHostileCatalog(benchmark::State& state) {
    const Media& media = TheMedia(static_cast<Shape>(state.range(0)));
    const std::vector<InputFileEntry> inputs{{media.file->Path16(), 0}};
    size_t files = 0;
    for (auto _ : state) {
        CatalogStore store;
        ReadCatalogFromFile(inputs, media.msci, 0, store);
        files = store.m_databaseFiles.size();
    }
    state.counters["files"] = static_cast<double>(files);
}

void BM_OverlappingCatalogsInOneChunk(benchmark::State& state) {
    std::vector<uint8_t> chunk = OverlappingCatalogsChunk();
    const uint64_t n = chunk.size();
    chunk.resize(kDecodeBufferSize, 0);
    const DataSetInfo dataSet;
    for (auto _ : state) {
        CatalogStore store;
        for (uint32_t o = 0; o < n; o += kChunkUnit) {
            if (std::memcmp(chunk.data() + o, "MSCI", 4) == 0)
                ParseCatalogInMemory(chunk.data(), n, o, 16, dataSet, 0, store);
        }
        benchmark::DoNotOptimize(store);
    }
}

}  // namespace

BENCHMARK(BM_ScanHostileCatalog)->ArgName("shape")->DenseRange(kUnknownTags, kFarSubRecords)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StopInHostileCatalog)->ArgName("shape")->DenseRange(kUnknownTags, kFarSubRecords)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RereadHostileCatalog)->ArgName("shape")->DenseRange(kUnknownTags, kFarSubRecords)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OverlappingCatalogsInOneChunk)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
