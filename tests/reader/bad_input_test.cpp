// Damaged, cut and random files end their walk cleanly, keep the sets found
// before the damage, and are never written to.
#include <gtest/gtest.h>

#include <random>
#include <sys/stat.h>

#include "fixtures/mtf_writer.h"
#include "fixtures/temp_file.h"
#include "reader/catalog.h"
#include "walk_util.h"

namespace {

BackupSetFields Set(uint16_t number, const std::u16string& database) {
    BackupSetFields set;
    set.dataSetNumber = number;
    set.scin.databaseName = database;
    return set;
}

std::vector<std::string> Names(const CatalogStore& store) {
    std::vector<std::string> names;
    for (const BackupSetRecord& set : store.m_backupSets) names.push_back(U8(set.strDatabaseName));
    return names;
}

TEST(BadInput, AFileCutAnywhereKeepsTheSetsWhoseCatalogLiesBeforeTheCut) {
    std::vector<uint64_t> msci;
    const std::vector<uint8_t> full = MakeBackup({Set(1, u"A"), Set(2, u"B")}, &msci);
    for (uint64_t cut = 0; cut <= full.size(); cut += 61) {
        std::vector<uint8_t> bytes(full.begin(), full.begin() + cut);
        for (ScanMode mode : {ScanMode::Standard, ScanMode::Advanced}) {
            WalkResult r = Walk(bytes, mode);
            std::vector<std::string> want;
            // A set counts once its SCIN record is whole in the file.
            if (cut >= msci[0] + 78 + 344) want.push_back("A");
            if (cut >= msci[1] + 78 + 344) want.push_back("B");
            EXPECT_EQ(Names(r.store), want) << "cut at " << cut;
        }
    }
}

TEST(BadInput, AZeroedOrOverwrittenStretchLosesOnlyWhatItCovers) {
    std::vector<uint64_t> msci;
    std::vector<uint8_t> bytes = MakeBackup({Set(1, u"A"), Set(2, u"B"), Set(3, u"C")}, &msci);
    // The second set's blocks up to its catalog are zeroed: the walk crosses them in
    // 512-byte steps, finds the second catalog, then the third set.
    std::fill(bytes.begin() + msci[1] - 2048, bytes.begin() + msci[1], 0);
    WalkResult r = Walk(bytes);
    EXPECT_EQ(Names(r.store), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(r.store.m_backupSets[1].dataSet.nNumber, 1);  // its SSET was lost: the last one holds

    // Random bytes over the whole second set: the first stays, nothing false is found.
    std::mt19937 rng(7);
    for (uint64_t i = msci[1] - 2048; i < msci[2] - 2048; ++i) bytes[i] = static_cast<uint8_t>(rng());
    std::vector<std::string> names = Names(Walk(bytes).store);
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.front(), "A");
}

TEST(BadInput, RandomFilesEndTheirWalkWithNothingFound) {
    std::mt19937 rng(12345);
    for (size_t size : {1u, 3u, 21u, 511u, 512u, 4096u, 100000u}) {
        std::vector<uint8_t> bytes(size);
        for (uint8_t& b : bytes) b = static_cast<uint8_t>(rng());
        for (ScanMode mode : {ScanMode::Standard, ScanMode::Advanced}) {
            WalkResult r = Walk(bytes, mode);
            EXPECT_FALSE(r.found) << size;
            EXPECT_TRUE(r.store.m_backupSets.empty());
        }
    }
    EXPECT_FALSE(Walk({}).found);
}

TEST(BadInput, LengthsThatWouldRunPastTheLargestPositionEndTheWalk) {
    // A stream whose length would carry the position past 2^64 - 1 ends the walk
    // (it runs past the end of any file); the set before it stays.
    MtfWriter w;
    std::vector<uint8_t> first = MakeBackup({Set(1, u"A")});
    w.Write(0, first);
    w.Msda();
    w.Stream("APAD", 10);
    const uint64_t data = w.Stream("MQDA", 100);
    w.Put64(data + 8, UINT64_MAX - 30);  // wraps round to just before its own header
    w.Pad();
    uint64_t tail = w.Size();
    AppendBackupSet(w, Set(2, u"B"));
    EXPECT_EQ(Names(Walk(w.Bytes(), ScanMode::Advanced).store), std::vector<std::string>{"A"});
    EXPECT_GT(w.Size(), tail);

    // The same in a catalog: an unknown sub-record of huge length, and a huge catalog stream.
    for (int64_t declared : {int64_t{-1}, int64_t{-100}}) {
        MtfWriter c;
        std::vector<uint8_t> body(16, 0xFF);
        CatalogStreamBuilder catalog;
        catalog.Scin(ScinFields{}).Item("ZZZZ", body);
        c.Msci(catalog, "MQCI", declared);
        c.Pad();
        for (ScanMode mode : {ScanMode::Standard, ScanMode::Advanced}) {
            WalkResult r = Walk(c.Bytes(), mode);
            EXPECT_EQ(r.store.m_backupSets.size(), 1u);
        }
    }
}

TEST(BadInput, WalkingAndReadingAFileLeaveItsBytesAndTimesUnchanged) {
    std::vector<uint64_t> msci;
    const std::vector<uint8_t> bytes = MakeBackup({Set(1, u"A")}, &msci);
    TempFile temp(bytes);
    struct stat before {};
    ASSERT_EQ(::stat(temp.Path().c_str(), &before), 0);
    for (ScanMode mode : {ScanMode::Standard, ScanMode::Advanced}) {
        CatalogStore store;
        ScanContext ctx;
        ctx.mode = mode;
        ctx.store = &store;
        BackupFile file;
        ASSERT_TRUE(file.Open(temp.Path16()));
        WalkMtfBlocks(file, file.GetLength(), 0, ctx);
        EXPECT_EQ(store.m_backupSets.size(), 1u);
    }
    CatalogStore chosen;
    ReadCatalogFromFile({{temp.Path16(), 0}}, msci[0], 0, chosen);
    EXPECT_EQ(chosen.m_databaseFiles.size(), 2u);
    struct stat after {};
    ASSERT_EQ(::stat(temp.Path().c_str(), &after), 0);
    EXPECT_EQ(before.st_mtim.tv_sec, after.st_mtim.tv_sec);
    EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
    EXPECT_EQ(before.st_size, after.st_size);
    EXPECT_EQ(temp.ReadAll(), bytes);
}

}  // namespace
