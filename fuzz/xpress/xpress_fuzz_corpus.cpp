// Writes starting inputs for xpress_fuzz into the folder given: three bytes of n - 1, then a
// chunk that the test encoder made from sample data of n bytes.
#include <cstdio>
#include <string>
#include <vector>

#include "fixtures/sample_data.h"
#include "fixtures/xpress_encoder.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    int written = 0;
    uint32_t variant = 1;
    for (SampleKind kind : kSampleKinds) {
        for (uint32_t n : {1u, 40u, 512u, 5000u, 65536u, 70000u, 130048u}) {
            std::vector<uint8_t> stored = XpressEncode(MakeSample(kind, n, variant++));
            std::vector<uint8_t> input = {static_cast<uint8_t>((n - 1) & 0xFF), static_cast<uint8_t>(((n - 1) >> 8) & 0xFF),
                                          static_cast<uint8_t>((n - 1) >> 16)};
            input.insert(input.end(), stored.begin(), stored.end());
            std::string path = std::string(argv[1]) + "/" + SampleKindName(kind) + "_" + std::to_string(n);
            std::FILE* f = std::fopen(path.c_str(), "wb");
            if (f == nullptr || std::fwrite(input.data(), 1, input.size(), f) != input.size()) {
                std::fprintf(stderr, "cannot write %s\n", path.c_str());
                return 1;
            }
            std::fclose(f);
            ++written;
        }
    }
    std::printf("%d inputs written to %s\n", written, argv[1]);
    return 0;
}
