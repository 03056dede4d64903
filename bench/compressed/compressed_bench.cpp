// Walks a compressed container of several hundred MB (many catalogs far apart,
// written once to a temporary file) and compares the walk with reading the file
// once from the page cache.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

#include "fixtures/container_writer.h"
#include "fixtures/mtf_writer.h"
#include "fixtures/sample_data.h"
#include "fixtures/temp_file.h"
#include "fixtures/xpress_encoder.h"
#include "reader/backup_file.h"
#include "reader/compressed.h"

namespace {

constexpr unsigned kUnitsPerChunk = 128;       // 64 KiB of output per data chunk
constexpr size_t kSets = 40;                   // catalogs, far apart
constexpr size_t kDataChunksPerSet = 300;      // about 19.7 MB of output between two catalogs

struct Container {
    std::unique_ptr<TempFile> file;
    uint64_t size = 0;
    uint64_t decodedBytes = 0;
};

const Container& TheContainer() {
    static const Container container = [] {
        Container c;
        // A few distinct data chunks, coded once and repeated.
        std::vector<std::vector<uint8_t>> outputs;
        std::vector<std::vector<uint8_t>> coded;
        for (uint32_t variant = 0; variant < 8; ++variant) {
            outputs.push_back(MakeSample(variant % 2 ? SampleKind::Records : SampleKind::Text, kUnitsPerChunk * 512, variant));
            coded.push_back(XpressEncode(outputs.back()));
        }
        ContainerWriter writer(ChunkLayout::Checksummed, [&](const std::vector<uint8_t>& output) {
            for (size_t i = 0; i < outputs.size(); ++i)
                if (output == outputs[i]) return coded[i];
            return XpressEncode(output);
        });
        MediaCut cut;
        cut.unitsPerChunk = kUnitsPerChunk;
        for (size_t s = 0; s < kSets; ++s) {
            MtfWriter media;
            BackupSetFields set;
            set.dataSetNumber = static_cast<uint16_t>(s + 1);
            set.dataLength = 0;
            AppendBackupSet(media, set);
            const std::vector<uint8_t> bytes = media.Bytes();
            c.decodedBytes += writer.AddMedia(bytes, cut).size() * kUnitsPerChunk * 512;
            for (size_t i = 0; i < kDataChunksPerSet; ++i) {
                writer.AddChunk(outputs[i % outputs.size()], kCodedChunkFlags[i % kCodedChunkFlags.size()]);
                c.decodedBytes += kUnitsPerChunk * 512;
                if (i % 16 == 15) writer.AddSfmb(512);
            }
        }
        const std::vector<uint8_t> bytes = writer.Finish();
        c.size = bytes.size();
        c.file = std::make_unique<TempFile>(bytes);
        return c;
    }();
    return container;
}

// One read of the whole file through the page cache, in 1 MiB pieces.
double ReadOnceSeconds(const std::string& path) {
    std::vector<char> buffer(1 << 20);
    const auto start = std::chrono::steady_clock::now();
    int fd = ::open(path.c_str(), O_RDONLY);
    uint64_t total = 0;
    for (ssize_t got; (got = ::read(fd, buffer.data(), buffer.size())) > 0;) total += static_cast<uint64_t>(got);
    ::close(fd);
    benchmark::DoNotOptimize(total);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_WalkCompressedContainer(benchmark::State& state) {
    const Container& c = TheContainer();
    ReadOnceSeconds(c.file->Path());  // warm the page cache
    double readSeconds = 0;
    double walkSeconds = 0;
    size_t sets = 0;
    for (auto _ : state) {
        state.PauseTiming();
        readSeconds += ReadOnceSeconds(c.file->Path());
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        CatalogStore store;
        ScanContext ctx;
        ctx.store = &store;
        BackupFile file;
        file.Open(c.file->Path16());
        WalkCompressedChunks(file, file.GetLength(), 0, ctx);
        walkSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        sets = store.m_backupSets.size();
    }
    if (sets != kSets) state.SkipWithError("the walk did not find every catalog");
    const double n = static_cast<double>(state.iterations());
    const double mb = 1e6;
    state.counters["file_MB"] = static_cast<double>(c.size) / mb;
    state.counters["file_MBps"] = static_cast<double>(c.size) / mb / (walkSeconds / n);
    state.counters["decoded_MBps"] = static_cast<double>(c.decodedBytes) / mb / (walkSeconds / n);
    state.counters["read_MBps"] = static_cast<double>(c.size) / mb / (readSeconds / n);
    state.counters["walk_over_read"] = walkSeconds / readSeconds;
    std::printf("walk %.3f s, read once %.3f s, walk time / read time = %.1f\n", walkSeconds / n, readSeconds / n,
                walkSeconds / readSeconds);
}
BENCHMARK(BM_WalkCompressedContainer)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
