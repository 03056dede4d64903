// Decodes the same chunks with the table decoder, with wimlib's XPRESS decompressor and
// with the bit-by-bit reference decoder, and prints the output MB/s of each and the
// ratios. The chunk sets: the coded chunks of the real compressed backups (all of them
// are 64 KiB or less, so wimlib decodes them too), and 64 KiB chunks of each sample kind
// compressed by wimlib's XPRESS compressor.
#include <benchmark/benchmark.h>
#include <wimlib.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "fixtures/real_chunks.h"
#include "fixtures/sample_data.h"
#include "fixtures/xpress_reference.h"
#include "reader/xpress_huffman.h"

namespace {

constexpr size_t kBlock = 65536;
constexpr int kSeedsPerKind = 4;
constexpr int kSampleSets = 4;
constexpr int kAllSamples = kSampleSets;      // every sample chunk together
constexpr int kRealSet = kSampleSets + 1;     // the real backups' chunks
constexpr int kSetCount = kSampleSets + 2;

struct Chunk {
    std::vector<uint8_t> stored;
    size_t size;
};

const std::vector<Chunk>& Chunks(int set) {
    static const std::vector<std::vector<Chunk>> sets = [] {
        wimlib_compressor* compressor = nullptr;
        if (wimlib_create_compressor(WIMLIB_COMPRESSION_TYPE_XPRESS, kBlock, 50, &compressor) != 0) std::abort();
        std::vector<std::vector<Chunk>> all(kSetCount);
        uint32_t variant = 1;
        for (int k = 0; k < kSampleSets; ++k) {
            for (int s = 0; s < kSeedsPerKind; ++s) {
                std::vector<uint8_t> data = MakeSample(kSampleKinds[k], kBlock, variant++);
                std::vector<uint8_t> stored(kBlock + 1024);
                size_t size = wimlib_compress(data.data(), data.size(), stored.data(), stored.size(), compressor);
                if (size == 0) std::abort();
                stored.resize(size);
                all[k].push_back(Chunk{stored, data.size()});
                all[kAllSamples].push_back(Chunk{stored, data.size()});
            }
        }
        wimlib_free_compressor(compressor);
        for (const auto& path : RealCompressedBackups(ORVENDEL_REALBAK_DIR))
            for (RealChunk& chunk : CodedChunks(ReadWholeFile(path)))
                if (chunk.units * 512 <= kBlock) all[kRealSet].push_back(Chunk{std::move(chunk.stored), chunk.units * 512});
        return all;
    }();
    return sets[set];
}

std::string SetName(int set) {
    if (set == kRealSet) return "real chunks";
    if (set == kAllSamples) return "all samples";
    return SampleKindName(kSampleKinds[set]);
}

size_t OutputBytes(const std::vector<Chunk>& chunks) {
    size_t total = 0;
    for (const Chunk& c : chunks) total += c.size;
    return total;
}

using Decoder = void (*)(const uint8_t*, uint32_t, uint32_t, uint8_t*);

void Run(benchmark::State& state, Decoder decode) {
    const int set = static_cast<int>(state.range(0));
    const std::vector<Chunk>& chunks = Chunks(set);
    std::vector<uint8_t> out(kBlock);
    for (auto _ : state) {
        for (const Chunk& c : chunks) {
            decode(c.stored.data(), static_cast<uint32_t>(c.stored.size()), static_cast<uint32_t>(c.size), out.data());
            benchmark::DoNotOptimize(out.data());
            benchmark::ClobberMemory();
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * OutputBytes(chunks)));
    state.SetLabel(SetName(set));
}

void BM_Table(benchmark::State& state) { Run(state, XpressHuffmanDecompress); }
void BM_Reference(benchmark::State& state) { Run(state, XpressReferenceDecompress); }

void BM_Wimlib(benchmark::State& state) {
    const int set = static_cast<int>(state.range(0));
    const std::vector<Chunk>& chunks = Chunks(set);
    wimlib_decompressor* decompressor = nullptr;
    if (wimlib_create_decompressor(WIMLIB_COMPRESSION_TYPE_XPRESS, kBlock, &decompressor) != 0) std::abort();
    std::vector<uint8_t> out(kBlock);
    for (auto _ : state) {
        for (const Chunk& c : chunks) {
            if (wimlib_decompress(c.stored.data(), c.stored.size(), out.data(), c.size, decompressor) != 0)
                state.SkipWithError("wimlib could not decode a chunk");
            benchmark::DoNotOptimize(out.data());
            benchmark::ClobberMemory();
        }
    }
    wimlib_free_decompressor(decompressor);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * OutputBytes(chunks)));
    state.SetLabel(SetName(set));
}

BENCHMARK(BM_Table)->DenseRange(0, kSetCount - 1);
BENCHMARK(BM_Wimlib)->DenseRange(0, kSetCount - 1);
BENCHMARK(BM_Reference)->DenseRange(0, kSetCount - 1);

// Prints the usual table, then keeps each run's output rate for the summary.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            auto it = run.counters.find("bytes_per_second");
            if (it == run.counters.end() || run.error_occurred) continue;
            const std::string name = run.benchmark_name();
            const int column = name.rfind("BM_Table", 0) == 0 ? 0 : name.rfind("BM_Wimlib", 0) == 0 ? 1 : 2;
            rates_[run.report_label][column] = it->second.value / 1e6;
        }
    }
    void PrintSummary() const {
        std::printf("\nOutput MB/s on the same chunks (real: the backups' own; samples: 64 KiB, wimlib level 50):\n");
        std::printf("%-20s %10s %10s %10s %12s %12s\n", "set", "table", "wimlib", "reference", "table/wimlib",
                    "table/ref");
        for (const auto& [label, rate] : rates_) {
            if (rate[0] <= 0 || rate[1] <= 0 || rate[2] <= 0) continue;
            std::printf("%-20s %10.1f %10.1f %10.1f %12.2f %12.1f\n", label.c_str(), rate[0], rate[1], rate[2],
                        rate[0] / rate[1], rate[0] / rate[2]);
        }
    }

private:
    std::map<std::string, double[3]> rates_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    if (Chunks(kRealSet).empty()) std::fprintf(stderr, "no real chunks found under %s\n", ORVENDEL_REALBAK_DIR);
    // The three decoders must agree on every chunk before any timing means anything.
    wimlib_decompressor* d = nullptr;
    if (wimlib_create_decompressor(WIMLIB_COMPRESSION_TYPE_XPRESS, kBlock, &d) != 0) return 1;
    for (int set = 0; set < kSetCount; ++set) {
        for (const Chunk& c : Chunks(set)) {
            const uint32_t stored = static_cast<uint32_t>(c.stored.size());
            const uint32_t n = static_cast<uint32_t>(c.size);
            std::vector<uint8_t> table(n), reference(n), theirs(n);
            XpressHuffmanDecompress(c.stored.data(), stored, n, table.data());
            XpressReferenceDecompress(c.stored.data(), stored, n, reference.data());
            const int rc = wimlib_decompress(c.stored.data(), c.stored.size(), theirs.data(), c.size, d);
            if (rc != 0 || table != theirs || table != reference) {
                std::fprintf(stderr, "decoders disagree on a chunk of %s\n", SetName(set).c_str());
                return 1;
            }
        }
    }
    wimlib_free_decompressor(d);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintSummary();
    benchmark::Shutdown();
    return 0;
}
