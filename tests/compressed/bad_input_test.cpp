// Damaged, cut and foreign containers: every walk ends, keeps what it found, and
// no input file is ever written.
#include <gtest/gtest.h>

#include <random>
#include <sys/stat.h>

#include "compressed_test_util.h"

namespace {

std::vector<uint8_t> Header16() {
    return {'M', 'S', 'S', 'Q', 'L', 'B', 'A', 'K', 0, 0, 0, 0, 0, 0, 0, 0};
}

// Three catalogs in chunks with SFMB blocks between them.
std::vector<uint8_t> ThreeSets(ChunkLayout layout) {
    ContainerWriter writer = MakeWriter(layout);
    for (const char16_t* name : {u"One", u"Two", u"Three"}) {
        writer.AddChunk(MsciOutput(name));
        writer.AddSfmb(512);
        writer.AddStoredChunk(0x2C, 0, 16, {0, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    }
    return writer.Finish();
}

TEST(BadContainer, ContainersOfSixteenBytesOrLessHoldNothing) {
    std::vector<uint8_t> header = Header16();
    for (size_t size : {0, 4, 8, 16}) {
        ScanContext ctx;
        CatalogStore store;
        ctx.store = &store;
        WalkInto(std::vector<uint8_t>(header.begin(), header.begin() + size), ctx);
        EXPECT_TRUE(store.m_backupSets.empty());
        EXPECT_FALSE(ctx.found);
    }
}

TEST(BadContainer, CutContainersKeepTheSetsOfTheChunksThatAreWhole) {
    for (ChunkLayout layout : {ChunkLayout::ShortHeader, ChunkLayout::Checksummed}) {
        const std::vector<uint8_t> whole = ThreeSets(layout);
        const std::vector<BackupSetRecord> all = Walk(whole);
        ASSERT_EQ(all.size(), 3u);
        size_t previous = 0;
        for (size_t cut = 0; cut <= whole.size(); cut += 7) {
            const std::vector<BackupSetRecord> some =
                Walk(std::vector<uint8_t>(whole.begin(), whole.begin() + cut), ScanMode::Advanced);
            ASSERT_LE(some.size(), all.size());
            EXPECT_GE(some.size(), previous) << "cut at " << cut;
            for (size_t i = 0; i < some.size(); ++i) EXPECT_EQ(some[i].nPosition, all[i].nPosition);
            // A chunk whose stored bytes are cut is not decoded at all.
            for (const auto& set : some) EXPECT_LE(set.nPosition + 28, cut);
            previous = some.size();
        }
        EXPECT_EQ(previous, 3u);
    }
}

TEST(BadContainer, ZeroedAndRandomContainersEndTheirWalkEmpty) {
    for (size_t size : {100, 0x1E0 + 28, 70000}) {
        std::vector<uint8_t> zeros = Header16();
        zeros.resize(size, 0);
        for (ScanMode mode : {ScanMode::Standard, ScanMode::Advanced}) EXPECT_TRUE(Walk(zeros, mode).empty());
    }
    std::mt19937 random(1234);
    for (int round = 0; round < 40; ++round) {
        std::vector<uint8_t> bytes = Header16();
        bytes.resize(16 + random() % 300000);
        for (size_t i = 16; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(random());
        EXPECT_TRUE(Walk(bytes, round % 2 ? ScanMode::Advanced : ScanMode::Standard).empty());
    }
}

TEST(BadContainer, SfmbWithoutDistanceEndsTheWalk) {
    ContainerWriter writer = MakeWriter(ChunkLayout::ShortHeader);
    writer.AddChunk(MsciOutput(u"Before"));
    const uint64_t mark = writer.AddSfmb(512);
    writer.AddChunk(MsciOutput(u"After"));
    std::vector<uint8_t> container = writer.Finish();
    container[mark + 8] = container[mark + 9] = 0;
    const std::vector<BackupSetRecord> sets = Walk(container);
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].strDatabaseName, u"Before");
}

TEST(BadContainer, AChunkCutShortShowsNothingOfTheChunkDecodedBeforeInItsBuffer) {
    // One decoding thread decodes into four buffers in turn: the fifth item goes into the
    // first one's. It is a chunk of 16 units whose stored bytes stop after a few dozen
    // output bytes; the rest of its output reads as zeros, not as the catalog at 4,096
    // of the first chunk.
    ContainerWriter writer = MakeWriter(ChunkLayout::Checksummed);
    const uint64_t first = writer.AddChunk(MsciOutput(u"Earlier", 4096));
    for (int i = 0; i < 3; ++i) writer.AddSfmb(512);
    std::mt19937 random(5);
    std::vector<uint8_t> noise(16 * 512);
    for (uint8_t& byte : noise) byte = static_cast<uint8_t>(random());
    std::vector<uint8_t> cut = XpressEncode(noise);
    cut.resize(300);
    writer.AddStoredChunk(0x21, 16, static_cast<uint16_t>(cut.size()), cut);
    const TempFile temp(writer.Finish());

    CatalogStore store;
    ScanContext ctx;
    ctx.store = &store;
    BackupFile file;
    ASSERT_TRUE(file.Open(temp.Path16()));
    WalkCompressedChunks(file, file.GetLength(), 0, ctx, 1);
    EXPECT_EQ(Positions(store.m_backupSets), std::vector<uint64_t>{first});
}

TEST(BadContainer, ABadChecksumAtTheFirstItemMeansTheShortHeaderLayout) {
    std::vector<uint8_t> container = ThreeSets(ChunkLayout::Checksummed);
    EXPECT_EQ(Walk(container).size(), 3u);
    container[0x1E0 + 24] ^= 1;
    // Read with 8-byte headers from offset 16 the leftover bytes lead nowhere.
    EXPECT_TRUE(Walk(container).empty());
}

TEST(BadContainer, ReadingNeverWritesTheInputFile) {
    TempFile temp(ThreeSets(ChunkLayout::Checksummed));
    const std::vector<uint8_t> before = temp.ReadAll();
    struct stat statBefore {};
    ASSERT_EQ(::stat(temp.Path().c_str(), &statBefore), 0);

    CatalogStore store;
    ScanContext ctx;
    ctx.store = &store;
    {
        BackupFile file;
        ASSERT_TRUE(file.Open(temp.Path16()));
        WalkCompressedChunks(file, file.GetLength(), 0, ctx);
    }
    ASSERT_EQ(store.m_backupSets.size(), 3u);
    const std::vector<InputFileEntry> inputs{{temp.Path16(), 1}};
    for (uint64_t position : {store.m_backupSets[2].nPosition, uint64_t{0}, uint64_t{1} << 40, UINT64_MAX})
        ReadCompressedCatalog(inputs, position, 0, store);
    ReadCompressedCatalog(inputs, store.m_backupSets[0].nPosition, 1, store);  // no such stripe
    ReadCompressedCatalog({{u"/nonexistent/file.bak", 1}}, 16, 0, store);
    EXPECT_EQ(store.m_backupInfo.strDatabaseName, u"Three");
    EXPECT_EQ(store.m_databaseFiles.size(), 2u);

    struct stat statAfter {};
    ASSERT_EQ(::stat(temp.Path().c_str(), &statAfter), 0);
    EXPECT_EQ(statBefore.st_mtim.tv_sec, statAfter.st_mtim.tv_sec);
    EXPECT_EQ(statBefore.st_mtim.tv_nsec, statAfter.st_mtim.tv_nsec);
    EXPECT_EQ(temp.ReadAll(), before);
}

}  // namespace
