// Walks a compressed container of several hundred MB (many catalogs far apart,
// written once to a temporary file) with 1, 2, 4 and all cores decoding, and compares
// each walk with one walk on one thread and with reading the file once from the page
// cache.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <memory>
#include <thread>
#include <unistd.h>

#include "fixtures/large_container.h"
#include "reader/backup_file.h"
#include "reader/chunk_decoders.h"
#include "reader/compressed.h"

namespace {

constexpr size_t kSets = 40;               // catalogs, far apart
constexpr size_t kDataChunksPerSet = 300;  // about 19.7 MB of output between two catalogs

const LargeContainer& TheContainer() {
    static const LargeContainer container = MakeLargeContainer(kSets, kDataChunksPerSet);
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

// Per thread count: seconds of one walk and of one read.
std::map<unsigned, std::pair<double, double>> g_results;

void BM_WalkCompressedContainer(benchmark::State& state) {
    const unsigned threads = static_cast<unsigned>(state.range(0));
    const LargeContainer& c = TheContainer();
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
        WalkCompressedChunks(file, file.GetLength(), 0, ctx, threads);
        walkSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        sets = store.m_backupSets.size();
    }
    if (sets != kSets) state.SkipWithError("the walk did not find every catalog");
    const double n = static_cast<double>(state.iterations());
    const double mb = 1e6;
    state.counters["file_MB"] = static_cast<double>(c.size) / mb;
    state.counters["decoded_MBps"] = static_cast<double>(c.decodedBytes) / mb / (walkSeconds / n);
    state.counters["read_MBps"] = static_cast<double>(c.size) / mb / (readSeconds / n);
    state.counters["walk_over_read"] = walkSeconds / readSeconds;
    g_results[threads] = {walkSeconds / n, readSeconds / n};
}
BENCHMARK(BM_WalkCompressedContainer)
    ->Arg(1)
    ->Arg(2)
    ->Arg(4)
    ->Arg(ChunkDecoders::AllCores())
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    const LargeContainer& c = TheContainer();
    std::printf("\nWhole walk of a %.0f MB container (%.0f MB decoded) on a machine of %u cores:\n",
                static_cast<double>(c.size) / 1e6, static_cast<double>(c.decodedBytes) / 1e6,
                std::thread::hardware_concurrency());
    std::printf("%8s %10s %12s %14s %14s\n", "threads", "walk s", "decoded MB/s", "x one thread", "x one read");
    const auto one = g_results.find(1);
    for (const auto& [threads, seconds] : g_results) {
        const double speedup = one == g_results.end() ? 0 : one->second.first / seconds.first;
        std::printf("%8u %10.3f %12.0f %14.2f %14.1f\n", threads, seconds.first,
                    static_cast<double>(c.decodedBytes) / 1e6 / seconds.first, speedup, seconds.first / seconds.second);
    }
    benchmark::Shutdown();
    return 0;
}
