// Cross-check against an independent encoder: wimlib's XPRESS compressor writes the
// same coding (the table, then the bit stream) for blocks of up to 65,536 bytes. Our
// decoder must give back the original bytes of every block wimlib compressed.
#include <gtest/gtest.h>
#include <wimlib.h>

#include <vector>

#include "fixtures/sample_data.h"
#include "reader/xpress_huffman.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr size_t kBlock = 65536;

class WimlibCompressor {
public:
    explicit WimlibCompressor(unsigned level) {
        if (wimlib_create_compressor(WIMLIB_COMPRESSION_TYPE_XPRESS, kBlock, level, &compressor_) != 0)
            compressor_ = nullptr;
    }
    ~WimlibCompressor() { wimlib_free_compressor(compressor_); }
    WimlibCompressor(const WimlibCompressor&) = delete;
    WimlibCompressor& operator=(const WimlibCompressor&) = delete;

    bool ok() const { return compressor_ != nullptr; }
    // The compressed block, or nothing when wimlib finds it incompressible. Room is
    // left for more than the input, so that tiny blocks, which never get smaller than
    // the 256-byte table, are coded too.
    Bytes Compress(const Bytes& data) {
        Bytes out(data.size() + 1024);
        size_t size = wimlib_compress(data.data(), data.size(), out.data(), out.size(), compressor_);
        out.resize(size);
        return out;
    }

private:
    wimlib_compressor* compressor_ = nullptr;
};

TEST(XpressWimlibCrossCheck, DecodesWhatWimlibCompressed) {
    // wimlib codes nothing below 25 bytes.
    const size_t sizes[] = {25, 26, 64, 300, 1000, 4096, 8191, 20000, 32768, 65535, kBlock};
    int compressed = 0;
    int skipped = 0;
    uint32_t variant = 100;
    for (unsigned level : {1u, 50u, 100u}) {
        WimlibCompressor compressor(level);
        ASSERT_TRUE(compressor.ok());
        for (SampleKind kind : kSampleKinds) {
            for (size_t size : sizes) {
                Bytes data = MakeSample(kind, size, variant++);
                Bytes stored = compressor.Compress(data);
                if (stored.empty()) {
                    ++skipped;
                    continue;
                }
                ++compressed;
                Bytes out(size);  // exactly n bytes: the sanitizer build sees any overrun
                XpressHuffmanDecompress(stored.data(), static_cast<uint32_t>(stored.size()),
                                        static_cast<uint32_t>(size), out.data());
                ASSERT_EQ(out, data) << SampleKindName(kind) << " of " << size << " bytes at level " << level;
            }
        }
    }
    EXPECT_GE(compressed, 3 * 4 * 11) << skipped << " skipped";
}

}  // namespace
