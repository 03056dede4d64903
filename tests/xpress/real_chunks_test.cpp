// Chunks of compressed backups that SQL Server wrote: each decodes in full, and the
// ones of up to 65,536 bytes decode to exactly what wimlib's decompressor gives.
#include <gtest/gtest.h>
#include <wimlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "reader/records.h"
#include "reader/xpress_huffman.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct RealChunk {
    size_t offset;
    uint32_t units;
    Bytes stored;
};

// The coded chunks of a container as these servers write it: items from 0x1E0, chunk
// headers of 28 bytes (flags 0x21: coded data; 0x24: padding; 0x2C: an index with its
// own size at +32), SFMB blocks between them.
std::vector<RealChunk> CodedChunks(const Bytes& file) {
    std::vector<RealChunk> chunks;
    size_t p = 0x1E0;
    while (p + 36 <= file.size()) {
        if (std::memcmp(&file[p], "SFMB", 4) == 0) {
            uint16_t step = LoadU16(&file[p + 8]);
            if (step == 0) break;
            p += step;
            continue;
        }
        uint8_t flags = file[p];
        uint32_t stored = LoadU16(&file[p + 2]);
        if (flags == 0x21) {
            if (p + 28 + stored > file.size()) break;
            chunks.push_back(RealChunk{p, file[p + 1], Bytes(&file[p + 28], &file[p + 28] + stored)});
            p += 28 + stored;
        } else if (flags == 0x24) {
            p += 24 + stored;
        } else if (flags == 0x2C) {
            p += 24 + stored + LoadU32(&file[p + 32]);
        } else {
            break;
        }
    }
    return chunks;
}

TEST(XpressRealChunks, DecodeInFullAndAgreeWithWimlib) {
    const std::filesystem::path folder = std::filesystem::path(ORVENDEL_REALBAK_DIR) / "compressed";
    ASSERT_TRUE(std::filesystem::is_directory(folder)) << folder;
    wimlib_decompressor* wimlib = nullptr;
    ASSERT_EQ(wimlib_create_decompressor(WIMLIB_COMPRESSION_TYPE_XPRESS, 65536, &wimlib), 0);

    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        Bytes file((std::istreambuf_iterator<char>(in)), {});
        std::vector<RealChunk> chunks = CodedChunks(file);
        EXPECT_GE(chunks.size(), 10u) << entry.path();
        ++files;
        for (const RealChunk& chunk : chunks) {
            const uint32_t n = chunk.units * 512;
            // Every byte is written: two different starting fills give the same output.
            Bytes zeros(n, 0x00), ones(n, 0xFF);
            XpressHuffmanDecompress(chunk.stored.data(), static_cast<uint32_t>(chunk.stored.size()), n, zeros.data());
            XpressHuffmanDecompress(chunk.stored.data(), static_cast<uint32_t>(chunk.stored.size()), n, ones.data());
            ASSERT_EQ(zeros, ones) << entry.path() << " chunk at " << chunk.offset;
            if (n > 65536) continue;
            Bytes theirs(n);
            ASSERT_EQ(wimlib_decompress(chunk.stored.data(), chunk.stored.size(), theirs.data(), n, wimlib), 0);
            ASSERT_EQ(zeros, theirs) << entry.path() << " chunk at " << chunk.offset;
        }
    }
    wimlib_free_decompressor(wimlib);
    EXPECT_EQ(files, 3);
}

}  // namespace
