// Arbitrary stored bytes into an output of n bytes, n from 1 to 130,048 taken from the
// first three input bytes, decoded by the table decoder and by the bit-by-bit reference
// that defines the output: the whole output buffers, both cleared to zero first, must be
// equal. Input and outputs are heap buffers of exactly their size, so the sanitizers
// see any access outside them.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "fixtures/xpress_reference.h"
#include "reader/xpress_huffman.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    constexpr uint32_t kLargestChunk = 254 * 512;
    if (size < 3) return 0;
    const uint32_t n = 1 + (data[0] | (data[1] << 8) | (static_cast<uint32_t>(data[2]) << 16)) % kLargestChunk;
    const size_t storedSize = size - 3;

    std::unique_ptr<uint8_t[]> stored(new uint8_t[storedSize]);
    std::memcpy(stored.get(), data + 3, storedSize);
    std::unique_ptr<uint8_t[]> table(new uint8_t[n]());
    std::unique_ptr<uint8_t[]> reference(new uint8_t[n]());
    XpressHuffmanDecompress(stored.get(), static_cast<uint32_t>(storedSize), n, table.get());
    XpressReferenceDecompress(stored.get(), static_cast<uint32_t>(storedSize), n, reference.get());
    if (std::memcmp(table.get(), reference.get(), n) != 0) {
        std::fprintf(stderr, "the table decoder and the reference differ (n = %u, %zu stored bytes)\n", n, storedSize);
        std::abort();
    }
    return 0;
}
