// Writes starting inputs for xpress_differential_fuzz into the folder given: three bytes
// of n - 1, then a chunk's stored bytes; chunks that the test encoder made from sample
// data of n bytes, and the coded chunks of the real compressed backups.
#include <cstdio>
#include <string>
#include <vector>

#include "fixtures/real_chunks.h"
#include "fixtures/sample_data.h"
#include "fixtures/xpress_encoder.h"

namespace {

bool WriteInput(const std::string& path, uint32_t n, const std::vector<uint8_t>& stored) {
    std::vector<uint8_t> input = {static_cast<uint8_t>((n - 1) & 0xFF), static_cast<uint8_t>(((n - 1) >> 8) & 0xFF),
                                  static_cast<uint8_t>((n - 1) >> 16)};
    input.insert(input.end(), stored.begin(), stored.end());
    std::FILE* f = std::fopen(path.c_str(), "wb");
    const bool ok = f != nullptr && std::fwrite(input.data(), 1, input.size(), f) == input.size();
    if (f != nullptr) std::fclose(f);
    if (!ok) std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    int written = 0;
    uint32_t variant = 1;
    for (SampleKind kind : kSampleKinds) {
        for (uint32_t n : {1u, 40u, 512u, 5000u, 65536u, 70000u, 130048u}) {
            const std::string path = folder + "/" + SampleKindName(kind) + "_" + std::to_string(n);
            if (!WriteInput(path, n, XpressEncode(MakeSample(kind, n, variant++)))) return 1;
            ++written;
        }
    }
    for (const auto& backup : RealCompressedBackups(ORVENDEL_REALBAK_DIR)) {
        for (const RealChunk& chunk : CodedChunks(ReadWholeFile(backup))) {
            const std::string path = folder + "/" + backup.stem().string() + "_" + std::to_string(chunk.offset);
            if (!WriteInput(path, chunk.units * 512, chunk.stored)) return 1;
            ++written;
        }
    }
    std::printf("%d inputs written to %s\n", written, folder.c_str());
    return 0;
}
