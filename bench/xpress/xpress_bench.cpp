// Decodes one set of 64 KiB chunks, compressed by wimlib's XPRESS compressor, with our
// decoder and with wimlib's decompressor, and prints the output MB/s of each and the ratio.
#include <benchmark/benchmark.h>
#include <wimlib.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "fixtures/sample_data.h"
#include "reader/xpress_huffman.h"

namespace {

constexpr size_t kBlock = 65536;
constexpr int kSeedsPerKind = 4;

struct Chunk {
    std::vector<uint8_t> stored;
    size_t size;
};

// The chunk set of one sample kind (index 0-3) or of all of them (index 4).
const std::vector<Chunk>& Chunks(int set) {
    static const std::vector<std::vector<Chunk>> sets = [] {
        wimlib_compressor* compressor = nullptr;
        if (wimlib_create_compressor(WIMLIB_COMPRESSION_TYPE_XPRESS, kBlock, 50, &compressor) != 0) std::abort();
        std::vector<std::vector<Chunk>> all(5);
        uint32_t variant = 1;
        for (int k = 0; k < 4; ++k) {
            for (int s = 0; s < kSeedsPerKind; ++s) {
                std::vector<uint8_t> data = MakeSample(kSampleKinds[k], kBlock, variant++);
                std::vector<uint8_t> stored(kBlock + 1024);
                size_t size = wimlib_compress(data.data(), data.size(), stored.data(), stored.size(), compressor);
                if (size == 0) std::abort();
                stored.resize(size);
                all[k].push_back(Chunk{stored, data.size()});
                all[4].push_back(Chunk{stored, data.size()});
            }
        }
        wimlib_free_compressor(compressor);
        return all;
    }();
    return sets[set];
}

std::string SetName(int set) { return set == 4 ? "All" : SampleKindName(kSampleKinds[set]); }

size_t OutputBytes(const std::vector<Chunk>& chunks) {
    size_t total = 0;
    for (const Chunk& c : chunks) total += c.size;
    return total;
}

void BM_Ours(benchmark::State& state) {
    const std::vector<Chunk>& chunks = Chunks(static_cast<int>(state.range(0)));
    std::vector<uint8_t> out(kBlock);
    for (auto _ : state) {
        for (const Chunk& c : chunks) {
            XpressHuffmanDecompress(c.stored.data(), static_cast<uint32_t>(c.stored.size()),
                                    static_cast<uint32_t>(c.size), out.data());
            benchmark::DoNotOptimize(out.data());
            benchmark::ClobberMemory();
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * OutputBytes(chunks)));
    state.SetLabel(SetName(static_cast<int>(state.range(0))));
}

void BM_Wimlib(benchmark::State& state) {
    const std::vector<Chunk>& chunks = Chunks(static_cast<int>(state.range(0)));
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
    state.SetLabel(SetName(static_cast<int>(state.range(0))));
}

BENCHMARK(BM_Ours)->DenseRange(0, 4);
BENCHMARK(BM_Wimlib)->DenseRange(0, 4);

// Prints the usual table, then keeps each run's output rate for the summary.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            auto it = run.counters.find("bytes_per_second");
            if (it == run.counters.end() || run.error_occurred) continue;
            std::string name = run.benchmark_name();
            bool ours = name.rfind("BM_Ours", 0) == 0;
            rates_[run.report_label][ours ? 0 : 1] = it->second.value / 1e6;
        }
    }
    void PrintSummary() const {
        std::printf("\nOutput MB/s on the same chunks (64 KiB each, wimlib XPRESS level 50):\n");
        std::printf("%-20s %12s %12s %10s\n", "set", "ours", "wimlib", "ours/wimlib");
        for (const auto& [label, rate] : rates_) {
            if (rate[0] <= 0 || rate[1] <= 0) continue;
            std::printf("%-20s %12.1f %12.1f %10.3f\n", label.c_str(), rate[0], rate[1], rate[0] / rate[1]);
        }
    }

private:
    std::map<std::string, double[2]> rates_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    // The chunks must decode to what was compressed before any timing means anything.
    for (int set = 0; set < 5; ++set) {
        for (const Chunk& c : Chunks(set)) {
            std::vector<uint8_t> ours(c.size), theirs(c.size);
            XpressHuffmanDecompress(c.stored.data(), static_cast<uint32_t>(c.stored.size()),
                                    static_cast<uint32_t>(c.size), ours.data());
            wimlib_decompressor* d = nullptr;
            wimlib_create_decompressor(WIMLIB_COMPRESSION_TYPE_XPRESS, kBlock, &d);
            int rc = wimlib_decompress(c.stored.data(), c.stored.size(), theirs.data(), c.size, d);
            wimlib_free_decompressor(d);
            if (rc != 0 || ours != theirs) {
                std::fprintf(stderr, "decoders disagree on a %s chunk\n", SetName(set).c_str());
                return 1;
            }
        }
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintSummary();
    benchmark::Shutdown();
    return 0;
}
