// Where the walk goes after a chunk, for every row of the next-item rule, in both
// layouts (the 28-byte header moves everything past byte 4 of a chunk 20 bytes on).
#include <gtest/gtest.h>

#include "compressed_test_util.h"

namespace {

class NextItem : public testing::TestWithParam<ChunkLayout> {
protected:
    NextItem() : writer(MakeWriter(GetParam())) {
        // A plain chunk first, so that the chunk under test is not the one that
        // decides the layout.
        writer.AddStoredChunk(0x21, 0, 16, std::vector<uint8_t>(16, 0x42));
        p = writer.Position();
    }

    uint64_t Shift() const { return writer.HeaderSize() - 8; }

    // Adds the chunk that the walk must reach next and walks the container.
    std::vector<uint64_t> FoundAfter(ScanMode mode = ScanMode::Standard) {
        writer.AddChunk(MsciOutput(u"Next"));
        return Positions(Walk(writer.Finish(), mode));
    }

    ContainerWriter writer;
    uint64_t p = 0;
};

TEST_P(NextItem, FollowsTheStoredSizeOrFourBytesLess) {
    writer.AddStoredChunk(0x01, 0, 100, std::vector<uint8_t>(100, 0x55));
    EXPECT_EQ(FoundAfter(), std::vector<uint64_t>{p + 108 + Shift()});
}

TEST_P(NextItem, StepsBackFourBytesWithoutAKindBit) {
    for (uint8_t flags : {0x00, 0x80}) {
        ContainerWriter w = MakeWriter(GetParam());
        w.AddStoredChunk(0x21, 0, 16, std::vector<uint8_t>(16, 0x42));
        const uint64_t at = w.AddStoredChunk(flags, 0, 100, std::vector<uint8_t>(96, 0x55));
        w.AddChunk(MsciOutput(u"Next"));
        EXPECT_EQ(Positions(Walk(w.Finish())), std::vector<uint64_t>{at + 104 + Shift()}) << int{flags};
    }
}

TEST_P(NextItem, TakesWholeUnitsWhateverTheStoredSize) {
    writer.AddStoredChunk(0x02, 16, 40, std::vector<uint8_t>(40, 0x55));
    EXPECT_EQ(FoundAfter(), std::vector<uint64_t>{p + 8 + Shift() + 8192});
}

TEST_P(NextItem, IndexedChunksAddTheirExtraLengthFromFourBytesIn) {
    std::vector<uint8_t> index(16, 0xEE);
    index[4] = 100;  // the extra length, 32 bits at stored byte 4
    index[5] = index[6] = index[7] = 0;
    writer.AddStoredChunk(0x2C, 0, 16, index);
    EXPECT_EQ(FoundAfter(), std::vector<uint64_t>{p + 4 + Shift() + 116});
}

TEST_P(NextItem, IndexedChunksWrapTheirSizeIn32Bits) {
    // 20 + 0xFFFFFFF8 wraps to 12: the next item starts 8 bytes into the stored bytes.
    writer.AddStoredChunk(0x08, 0, 20, {1, 2, 3, 4, 0xF8, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(FoundAfter(), std::vector<uint64_t>{p + 4 + Shift() + 12});
}

TEST_P(NextItem, IndexedWholeUnitsCountFromFourBytesIn) {
    std::vector<uint8_t> index(16, 0);
    writer.AddStoredChunk(0x0A, 16, 16, index);
    EXPECT_EQ(FoundAfter(), std::vector<uint64_t>{p + 4 + Shift() + 8192});
}

TEST_P(NextItem, ShortenedChunkWithoutStoredBytesDiffersBetweenTheModes) {
    // Header only, stored size 0: Standard Mode wraps 0 - 4 and leaves the file,
    // Advanced Mode goes on right behind the header.
    std::vector<uint8_t> header(writer.HeaderSize(), 0);
    header[0] = 0x04;
    writer.AddBytes(header);
    writer.AddChunk(MsciOutput(u"Next"));
    const std::vector<uint8_t> container = writer.Finish();
    EXPECT_TRUE(Walk(container, ScanMode::Standard).empty());
    EXPECT_EQ(Positions(Walk(container, ScanMode::Advanced)), std::vector<uint64_t>{p + 8 + Shift()});
}

INSTANTIATE_TEST_SUITE_P(Layouts, NextItem, testing::Values(ChunkLayout::ShortHeader, ChunkLayout::Checksummed),
                         [](const auto& info) { return LayoutName(info.param); });

}  // namespace
