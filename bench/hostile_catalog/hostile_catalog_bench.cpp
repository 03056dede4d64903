// The longest walks of one catalog that a hostile file can ask for. A walk tests
// the stop flag before each block or chunk, never inside a catalog, so the time
// of one catalog walk is how long a confirmed Stop or Close may wait.
//
// Plain files: one catalog of 256 MiB of 8-byte sub-records (a tag no reader
// knows, "SFGI", or SCIN records 16 bytes apart), or of the most file entries a
// set may have, 64 KiB apart (2 GiB, almost all of it a hole), scanned and read
// again as the chosen set. Compressed: one decoded chunk with a catalog at every
// 512 bytes, all walking the rest of the chunk.
#include <benchmark/benchmark.h>

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

enum Shape { kUnknownTags, kSfgi, kScinRun, kSpreadEntries };
constexpr uint32_t kEntries = 32767;
constexpr uint32_t kEntryDistance = 65536;

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
    } else {
        catalog.Raw(SmallStepCatalog(kCatalogBytes, shape == kUnknownTags));
    }
    MtfWriter w;
    w.Tape();
    w.Pad();
    // The stream runs far enough past its data that its last sub-record is within the bound.
    media.msci = w.Msci(catalog, "MQCI", static_cast<int64_t>(catalog.Size() + 78 + 8));
    w.Pad();
    if (shape == kSpreadEntries) {
        const uint64_t first = media.msci + 78 + catalog.Size();
        w.PutTag(first, "SFIN");
        for (uint64_t i = 0; i < kEntries; ++i) w.Put32(first + i * kEntryDistance + 4, kEntryDistance);
        w.ExtendTo(first + uint64_t{kEntries} * kEntryDistance);
    }
    media.file = std::make_unique<TempFile>();
    w.WriteSparseFile(media.file->Path());
    return media;
}

// The MSCI step of a scan: the catalog walk alone, between two stop tests.
void BM_ScanHostileCatalog(benchmark::State& state) {
    const Media& media = TheMedia(static_cast<Shape>(state.range(0)));
    BackupFile file;
    if (!file.Open(media.file->Path16())) {
        state.SkipWithError("cannot open the media");
        return;
    }
    const MtfStreamHeader header = ReadStreamHeader(file, media.msci + 56);
    const DataSetInfo dataSet;
    size_t sets = 0;
    for (auto _ : state) {
        CatalogStore store;
        WalkMsciCatalog(file, media.msci, 56, header, 0, dataSet, store);
        sets = store.m_backupSets.size();
    }
    state.counters["sets"] = static_cast<double>(sets);
    state.counters["catalog MiB"] = static_cast<double>(kCatalogBytes >> 20);
}

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

BENCHMARK(BM_ScanHostileCatalog)->ArgName("shape")->DenseRange(kUnknownTags, kSpreadEntries)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RereadHostileCatalog)->ArgName("shape")->DenseRange(kUnknownTags, kSpreadEntries)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OverlappingCatalogsInOneChunk)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
