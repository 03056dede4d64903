// The plain walk over a sparse file of many blocks whose data streams are large
// and never read: the cost per block should not depend on the streams' size.
//
// And over media that end in zeros, as an interrupted or preallocated copy
// leaves them: a chain of stream headers that runs into 2 GiB of zeros (24-byte
// steps to the end of the file), or zeros alone (crossed as unknown data in
// 512-byte steps). Each is set against one read of the same file. Last, how long
// a stop requested during a long chain waits: one through zeros, and one whose
// headers lie 32 KiB apart, so that every step reads at a new place; and how
// long the walk of the chain into zeros goes on when its file is cut to nothing
// while it runs.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "fixtures/mtf_writer.h"
#include "fixtures/temp_file.h"
#include "reader/backup_file.h"
#include "reader/mtf_walk.h"
#include "reader/scan_context.h"

namespace {

constexpr int kBlocks = 20000;

// TAPE, then kBlocks MSDA blocks of two streams each (the second `streamSize`
// bytes long, never written), each ended by a pad to the next 512 bytes, then
// one backup set.
void BuildMedia(MtfWriter& w, uint64_t streamSize) {
    w.Tape();
    w.Pad();
    for (int i = 0; i < kBlocks; ++i) {
        w.Msda();
        w.Stream("APAD", 50);
        w.Stream("MQDA", streamSize);
        w.Pad();
    }
    AppendBackupSet(w, BackupSetFields{});
}

void BM_WalkSparseBackup(benchmark::State& state) {
    const uint64_t streamSize = static_cast<uint64_t>(state.range(0));
    TempFile temp;
    MtfWriter w;
    BuildMedia(w, streamSize);
    w.WriteSparseFile(temp.Path());
    BackupFile file;
    if (!file.Open(temp.Path16())) {
        state.SkipWithError("cannot open the media");
        return;
    }
    for (auto _ : state) {
        CatalogStore store;
        ScanContext ctx;
        ctx.mode = ScanMode::Advanced;
        ctx.store = &store;
        WalkMtfBlocks(file, file.GetLength(), 0, ctx);
        if (store.m_backupSets.size() != 1) state.SkipWithError("the set at the end was not found");
        benchmark::DoNotOptimize(store);
    }
    const double blocks = kBlocks + 10;
    state.counters["blocks/s"] = benchmark::Counter(blocks, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["file GiB"] = static_cast<double>(file.GetLength()) / (1ull << 30);
}

enum ZeroTail { kChainIntoZeros, kZerosOnly, kFarHeaders };
constexpr uint64_t kZeroTailSize = uint64_t{2} << 30;

// Reads the file at `path` once, in pieces of 1 MiB; returns the bytes read.
uint64_t ReadOnce(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    static std::vector<uint8_t> piece(1 << 20);
    uint64_t total = 0;
    for (;;) {
        const ssize_t got = ::pread(fd, piece.data(), piece.size(), static_cast<off_t>(total));
        if (got <= 0) break;
        total += static_cast<uint64_t>(got);
    }
    ::close(fd);
    return total;
}

// Writes the media of `shape` to `path` as a sparse file, and reads it once so
// that the walk finds it in the page cache.
void WriteZeroTailMedia(ZeroTail shape, const std::string& path) {
    MtfWriter w;
    if (shape != kZerosOnly) {
        w.Tape();
        w.Stream("APAD", 10);  // no pad follows: the chain runs on into the zeros
    }
    if (shape == kFarHeaders) {
        for (int i = 0; i < 8192; ++i) w.Stream("APAD", 32768 - 24);
    }
    w.ExtendTo(kZeroTailSize);
    w.WriteSparseFile(path);
    ReadOnce(path);
}

// Made once for every benchmark.
const TempFile& ZeroTailMedia(ZeroTail shape) {
    static std::map<ZeroTail, std::unique_ptr<TempFile>> made;
    std::unique_ptr<TempFile>& media = made[shape];
    if (media) return *media;
    media = std::make_unique<TempFile>();
    WriteZeroTailMedia(shape, media->Path());
    return *media;
}

// The chain into zeros, its file cut to nothing 50 ms into the walk (a copy being
// replaced, a share going away): set against the intact walk above, the walk
// ends soon after the cut. Each pass walks the media written afresh.
void BM_WalkCutShort(benchmark::State& state) {
    std::atomic<int32_t> stop{0};
    for (auto _ : state) {
        state.PauseTiming();
        TempFile copy;
        WriteZeroTailMedia(kChainIntoZeros, copy.Path());
        BackupFile file;
        if (!file.Open(copy.Path16())) {
            state.SkipWithError("cannot open the media");
            return;
        }
        const auto start = std::chrono::steady_clock::now();
        std::thread cutter([&copy] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (::truncate(copy.Path().c_str(), 0) != 0) std::abort();
        });
        CatalogStore store;
        ScanContext ctx;
        ctx.store = &store;
        ctx.stopFlag = &stop;
        WalkMtfBlocks(file, file.GetLength(), 0, ctx);
        // Timed to the walk's end: the cut itself (freeing the cached pages) is not the walk's.
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        cutter.join();
        state.ResumeTiming();
    }
}

// The walk as a scan runs it, with a stop flag that is never set and a bar.
void BM_WalkZeroTail(benchmark::State& state) {
    const TempFile& media = ZeroTailMedia(static_cast<ZeroTail>(state.range(0)));
    BackupFile file;
    if (!file.Open(media.Path16())) {
        state.SkipWithError("cannot open the media");
        return;
    }
    std::atomic<int32_t> stop{0};
    std::atomic<int32_t> bar{0};
    for (auto _ : state) {
        CatalogStore store;
        ScanContext ctx;
        ctx.store = &store;
        ctx.stopFlag = &stop;
        ctx.setProgress = [&bar](int32_t position) { bar.store(position, std::memory_order_relaxed); };
        WalkMtfBlocks(file, file.GetLength(), 0, ctx);
        benchmark::DoNotOptimize(store);
    }
    state.counters["last bar"] = bar.load();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.GetLength()));
}

