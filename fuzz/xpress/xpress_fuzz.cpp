// Arbitrary stored bytes into an output of n bytes, n from 1 to 130,048 taken from the
// first three input bytes. Input and output are heap buffers of exactly their size, so
// the sanitizers see any access outside them.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "reader/xpress_huffman.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    constexpr uint32_t kLargestChunk = 254 * 512;
    if (size < 3) return 0;
    uint32_t n = 1 + (data[0] | (data[1] << 8) | (static_cast<uint32_t>(data[2]) << 16)) % kLargestChunk;
    size_t storedSize = size - 3;

    std::unique_ptr<uint8_t[]> stored(new uint8_t[storedSize]);
    std::memcpy(stored.get(), data + 3, storedSize);
    std::unique_ptr<uint8_t[]> output(new uint8_t[n]);
    std::memset(output.get(), 0, n);
    XpressHuffmanDecompress(stored.get(), static_cast<uint32_t>(storedSize), n, output.get());
    return 0;
}
