// Chunks of compressed backups that SQL Server wrote: each decodes in full, and the
// ones of up to 65,536 bytes decode to exactly what wimlib's decompressor gives.
#include <gtest/gtest.h>
#include <wimlib.h>

#include <vector>

#include "fixtures/expected_results.h"
#include "fixtures/real_chunks.h"
#include "reader/xpress_huffman.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(XpressRealChunks, DecodeInFullAndAgreeWithWimlib) {
    SKIP_WITHOUT_REAL_BACKUPS();
    wimlib_decompressor* wimlib = nullptr;
    ASSERT_EQ(wimlib_create_decompressor(WIMLIB_COMPRESSION_TYPE_XPRESS, 65536, &wimlib), 0);

    int files = 0;
    for (const auto& path : expected::CompressedFiles()) {
        std::vector<RealChunk> chunks = CodedChunks(ReadWholeFile(path));
        EXPECT_GE(chunks.size(), 10u) << path;
        ++files;
        for (const RealChunk& chunk : chunks) {
            const uint32_t n = chunk.units * 512;
            // Every byte is written: two different starting fills give the same output.
            Bytes zeros(n, 0x00), ones(n, 0xFF);
            XpressHuffmanDecompress(chunk.stored.data(), static_cast<uint32_t>(chunk.stored.size()), n, zeros.data());
            XpressHuffmanDecompress(chunk.stored.data(), static_cast<uint32_t>(chunk.stored.size()), n, ones.data());
            ASSERT_EQ(zeros, ones) << path << " chunk at " << chunk.offset;
            if (n > 65536) continue;
            Bytes theirs(n);
            ASSERT_EQ(wimlib_decompress(chunk.stored.data(), chunk.stored.size(), theirs.data(), n, wimlib), 0);
            ASSERT_EQ(zeros, theirs) << path << " chunk at " << chunk.offset;
        }
    }
    wimlib_free_decompressor(wimlib);
    EXPECT_GT(files, 0) << "EXPECTED.json names no compressed backup";
}

}  // namespace
