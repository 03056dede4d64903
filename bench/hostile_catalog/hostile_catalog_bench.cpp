// The longest walks of one catalog that a hostile file can ask for. A walk tests
// the stop flag before each block or chunk, never inside a catalog, so the time
// of one catalog walk is how long a confirmed Stop or Close may wait.
//
// Plain files: one catalog of 256 MiB of 8-byte sub-records (a tag no reader
// knows, "SFGI", or SCIN records 16 bytes apart), scanned and read again as the
// chosen set. Compressed: one decoded chunk with a catalog at every 512 bytes,
// all walking the rest of the chunk.
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
#include "reader/scan_context.h"

namespace {

constexpr size_t kCatalogBytes = size_t{256} << 20;

enum Shape { kUnknownTags, kSfgi, kScinRun };

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
    } else {
        catalog.Raw(SmallStepCatalog(kCatalogBytes, shape == kUnknownTags));
    }
    MtfWriter w;
    w.Tape();
    w.Pad();
    media.msci = w.Msci(catalog, "MQCI", static_cast<int64_t>(catalog.Size() + 78));
    w.Pad();
    media.file = std::make_unique<TempFile>();
    w.WriteSparseFile(media.file->Path());
    return media;
}

void BM_ScanHostileCatalog(benchmark::State& state) {
    const Media& media = TheMedia(static_cast<Shape>(state.range(0)));
    BackupFile file;
    if (!file.Open(media.file->Path16())) {
        state.SkipWithError("cannot open the media");
        return;
    }
    size_t sets = 0;
    for (auto _ : state) {
        CatalogStore store;
        ScanContext ctx;
        ctx.mode = ScanMode::Advanced;
        ctx.store = &store;
        WalkMtfBlocks(file, file.GetLength(), 0, ctx);
        sets = store.m_backupSets.size();
    }
    state.counters["sets"] = static_cast<double>(sets);
    state.counters["catalog MiB"] = static_cast<double>(kCatalogBytes >> 20);
}

void BM_RereadHostileCatalog(benchmark::State& state) {
    const Media& media = TheMedia(static_cast<Shape>(state.range(0)));
    const std::vector<InputFileEntry> inputs{{media.file->Path16(), 0}};
    for (auto _ : state) {
        CatalogStore store;
        ReadCatalogFromFile(inputs, media.msci, 0, store);
        benchmark::DoNotOptimize(store);
    }
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

BENCHMARK(BM_ScanHostileCatalog)->ArgName("shape")->DenseRange(kUnknownTags, kScinRun)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RereadHostileCatalog)->ArgName("shape")->DenseRange(kUnknownTags, kScinRun)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OverlappingCatalogsInOneChunk)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
