// The chunk walk and the re-read of a chosen set over containers of both layouts.
#include <gtest/gtest.h>

#include "compressed_test_util.h"

namespace {

class ChunkWalk : public testing::TestWithParam<ChunkLayout> {};

TEST_P(ChunkWalk, GivesEachSetTheDataSetOfTheSsetBeforeItInTheSameChunk) {
    // Chunk 1: an MSCI before any SSET. Chunk 2: SSET at 0 and MSCI at 1,024.
    // Chunk 3: an SSET alone. Chunk 4: an MSCI, which keeps only the number.
    ContainerWriter writer = MakeWriter(GetParam());
    writer.AddChunk(MsciOutput(u"First"));
    std::vector<uint8_t> both = SsetOutput(7, u"Seven", u"Lucky");
    std::vector<uint8_t> msci = MsciOutput(u"Second", 1024);
    ASSERT_LE(both.size(), 1024u);
    both.resize(1024);
    both.insert(both.end(), msci.begin() + 1024, msci.end());
    const uint64_t second = writer.AddChunk(both);
    writer.AddChunk(SsetOutput(9, u"Nine", u"Later"));
    const uint64_t fourth = writer.AddChunk(MsciOutput(u"Fourth"));

    CatalogStore store;
    ScanContext ctx;
    ctx.store = &store;
    WalkInto(writer.Finish(), ctx, 3);
    ASSERT_EQ(store.m_backupSets.size(), 3u);
    const auto& sets = store.m_backupSets;
    EXPECT_EQ(sets[0].strDatabaseName, u"First");
    EXPECT_EQ(sets[0].dataSet.nNumber, 0);
    EXPECT_EQ(sets[0].dataSet.strName, u"");
    EXPECT_EQ(sets[1].strDatabaseName, u"Second");
    EXPECT_EQ(sets[1].nPosition, second);
    EXPECT_EQ(sets[1].dataSet.nNumber, 7);
    EXPECT_EQ(sets[1].dataSet.strName, u"Seven");
    EXPECT_EQ(sets[1].dataSet.strDescription, u"Lucky");
    EXPECT_EQ(sets[2].nPosition, fourth);
    EXPECT_EQ(sets[2].dataSet.nNumber, 9);
    EXPECT_EQ(sets[2].dataSet.strName, u"");
    EXPECT_EQ(sets[2].dataSet.strDescription, u"");
    for (const auto& set : sets) EXPECT_EQ(set.nStripe, 3u);
    EXPECT_TRUE(ctx.found);

    // The next file of the scan keeps the number, not the texts.
    ContainerWriter next = MakeWriter(GetParam());
    next.AddChunk(MsciOutput(u"NextFile"));
    WalkInto(next.Finish(), ctx, 4);
    ASSERT_EQ(store.m_backupSets.size(), 4u);
    EXPECT_EQ(store.m_backupSets[3].dataSet.nNumber, 9);
    EXPECT_EQ(store.m_backupSets[3].nStripe, 4u);
}

TEST_P(ChunkWalk, FindsEverySetOfAWholeBackupCutAcrossEveryKindOfItem) {
    std::vector<BackupSetFields> fields(3);
    fields[0].scin.databaseName = u"Alpha";
    fields[1].scin.databaseName = u"Beta";
    fields[1].dataSetNumber = 2;
    fields[2].scin.databaseName = u"Gamma";
    fields[2].dataSetNumber = 3;
    for (auto& f : fields) f.dataLength = 300000;
    std::vector<uint64_t> msci;
    const std::vector<uint8_t> media = MakeBackup(fields, &msci);

    const MediaCut cut = EveryKindOfItem(16, 3);
    ContainerWriter writer = MakeWriter(GetParam());
    const std::vector<uint64_t> chunks = writer.AddMedia(media, cut);
    const std::vector<uint8_t> container = writer.Finish();

    const size_t step = cut.unitsPerChunk * 512;
    for (ScanMode mode : {ScanMode::Standard, ScanMode::Advanced}) {
        const std::vector<BackupSetRecord> sets = Walk(container, mode);
        ASSERT_EQ(sets.size(), 3u);
        for (size_t i = 0; i < 3; ++i) {
            ASSERT_LT(msci[i] % step + 2048, step) << "catalog " << i << " straddles two chunks";
            EXPECT_EQ(sets[i].nPosition, chunks[msci[i] / step]);
            EXPECT_EQ(sets[i].strDatabaseName, fields[i].scin.databaseName);
            EXPECT_EQ(sets[i].dataSet.nNumber, fields[i].dataSetNumber);
        }

        // Every set read again from its chunk.
        TempFile temp(container);
        for (size_t i = 0; i < 3; ++i) {
            CatalogStore chosen;
            ReadCompressedCatalog({{temp.Path16(), 1}}, sets[i].nPosition, 0, chosen);
            EXPECT_EQ(chosen.m_backupInfo.strDatabaseName, fields[i].scin.databaseName);
            ASSERT_EQ(chosen.m_databaseFiles.size(), 2u);
            EXPECT_EQ(chosen.m_databaseFiles[1].strPhysicalName, fields[i].files[1].physicalName);
        }
    }
}

TEST_P(ChunkWalk, PassesOverChunksOfNoOrAllUnitsUndecodedAndReadsTheFirstCatalogOfAChunk) {
    // Stored bytes that would decode to a catalog, under units 0 and 255.
    const std::vector<uint8_t> coded = XpressEncode(MsciOutput(u"Hidden"));
    ContainerWriter writer = MakeWriter(GetParam());
    writer.AddChunk(MsciOutput(u"Lead"));
    const uint64_t none = writer.AddStoredChunk(0x21, 0, static_cast<uint16_t>(coded.size()), coded);
    const uint64_t all = writer.AddStoredChunk(0x21, 255, static_cast<uint16_t>(coded.size()), coded);
    std::vector<uint8_t> two = MsciOutput(u"One");
    std::vector<uint8_t> other = MsciOutput(u"Two", 4096);
    two.resize(4096);
    two.insert(two.end(), other.begin() + 4096, other.end());
    const uint64_t twice = writer.AddChunk(two);
    TempFile temp(writer.Finish());

    const std::vector<BackupSetRecord> sets = Walk(temp.ReadAll());
    ASSERT_EQ(sets.size(), 3u);
    EXPECT_EQ(sets[0].strDatabaseName, u"Lead");
    EXPECT_EQ(sets[1].strDatabaseName, u"One");
    EXPECT_EQ(sets[2].strDatabaseName, u"Two");
    EXPECT_EQ(sets[2].nPosition, twice);

    for (uint64_t position : {none, all}) {
        CatalogStore chosen;
        ReadCompressedCatalog({{temp.Path16(), 1}}, position, 0, chosen);
        EXPECT_EQ(chosen.m_backupInfo.strDatabaseName, u"");
        EXPECT_TRUE(chosen.m_databaseFiles.empty());
    }
    CatalogStore chosen;
    ReadCompressedCatalog({{temp.Path16(), 1}}, twice, 0, chosen);
    EXPECT_EQ(chosen.m_backupInfo.strDatabaseName, u"One");
}

TEST_P(ChunkWalk, StopsBeforeTheNextItemAndReportsPositionsThatAreMultiplesOfTen) {
    ContainerWriter writer = MakeWriter(GetParam());
    std::vector<uint64_t> items;
    for (const char16_t* name : {u"A", u"B", u"C"}) {
        items.push_back(writer.AddChunk(MsciOutput(name)));
        const uint64_t at = writer.Position();
        const uint16_t distance = static_cast<uint16_t>(70 + (10 - (at + 70) % 10) % 10);
        items.push_back(writer.AddSfmb(distance));  // the next chunk starts at a multiple of 10
    }
    std::atomic<int32_t> stop{0};
    std::vector<int32_t> reported;
    CatalogStore store;
    ScanContext ctx;
    ctx.store = &store;
    ctx.stopFlag = &stop;
    ctx.setProgress = [&](int32_t position) {
        reported.push_back(position);
        if (static_cast<uint64_t>(position) == items[2]) stop = 1;  // while chunk B is taken
    };
    WalkInto(writer.Finish(), ctx);

    ASSERT_EQ(store.m_backupSets.size(), 2u);
    EXPECT_EQ(store.m_backupSets[1].strDatabaseName, u"B");
    std::vector<int32_t> expected;
    for (size_t i = 0; i < 3; ++i)
        if (items[i] % 10 == 0) expected.push_back(static_cast<int32_t>(items[i]));
    EXPECT_EQ(reported, expected);
}

INSTANTIATE_TEST_SUITE_P(Layouts, ChunkWalk, testing::Values(ChunkLayout::ShortHeader, ChunkLayout::Checksummed),
                         [](const auto& info) { return LayoutName(info.param); });

TEST(ChunkWalk, TakesAChunkThatBeginsWithSfmbForAnSfmbBlock) {
    ContainerWriter writer = MakeWriter(ChunkLayout::ShortHeader);
    // Read as a chunk this would be flags 'S' (whole units) and 'F' = 70 units.
    const uint64_t p = writer.AddSfmb(80);
    const uint64_t chunk = writer.AddChunk(MsciOutput(u"AfterMark"));
    ASSERT_EQ(chunk, p + 80);
    EXPECT_EQ(Positions(Walk(writer.Finish())), std::vector<uint64_t>{p + 80});
}

}  // namespace
