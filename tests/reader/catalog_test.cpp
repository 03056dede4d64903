// The four catalog readers over the same catalogs: the scan step of the block
// walk, the in-memory parse of a decoded chunk, and the two re-reads of a
// chosen set (from a file, from a decoded chunk).
#include <gtest/gtest.h>

#include "fixtures/hostile_catalogs.h"
#include "fixtures/mtf_writer.h"
#include "fixtures/temp_file.h"
#include "reader/catalog.h"
#include "walk_util.h"

namespace {

constexpr uint64_t kBlock = 1024;  // where the catalog block lies, in the file and in the chunk

// One catalog block at kBlock, padded to the next 512, as a file and as a decoded chunk.
struct Catalog {
    std::vector<uint8_t> media;

    explicit Catalog(const CatalogStreamBuilder& catalog, const char* streamId = "MQCI", int64_t declaredLength = -1) {
        MtfWriter w;
        w.ExtendTo(kBlock);
        w.Msci(catalog, streamId, declaredLength);
        w.Pad();
        media = w.Bytes();
    }

    // The scan of the file (block walk, Standard Mode).
    CatalogStore Scan() const { return Walk(media).store; }
    CatalogStore FromFile() const {
        TempFile temp(media);
        CatalogStore store;
        ReadCatalogFromFile({{temp.Path16(), 0}}, kBlock, 0, store);
        return store;
    }
    // The chunk holds the media's first `n` bytes (default all) and the zero tail.
    CatalogStore InMemory(uint64_t n = UINT64_MAX) const {
        std::vector<uint8_t> chunk = Chunk(n);
        CatalogStore store;
        DataSetInfo dataSet;
        dataSet.nNumber = 9;
        dataSet.strName = u"chunk set";
        ParseCatalogInMemory(chunk.data(), Size(n), kBlock, 77777, dataSet, 2, store);
        return store;
    }
    CatalogStore FromBuffer(uint64_t n = UINT64_MAX) const {
        std::vector<uint8_t> chunk = Chunk(n);
        CatalogStore store;
        ReadCatalogFromBuffer(chunk.data(), Size(n), kBlock, store);
        return store;
    }

private:
    uint64_t Size(uint64_t n) const { return std::min<uint64_t>(n, media.size()); }
    std::vector<uint8_t> Chunk(uint64_t n) const {
        std::vector<uint8_t> chunk(media.begin(), media.begin() + Size(n));
        chunk.resize(chunk.size() + 400, 0);
        return chunk;
    }
};

SfinEntryFields Entry(const std::u16string& name, uint32_t number, uint64_t at250, uint64_t at130 = 0) {
    SfinEntryFields e;
    e.physicalName = name;
    e.fileNumber = number;
    e.fileType = number == 4 ? 2 : 1;
    e.sizeAt250 = at250;
    e.sizeAt130 = at130;
    return e;
}

ScinFields Scin(const std::u16string& database, uint32_t dataFiles, uint32_t logFiles) {
    ScinFields s;
    s.databaseName = database;
    s.dataFileCount = dataFiles;
    s.logFileCount = logFiles;
    return s;
}

TEST(CatalogReaders, ReadTheSetAndItsFilesInCatalogOrder) {
    ScinFields scin = Scin(u"Sales", 3, 1);
    scin.serverName = u"SRV\\X";
    scin.backupType = 'I';
    scin.databaseId = 0xBEEF;
    scin.databaseVersion = 957;
    scin.backupSize = 0x1234567890ull;
    scin.creationDate = {0x1F, 0x8C, 0xCE, 0xE1, 0x49};
    const std::vector<SfinEntryFields> files = {Entry(u"a.mdf", 1, 250), Entry(u"b.ndf", 2, 0, 130),
                                                Entry(u"c.ndf", 3, 7, 99), Entry(u"d.ldf", 4, 0, 0)};
    Catalog c(CatalogStreamBuilder().Scin(scin).Item("SFGI", std::vector<uint8_t>(20, 1)).Sfin(files, "XXXX"));

    for (const CatalogStore& store : {c.FromFile(), c.FromBuffer()}) {
        const BackupInfo& info = store.m_backupInfo;
        EXPECT_EQ(U8(info.strDatabaseName), "Sales");
        EXPECT_EQ(U8(info.strServerName), "SRV\\X");
        EXPECT_EQ(U8(info.strCreationDate), "7-3-2019::14:5:9");
        EXPECT_EQ(info.chBackupType, 'I');
        EXPECT_EQ(info.nDatabaseId, 0xBEEF);
        EXPECT_EQ(info.nDatabaseVersion, 957);
        EXPECT_EQ(info.nDataFileCount, 3);
        EXPECT_EQ(info.nLogFileCount, 1);
        ASSERT_EQ(store.m_databaseFiles.size(), 4u);
        const uint64_t sizes[] = {250, 130, 7, 0};  // at 250 unless it is 0, then at 130
        for (size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(U8(store.m_databaseFiles[i].strPhysicalName), U8(files[i].physicalName));
            EXPECT_EQ(store.m_databaseFiles[i].descriptor.FileNumber(), i + 1);
            EXPECT_EQ(store.m_databaseFiles[i].nSize, sizes[i]);
        }
        EXPECT_EQ(store.m_databaseFiles[3].nFileType, 2u);
        EXPECT_TRUE(store.m_backupSets.empty());  // the re-reads record no sets
    }
    for (const CatalogStore& store : {c.Scan(), c.InMemory()}) {
        ASSERT_EQ(store.m_backupSets.size(), 1u);
        EXPECT_EQ(U8(store.m_backupSets[0].strDatabaseName), "Sales");
        EXPECT_EQ(store.m_backupSets[0].nBackupSize, 0x1234567890ull);
        EXPECT_TRUE(store.m_databaseFiles.empty());
    }
    const CatalogStore scanned = c.Scan();
    EXPECT_EQ(scanned.m_backupSets[0].nPosition, kBlock);
    const CatalogStore parsed = c.InMemory();
    EXPECT_EQ(parsed.m_backupSets[0].nPosition, 77777u);
    EXPECT_EQ(parsed.m_backupSets[0].nStripe, 2u);
    EXPECT_EQ(parsed.m_backupSets[0].dataSet.nNumber, 9);
    EXPECT_EQ(U8(parsed.m_backupSets[0].dataSet.strName), "chunk set");
}

TEST(CatalogReaders, TwoScinRecordsGiveTwoSetsAndTheSecondOnesInformation) {
    // The second SCIN's names count from the stream's start in a file, from itself in memory.
    ScinFields second = Scin(u"Two", 1, 0);
    Catalog inMemory(CatalogStreamBuilder().Scin(Scin(u"One", 0, 0)).Scin(second).Sfin({Entry(u"x", 1, 1)}));
    second.nameBaseBefore = 344 + 6 + 12;  // the first SCIN with "One" and "SERVER"
    Catalog inFile(CatalogStreamBuilder().Scin(Scin(u"One", 0, 0)).Scin(second).Sfin({Entry(u"x", 1, 1)}));
    for (const CatalogStore& store : {inFile.Scan(), inMemory.InMemory()}) {
        ASSERT_EQ(store.m_backupSets.size(), 2u);
        EXPECT_EQ(U8(store.m_backupSets[0].strDatabaseName), "One");
        EXPECT_EQ(U8(store.m_backupSets[1].strDatabaseName), "Two");
        EXPECT_EQ(U8(store.m_backupInfo.strDatabaseName), "Two");
    }
}

TEST(CatalogReaders, ScinNamesCountFromTheStreamStartInFilesAndFromTheScinInMemory) {
    ScinFields scin = Scin(u"Right", 0, 0);
    scin.serverName = u"Host";
    scin.nameBaseBefore = 24;  // the SFGI before it is 24 bytes long
    CatalogStreamBuilder stream;
    stream.Item("SFGI", std::vector<uint8_t>(16, 0)).Scin(scin).Raw(std::vector<uint8_t>(200, 'z'));
    Catalog c(stream);
    EXPECT_EQ(U8(c.FromFile().m_backupInfo.strDatabaseName), "Right");
    EXPECT_EQ(U8(c.Scan().m_backupSets.at(0).strDatabaseName), "Right");
    // In memory the same offsets land 24 bytes further on, in the bytes after the names.
    EXPECT_EQ(U8(c.InMemory().m_backupSets.at(0).strDatabaseName), "\u7a7a\u7a7a\u7a7a\u7a7a\u7a7a");
    EXPECT_EQ(U8(c.FromBuffer().m_backupInfo.strServerName), "\u7a7a\u7a7a\u7a7a\u7a7a");
}

TEST(CatalogReaders, AnUnknownSubRecordIsSteppedOverInFilesAndEndsTheWalkInMemory) {
    // 8-byte header, then a 64-bit length at byte 8 (the header's 32-bit length is ignored).
    std::vector<uint8_t> body(16, 0);
    body[0] = 24;
    Catalog c(CatalogStreamBuilder().Scin(Scin(u"Db", 1, 0)).Item("ZZZZ", body, 9999).Sfin({Entry(u"f", 1, 1)}));
    EXPECT_EQ(c.FromFile().m_databaseFiles.size(), 1u);
    EXPECT_TRUE(c.FromBuffer().m_databaseFiles.empty());
    EXPECT_EQ(U8(c.FromBuffer().m_backupInfo.strDatabaseName), "Db");

    std::vector<uint8_t> zero(16, 0);  // an unknown sub-record whose length is 0 ends the file walk too
    Catalog z(CatalogStreamBuilder().Scin(Scin(u"Db", 1, 0)).Item("ZZZZ", zero).Sfin({Entry(u"f", 1, 1)}));
    EXPECT_TRUE(z.FromFile().m_databaseFiles.empty());
}

TEST(CatalogReaders, TheBoundIsTheBlockPlusTheStreamLength) {
    // The SFIN starts 60 bytes before the end of the stream's data, within the
    // last 78 (offset to first event + header): no reader reaches it.
    CatalogStreamBuilder stream;
    stream.Scin(Scin(u"Db", 1, 0)).Raw(std::vector<uint8_t>(40, 0));
    const int64_t declared = static_cast<int64_t>(stream.Size()) + 60;
    stream.Sfin({Entry(u"f", 1, 1)});
    CatalogStreamBuilder skip;  // the 40 bytes are a known sub-record that is passed over
    skip.Scin(Scin(u"Db", 1, 0)).Item("SFWB", std::vector<uint8_t>(32, 0)).Sfin({Entry(u"f", 1, 1)});
    Catalog cut(skip, "MQCI", declared);
    EXPECT_TRUE(cut.FromFile().m_databaseFiles.empty());
    EXPECT_TRUE(cut.FromBuffer().m_databaseFiles.empty());
    EXPECT_EQ(cut.Scan().m_backupSets.size(), 1u);

    Catalog whole(skip, "MQCI", declared + 78);
    EXPECT_EQ(whole.FromFile().m_databaseFiles.size(), 1u);
    EXPECT_EQ(whole.FromBuffer().m_databaseFiles.size(), 1u);

    // A stream no longer than offset to first event + header holds no sub-record for anyone.
    Catalog empty(skip, "MQCI", 78);
    EXPECT_TRUE(empty.Scan().m_backupSets.empty());
    EXPECT_TRUE(empty.InMemory().m_backupSets.empty());
    EXPECT_TRUE(empty.FromFile().m_backupInfo.strDatabaseName.empty());
    EXPECT_TRUE(Walk(empty.media).found);
}

TEST(CatalogReaders, APadCatalogStreamIsSkippedByFileWalksButWalkedInMemory) {
    Catalog c(CatalogStreamBuilder().Scin(Scin(u"Db", 1, 0)).Sfin({Entry(u"f", 1, 1)}), "SPAD");
    EXPECT_TRUE(c.Scan().m_backupSets.empty());
    EXPECT_TRUE(c.FromFile().m_databaseFiles.empty());
    EXPECT_EQ(c.InMemory().m_backupSets.size(), 1u);
    EXPECT_EQ(c.FromBuffer().m_databaseFiles.size(), 1u);
}

TEST(CatalogReaders, AnEntryOfLengthZeroStandsForEveryEntryLeft) {
    SfinEntryFields stuck = Entry(u"same.mdf", 1, 5);
    stuck.lengthOverridden = true;
    stuck.length = 0;
    CatalogStreamBuilder stream;
    stream.Scin(Scin(u"Db", 2, 1)).Sfin({Entry(u"first.mdf", 1, 1), stuck}).Raw(std::vector<uint8_t>(800, 0));
    Catalog c(stream);
    for (const CatalogStore& store : {c.FromFile(), c.FromBuffer()}) {
        ASSERT_EQ(store.m_databaseFiles.size(), 3u);
        EXPECT_EQ(U8(store.m_databaseFiles[0].strPhysicalName), "first.mdf");
        EXPECT_EQ(U8(store.m_databaseFiles[1].strPhysicalName), "same.mdf");
        EXPECT_EQ(U8(store.m_databaseFiles[2].strPhysicalName), "same.mdf");
    }
}

TEST(CatalogReaders, DamagedCountsAreHeldToWhatTheDataCanHold) {
    SfinEntryFields stuck = Entry(u"same.mdf", 1, 5);
    stuck.lengthOverridden = true;
    stuck.length = 0;
    Catalog c(CatalogStreamBuilder().Scin(Scin(u"Db", 0xFFFFFFFFu, 0x7FFFFFFFu)).Sfin({stuck}));
    const size_t most = c.media.size() / 400 + 1;
    EXPECT_GE(c.FromFile().m_databaseFiles.size(), 1u);
    EXPECT_LE(c.FromFile().m_databaseFiles.size(), most);
    EXPECT_LE(c.FromBuffer().m_databaseFiles.size(), most);
    EXPECT_EQ(c.Scan().m_backupSets.size(), 1u);

    // However many entries the data holds, no set lists more files than a database can have.
    MtfWriter big;
    big.ExtendTo(kBlock);
    const std::vector<SfinEntryFields> entries(40000, Entry(u"", 1, 5));
    big.Msci(CatalogStreamBuilder().Scin(Scin(u"Db", 0xFFFFFFFFu, 0)).Sfin(entries));
    TempFile temp;
    big.WriteSparseFile(temp.Path());
    CatalogStore store;
    ReadCatalogFromFile({{temp.Path16(), 0}}, kBlock, 0, store);
    EXPECT_EQ(store.m_databaseFiles.size(), 32767u);

    // An SFIN before any SCIN has no count: no files.
    Catalog orphan(CatalogStreamBuilder().Sfin({Entry(u"f", 1, 1)}).Scin(Scin(u"Db", 1, 0)));
    EXPECT_TRUE(orphan.FromFile().m_databaseFiles.empty());
    EXPECT_TRUE(orphan.FromBuffer().m_databaseFiles.empty());
    EXPECT_TRUE(orphan.Scan().m_backupSets.empty());  // the walk ended at the SFIN
}

TEST(CatalogReaders, AWalkStepsThroughAtMostTwoToTheTwentiethSubRecords) {
    // 8-byte SFGI sub-records, then a SCIN: read as the 2^20th sub-record, not as the next.
    for (const size_t before : {(size_t{1} << 20) - 1, size_t{1} << 20}) {
        CatalogStreamBuilder stream;
        stream.Raw(SmallStepCatalog(before * 8, false)).Scin(Scin(u"Far", 0, 0));
        EXPECT_EQ(Catalog(stream).Scan().m_backupSets.size(), before < (size_t{1} << 20) ? 1u : 0u) << before;
    }
}

TEST(CatalogReaders, CatalogsOfOneChunkThatRunIntoEachOtherRecordTheirSetsOnce) {
    // The first catalog's SFGI steps over the second block to the second catalog's SCIN.
    MtfWriter w;
    w.Msci(CatalogStreamBuilder().Item("SFGI", {}, 512), "MQCI", 4096);
    MtfWriter second;
    second.Msci(CatalogStreamBuilder().Scin(Scin(u"Two", 0, 0)));
    w.Write(512, second.Bytes());
    std::vector<uint8_t> chunk = w.Bytes();
    const uint64_t n = chunk.size();
    chunk.resize(n + 400, 0);
    CatalogStore store;
    for (uint32_t o : {0u, 512u}) ParseCatalogInMemory(chunk.data(), n, o, 16, DataSetInfo{}, 0, store);
    ASSERT_EQ(store.m_backupSets.size(), 1u);
    EXPECT_EQ(U8(store.m_backupSets[0].strDatabaseName), "Two");
}

TEST(CatalogReaders, InMemoryNothingAtOrPastTheDecodedLengthIsTaken) {
    ScinFields scin = Scin(u"Database", 2, 0);
    CatalogStreamBuilder stream;
    stream.Scin(scin).Sfin({Entry(u"first.mdf", 1, 1), Entry(u"second.mdf", 2, 2)});
    Catalog c(stream);
    const uint64_t scinStart = kBlock + 56 + 22;
    const uint64_t secondEntry = scinStart + 372 + 418;  // SCIN with its names, then the first entry
    // The chunk ends inside the second entry's name: it is cut there; nothing after it is read.
    CatalogStore cut = c.FromBuffer(secondEntry + 400 + 6);
    ASSERT_EQ(cut.m_databaseFiles.size(), 2u);
    EXPECT_EQ(U8(cut.m_databaseFiles[1].strPhysicalName), "sec");
    // The chunk ends before the second entry: it is not recorded.
    EXPECT_EQ(c.FromBuffer(secondEntry).m_databaseFiles.size(), 1u);
    // The chunk ends inside the SCIN's database name.
    CatalogStore name = c.InMemory(scinStart + 344 + 5);
    ASSERT_EQ(name.m_backupSets.size(), 1u);
    EXPECT_EQ(U8(name.m_backupSets[0].strDatabaseName), "Dat");  // with the odd last byte 't'
    // A block whose catalog header would lie past the chunk's end is not walked.
    EXPECT_TRUE(c.InMemory(kBlock + 40).m_backupSets.empty());
}

TEST(CatalogReaders, ReadingAChosenSetOfAFileThatIsNotThereOrNotACatalogLeavesTheStore) {
    Catalog c(CatalogStreamBuilder().Scin(Scin(u"Db", 1, 0)).Sfin({Entry(u"f", 1, 1)}));
    TempFile temp(c.media);
    CatalogStore store;
    store.m_backupInfo.strDatabaseName = u"kept";
    ReadCatalogFromFile({{temp.Path16(), 0}}, kBlock + 4, 0, store);  // not at the block
    ReadCatalogFromFile({{u"/nonexistent/x.bak", 0}}, kBlock, 0, store);
    ReadCatalogFromFile({{temp.Path16(), 0}}, kBlock, 1, store);  // no such stripe
    EXPECT_EQ(U8(store.m_backupInfo.strDatabaseName), "kept");
    EXPECT_TRUE(store.m_databaseFiles.empty());
}

}  // namespace