// One read of the same file, in pieces of 1 MiB.
void BM_ReadZeroTailOnce(benchmark::State& state) {
    const TempFile& media = ZeroTailMedia(static_cast<ZeroTail>(state.range(0)));
    for (auto _ : state) {
        if (ReadOnce(media.Path()) != kZeroTailSize) state.SkipWithError("cannot read the media");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kZeroTailSize));
}

// The time from a stop requested while the chain of the first block runs to the
// chain's end.
void BM_StopInLongChain(benchmark::State& state) {
    const TempFile& media = ZeroTailMedia(static_cast<ZeroTail>(state.range(0)));
    BackupFile file;
    if (!file.Open(media.Path16())) {
        state.SkipWithError("cannot open the media");
        return;
    }
    const std::atomic<int32_t> stop{1};
    ScanContext ctx;
    ctx.stopFlag = &stop;
    for (auto _ : state) {
        ItemReads reads(file, true);
        if (FollowStreamChain(reads, 0, 94, file.GetLength(), nullptr, ctx))
            state.SkipWithError("the chain did not stop");
    }
}

}  // namespace

// Streams from 4 KiB to 256 MiB: a file of 80 MB to 5 TB, almost all of it holes.
BENCHMARK(BM_WalkSparseBackup)->RangeMultiplier(16)->Range(4 << 10, 256 << 20)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_ReadZeroTailOnce)->ArgName("shape")->DenseRange(kChainIntoZeros, kZerosOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WalkZeroTail)->ArgName("shape")->DenseRange(kChainIntoZeros, kZerosOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WalkCutShort)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_StopInLongChain)->ArgName("shape")->Arg(kChainIntoZeros)->Arg(kFarHeaders)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
