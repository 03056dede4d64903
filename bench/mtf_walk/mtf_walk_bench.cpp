// The plain walk over a sparse file of many blocks whose data streams are large
// and never read: the cost per block should not depend on the streams' size.
#include <benchmark/benchmark.h>

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

}  // namespace

// Streams from 4 KiB to 256 MiB: a file of 80 MB to 5 TB, almost all of it holes.
BENCHMARK(BM_WalkSparseBackup)->RangeMultiplier(16)->Range(4 << 10, 256 << 20)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
