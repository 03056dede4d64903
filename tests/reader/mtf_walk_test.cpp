#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include <unistd.h>

#include "fixtures/hostile_catalogs.h"
#include "fixtures/mtf_writer.h"
#include "fixtures/temp_file.h"
#include "reader/catalog.h"
#include "walk_util.h"

namespace {

BackupSetFields NamedSet(uint16_t number, const std::u16string& dataSetName, const std::u16string& database) {
    BackupSetFields set;
    set.dataSetNumber = number;
    set.dataSetName = dataSetName;
    set.scin.databaseName = database;
    return set;
}

// A small catalog block that records one set named `database` with one file,
// then pads to 512.
uint64_t ProbeMsci(MtfWriter& w, const std::u16string& database) {
    ScinFields scin;
    scin.databaseName = database;
    scin.dataFileCount = 1;
    scin.logFileCount = 0;
    uint64_t at = w.Msci(CatalogStreamBuilder().Scin(scin).Sfin({SfinEntryFields{}}));
    w.Pad();
    return at;
}

TEST(MtfWalk, CollectsEverySetOfAFileEachWithTheDataSetOfItsOwnSset) {
    std::vector<uint64_t> msci;
    auto bytes = MakeBackup({NamedSet(1, u"first set", u"Alpha"), NamedSet(65535, u"", u"Beta")}, &msci);
    for (ScanMode mode : {ScanMode::Standard, ScanMode::Advanced}) {
        WalkResult r = Walk(bytes, mode);
        EXPECT_TRUE(r.found);
        ASSERT_EQ(r.store.m_backupSets.size(), 2u);
        const BackupSetRecord& a = r.store.m_backupSets[0];
        const BackupSetRecord& b = r.store.m_backupSets[1];
        EXPECT_EQ(U8(a.strDatabaseName), "Alpha");
        EXPECT_EQ(a.nPosition, msci[0]);
        EXPECT_EQ(a.dataSet.nNumber, 1);
        EXPECT_EQ(U8(a.dataSet.strName), "first set");
        EXPECT_EQ(U8(b.strDatabaseName), "Beta");
        EXPECT_EQ(b.nPosition, msci[1]);
        EXPECT_EQ(b.dataSet.nNumber, 65535);  // widened without sign
        EXPECT_EQ(U8(b.dataSet.strName), "");
        EXPECT_EQ(U8(r.store.m_backupInfo.strDatabaseName), "Beta");  // the last SCIN met
        // The data stream of each MSDA block follows another stream: Advanced Mode notes it.
        EXPECT_EQ(r.mqda, mode == ScanMode::Advanced);
    }
}

TEST(MtfWalk, TheDataSetNumberOutlivesAFileButItsTextsDoNot) {
    CatalogStore store;
    ScanContext ctx;
    ctx.store = &store;
    MtfWriter noSset;
    noSset.Tape();
    noSset.Pad();
    ProbeMsci(noSset, u"orphan");

    WalkBytes(noSset.Bytes(), ctx);  // before any SSET of the run
    WalkBytes(MakeBackup({NamedSet(7, u"seven", u"Db")}), ctx, 1);
    WalkBytes(noSset.Bytes(), ctx, 2);
    ASSERT_EQ(store.m_backupSets.size(), 3u);
    EXPECT_EQ(store.m_backupSets[0].dataSet.nNumber, 0);
    EXPECT_EQ(store.m_backupSets[1].dataSet.nNumber, 7);
    EXPECT_EQ(U8(store.m_backupSets[1].dataSet.strName), "seven");
    EXPECT_EQ(store.m_backupSets[2].dataSet.nNumber, 7);
    EXPECT_EQ(U8(store.m_backupSets[2].dataSet.strName), "");
    EXPECT_EQ(store.m_backupSets[2].nStripe, 2u);
}

TEST(MtfWalk, SsetTextsOfOddSizeWithNulOrEmpty) {
    MtfWriter w;
    uint64_t sset = w.Sset(3, u"AB\0C", u"xyz");
    w.Put16(sset + 68, 5);  // description of 5 bytes: "xy" and a last unit of its low byte
    w.Pad();
    ProbeMsci(w, u"p");
    w.Sset(4, u"", u"");
    w.Pad();
    ProbeMsci(w, u"q");
    WalkResult r = Walk(w.Bytes());
    ASSERT_EQ(r.store.m_backupSets.size(), 2u);
    EXPECT_EQ(U8(r.store.m_backupSets[0].dataSet.strName), "AB");
    EXPECT_EQ(U8(r.store.m_backupSets[0].dataSet.strDescription), "xyz");
    EXPECT_EQ(r.store.m_backupSets[1].dataSet.nNumber, 4);
    EXPECT_EQ(U8(r.store.m_backupSets[1].dataSet.strName), "");
    EXPECT_EQ(U8(r.store.m_backupSets[1].dataSet.strDescription), "");
}

// The chain of the block at `block`, read through a window as the walk reads it.
uint64_t Chain(BackupFile& file, uint64_t block, uint16_t firstEvent) {
    ItemReads reads(file, true);
    return FollowStreamChain(reads, block, firstEvent, file.GetLength(), nullptr, ScanContext{}).value_or(0);
}

TEST(StreamChain, LaterHeadersStartAtTheNextMultipleOfFourAndSpadEndsTheChainUnrounded) {
    // A block at 1024 whose first header lies 98 bytes on; a stream of 1001 bytes
    // ends at 2145, so the SPAD header lies at 2148 and its 1926 bytes end at 4096.
    MtfWriter w;
    w.ExtendTo(1024);
    w.Block("VOLB", 73, 98);
    EXPECT_EQ(w.Stream("DATA", 1001), 1122u);
    EXPECT_EQ(w.Stream("SPAD", 1926), 2148u);
    w.AppendFill(100, 0xEE);
    TempFile temp(w.Bytes());
    BackupFile file;
    ASSERT_TRUE(file.Open(temp.Path16()));
    EXPECT_EQ(Chain(file, 1024, 98), 4096u);

    for (uint64_t dataEnd : {1001, 1002, 1003, 1004}) {
        MtfWriter c;
        c.Block("ESET", 85, 0);
        c.Stream("DATA", dataEnd - 22);
        c.Stream("SPAD", 10);
        c.AppendFill(64, 0xEE);
        TempFile t(c.Bytes());
        BackupFile f;
        ASSERT_TRUE(f.Open(t.Path16()));
        EXPECT_EQ(Chain(f, 0, 0), 1004u + 22 + 10) << dataEnd;
    }
}

TEST(MtfWalk, UnknownDataIsCrossedIn512ByteStepsAndTagsMustMatchExactly) {
    for (const char* junkTag : {"tape", "TAP\0", "\0APE", "MSC"}) {
        MtfWriter w;
        w.Write(0, junkTag, 4);
        w.AppendFill(1000, 0x41);  // "AAAA..." is no tag either
        w.ExtendTo(1536);
        ProbeMsci(w, u"at 1536");
        WalkResult r = Walk(w.Bytes());
        ASSERT_EQ(r.store.m_backupSets.size(), 1u) << junkTag;
        EXPECT_EQ(r.store.m_backupSets[0].nPosition, 1536u);
    }
    // A block that no 512-byte step from a known position reaches is never seen.
    MtfWriter off;
    off.AppendFill(1000, 0x41);
    off.ExtendTo(1540);
    ProbeMsci(off, u"missed");
    EXPECT_TRUE(Walk(off.Bytes()).store.m_backupSets.empty());
}

TEST(MtfWalk, SoftFilemarksAreSkippedByTheirOffsetAndOneOfOffsetZeroDoesNotStallTheWalk) {
    MtfWriter w;
    w.Sfmb(1000);  // next block at 1000, a position that 512-byte steps would miss
    ProbeMsci(w, u"after filemark");
    uint64_t zero = w.Size();
    w.Sfmb(0);
    w.ExtendTo(zero + 512);
    ProbeMsci(w, u"after empty filemark");
    WalkResult r = Walk(w.Bytes());
    ASSERT_EQ(r.store.m_backupSets.size(), 2u);
    EXPECT_EQ(r.store.m_backupSets[0].nPosition, 1000u);
    EXPECT_EQ(r.store.m_backupSets[1].nPosition, zero + 512);
}

// Where does the block walk go on after an MSCI block at 0? Each candidate
// position gets a small SSET block with its own number, whose chain leads to a
// probe MSCI block at 8192; the probe's data set number names the landing.
struct Landing {
    uint64_t position;
    uint16_t number;
};
int LandedOn(MtfWriter& w, const std::vector<Landing>& landings, ScanMode mode) {
    const uint64_t padHeader = 6000, probe = 8192;
    for (const Landing& l : landings) {
        w.PutTag(l.position, "SSET");
        w.Put16(l.position + 8, static_cast<uint16_t>(padHeader - l.position));
        w.Put16(l.position + 62, l.number);
    }
    w.PutTag(padHeader, "SPAD");
    w.Put64(padHeader + 8, probe - padHeader - 22);
    w.ExtendTo(probe);
    ProbeMsci(w, u"probe");
    WalkResult r = Walk(w.Bytes(), mode);
    for (const BackupSetRecord& set : r.store.m_backupSets) {
        if (set.nPosition == probe) return set.dataSet.nNumber;
    }
    return -1;
}

ScinFields CountedScin(uint32_t dataFiles, uint32_t logFiles) {
    ScinFields scin;
    scin.dataFileCount = dataFiles;
    scin.logFileCount = logFiles;
    return scin;
}

TEST(MsciNextBlock, OtherEndingGoesOnWhereTheCatalogStoppedInStandardAndAtItsEndInAdvanced) {
    // SCIN, an SFGI and 78 bytes more: the bound (block + stream length) stops the
    // walk just after the SFGI, 78 bytes before the end of the stream's data.
    for (ScanMode mode : {ScanMode::Standard, ScanMode::Advanced}) {
        MtfWriter w;
        CatalogStreamBuilder catalog;
        catalog.Scin(CountedScin(0, 0)).Item("SFGI", std::vector<uint8_t>(30, 0)).Raw(std::vector<uint8_t>(78, 0));
        w.Msci(catalog);
        const uint64_t end = 56 + 22 + catalog.Size();
        const uint64_t stopped = end - 78;
        EXPECT_EQ(LandedOn(w, {{stopped, 1}, {end, 2}}, mode), mode == ScanMode::Standard ? 1 : 2);
    }
}

TEST(MsciNextBlock, PadEndingGoesOnAtTheStreamEndOrAfterAFurtherPadInAdvanced) {
    for (ScanMode mode : {ScanMode::Standard, ScanMode::Advanced}) {
        MtfWriter w;
        CatalogStreamBuilder catalog;
        catalog.Scin(CountedScin(0, 0)).Raw(std::vector<uint8_t>(4, 0));  // the stream's end is not a multiple of 4
        w.Msci(catalog, "SPAD");
        const uint64_t end = 56 + 22 + catalog.Size();
        WalkResult nothing = Walk(w.Bytes(), mode);
        EXPECT_TRUE(nothing.found);
        EXPECT_TRUE(nothing.store.m_backupSets.empty());  // a pad stream is not read as a catalog
        EXPECT_EQ(LandedOn(w, {{end, 1}}, mode), 1);
    }
    for (ScanMode mode : {ScanMode::Standard, ScanMode::Advanced}) {
        MtfWriter w;
        CatalogStreamBuilder catalog;
        catalog.Scin(CountedScin(0, 0)).Raw(std::vector<uint8_t>(4, 0));
        w.Msci(catalog, "SPAD");
        const uint64_t pad = (56 + 22 + catalog.Size() + 3) / 4 * 4;
        w.PutTag(pad, "SPAD");
        w.Put64(pad + 8, 1001);
        EXPECT_EQ(LandedOn(w, {{pad + 1023, 3}}, mode), mode == ScanMode::Advanced ? 3 : -1);
    }
}

TEST(MsciNextBlock, FilesEndingPassesOverAFollowingPadInBothModes) {
    SfinEntryFields entry;
    entry.physicalName = u"od";  // 404-byte entry: the catalog's end is not a multiple of 4
    for (ScanMode mode : {ScanMode::Standard, ScanMode::Advanced}) {
        MtfWriter w;
        CatalogStreamBuilder catalog;
        catalog.Scin(CountedScin(1, 0)).Sfin({entry});
        w.Msci(catalog);
        const uint64_t end = 56 + 22 + catalog.Size();
        ASSERT_NE(end % 4, 0u);
        const uint64_t pad = w.Pad(2048);
        EXPECT_EQ(LandedOn(w, {{pad, 1}}, mode), 1);
    }
    // No pad after the entries: Standard goes on at the rounded position, Advanced at the stream's end.
    for (ScanMode mode : {ScanMode::Standard, ScanMode::Advanced}) {
        MtfWriter w;
        CatalogStreamBuilder catalog;
        catalog.Scin(CountedScin(1, 0)).Sfin({entry}).Raw(std::vector<uint8_t>(100, 0));
        w.Msci(catalog);
        const uint64_t afterEntry = 56 + 22 + catalog.Size() - 100;
        const uint64_t end = 56 + 22 + catalog.Size();
        EXPECT_EQ(LandedOn(w, {{(afterEntry + 3) / 4 * 4, 1}, {end, 2}}, mode), mode == ScanMode::Standard ? 1 : 2);
    }
}

TEST(MqdaRule, OnlyAdvancedModeNotesANonEmptyDataStreamThatFollowsAnotherOrRunsOutTheFile) {
    struct Case {
        const char* name;
        std::vector<std::pair<const char*, uint64_t>> streams;
        bool runsOut;  // the last stream is cut by the end of the file
        bool set;
    };
    const std::vector<Case> cases = {
        {"first stream, then pad", {{"MQDA", 4096}}, false, false},
        {"after another stream", {{"APAD", 10}, {"MQDA", 4096}}, false, true},
        {"empty, after another stream", {{"APAD", 10}, {"MQDA", 0}}, false, false},
        {"first stream running past the end", {{"MQDA", 1 << 20}}, true, true},
        {"another id", {{"APAD", 10}, {"MQDB", 4096}}, false, false},
    };
    for (const Case& c : cases) {
        for (ScanMode mode : {ScanMode::Standard, ScanMode::Advanced}) {
            MtfWriter w;
            w.Msda();
            for (const auto& [id, length] : c.streams) {
                w.Stream(id, length);
            }
            std::vector<uint8_t> bytes;
            if (c.runsOut) {
                bytes = w.Bytes();
                bytes.resize(4096);
            } else {
                w.Pad();
                bytes = w.Bytes();
            }
            WalkResult r = Walk(bytes, mode);
            EXPECT_EQ(r.mqda, c.set && mode == ScanMode::Advanced) << c.name;
            EXPECT_FALSE(r.found);
        }
    }
    // The same streams in another block type are not looked at.
    MtfWriter w;
    w.Mstl();
    w.Stream("APAD", 10);
    w.Stream("MQDA", 4096);
    w.Pad();
    EXPECT_FALSE(Walk(w.Bytes(), ScanMode::Advanced).mqda);
}

TEST(MtfWalk, StopEndsTheWalkAfterTheBlockInProgressAndProgressComesAtMultiplesOfTen) {
    MtfWriter w;
    ProbeMsci(w, u"first");
    ProbeMsci(w, u"second");
    std::vector<uint8_t> bytes = w.Bytes();

    CatalogStore store;
    std::atomic<int32_t> stop{0};
    ScanContext ctx;
    ctx.store = &store;
    ctx.stopFlag = &stop;
    std::vector<int32_t> reported;
    ctx.setProgress = [&](int32_t p) {
        reported.push_back(p);
        stop = 1;  // Stop pressed while the first block is read
    };
    WalkBytes(bytes, ctx);
    ASSERT_EQ(store.m_backupSets.size(), 1u);
    EXPECT_EQ(U8(store.m_backupSets[0].strDatabaseName), "first");
    EXPECT_EQ(reported, std::vector<int32_t>{0});

    CatalogStore none;
    ScanContext stopped;
    stopped.store = &none;
    stopped.stopFlag = &stop;  // still 1: nothing is read
    WalkBytes(bytes, stopped);
    EXPECT_FALSE(stopped.found);
    EXPECT_TRUE(none.m_backupSets.empty());

    // Junk crossed in 512-byte steps: 0, 512, ... 4608; only 0 and 2560 reach the bar.
    CatalogStore junkStore;
    ScanContext progress;
    progress.store = &junkStore;
    reported.clear();
    progress.setProgress = [&](int32_t p) { reported.push_back(p); };
    WalkBytes(std::vector<uint8_t>(5000, 0x55), progress);
    EXPECT_EQ(reported, (std::vector<int32_t>{0, 2560}));
}

struct StoppedWalk {
    std::vector<int32_t> reported;  // positions given to the bar
    CatalogStore store;
    bool found = false;
};

// The walk of `w`, written to a sparse file, with Stop pressed when the walk
// reports `stopAt` to the bar, or with the file then cut to nothing.
StoppedWalk WalkStoppedAt(const MtfWriter& w, int32_t stopAt, bool cut = false) {
    StoppedWalk result;
    TempFile temp;
    w.WriteSparseFile(temp.Path());
    BackupFile file;
    EXPECT_TRUE(file.Open(temp.Path16()));
    std::atomic<int32_t> stop{0};
    ScanContext ctx;
    ctx.store = &result.store;
    ctx.stopFlag = &stop;
    ctx.setProgress = [&](int32_t p) {
        result.reported.push_back(p);
        if (p != stopAt) return;
        if (cut) EXPECT_EQ(::truncate(temp.Path().c_str(), 0), 0);
        else stop = 1;
    };
    WalkMtfBlocks(file, file.GetLength(), 0, ctx);
    result.found = ctx.found;
    return result;
}

// A block whose chain runs on through 256 MiB of zeros (headers of length 0, 24
// bytes apart) to a pad.
void ChainThroughZeros(MtfWriter& w) {
    w.Tape();
    w.Stream("APAD", 10);
    const uint64_t pad = RoundUpTo4(w.NextStreamPosition()) + 24 * ((uint64_t{256} << 20) / 24);
    w.PutTag(pad, "SPAD");
    w.Put64(pad + 8, 512 - (pad + 22) % 512);
    w.ExtendTo(pad + 22 + 512 - (pad + 22) % 512);
}

TEST(MtfWalk, LongChainsAndCatalogsMoveTheBarAndAStopThereEndsTheWalk) {
    // The long chain, after which a set follows.
    MtfWriter w;
    ChainThroughZeros(w);
    const uint64_t msci = ProbeMsci(w, u"after");

    // Not stopped: the bar moves through the chain, every MiB or two, and the set after it is found.
    StoppedWalk whole = WalkStoppedAt(w, -1);
    EXPECT_GT(whole.reported.size(), 128u);
    EXPECT_TRUE(std::is_sorted(whole.reported.begin(), whole.reported.end()));
    ASSERT_EQ(whole.store.m_backupSets.size(), 1u);
    EXPECT_EQ(whole.store.m_backupSets[0].nPosition, msci);

    // Stopped while the chain runs: nothing more is read or reported.
    StoppedWalk stopped = WalkStoppedAt(w, whole.reported[2]);
    EXPECT_EQ(stopped.reported.size(), 3u);
    EXPECT_FALSE(stopped.found);
    EXPECT_TRUE(stopped.store.m_backupSets.empty());

    // A file cut to nothing while the chain runs through it: the walk ends at the
    // next read, as at the file's end, rather than step on through what is gone;
    // the set before the cut stays.
    MtfWriter before;
    ProbeMsci(before, u"before");
    ChainThroughZeros(before);
    const std::vector<int32_t> uncut = WalkStoppedAt(before, -1).reported;
    const size_t half = uncut.size() / 2;  // inside the chain
    StoppedWalk cut = WalkStoppedAt(before, uncut[half], true);
    EXPECT_EQ(cut.reported.size(), half + 1);
    ASSERT_EQ(cut.store.m_backupSets.size(), 1u);
    EXPECT_EQ(U8(cut.store.m_backupSets[0].strDatabaseName), "before");

    // A catalog of more sub-records than a sound one has, before its SCIN: a stop
    // pressed as its block is reached ends its walk, after the bar has moved.
    MtfWriter c;
    c.ExtendTo(2560);
    c.Msci(CatalogStreamBuilder().Raw(SmallStepCatalog(8 * 10000, false)).Scin(ScinFields{}));
    StoppedWalk catalogStopped = WalkStoppedAt(c, 2560);
    EXPECT_EQ(catalogStopped.reported.size(), 3u);
    EXPECT_TRUE(catalogStopped.store.m_backupSets.empty());
    EXPECT_EQ(WalkStoppedAt(c, -1).store.m_backupSets.size(), 1u);
}

TEST(MtfWalk, FindsACatalogBeyondFourGibibytesAndReadsItsNamesThere) {
    MtfWriter w;
    w.Tape();
    w.Pad();
    w.Msda();
    w.Stream("MQDA", (5ull << 30) + 1234);  // 5 GiB of skipped data, never written
    w.Pad();
    ScinFields scin;
    scin.databaseName = u"FarAway";
    scin.serverName = u"HOST\\INSTANCE";
    scin.nameBaseBefore = 40;  // SCIN second: its names count from the stream's data start
    SfinEntryFields file;
    file.physicalName = u"D:\\far.mdf";
    scin.dataFileCount = 1;
    scin.logFileCount = 0;
    uint64_t msci =
        w.Msci(CatalogStreamBuilder().Item("SFGI", std::vector<uint8_t>(32, 0)).Scin(scin).Sfin({file}));
    w.Pad();
    ASSERT_GT(msci, 1ull << 32);

    TempFile temp;
    w.WriteSparseFile(temp.Path());
    CatalogStore store;
    ScanContext ctx;
    ctx.store = &store;
    BackupFile f;
    ASSERT_TRUE(f.Open(temp.Path16()));
    WalkMtfBlocks(f, f.GetLength(), 0, ctx);
    f.Close();
    ASSERT_EQ(store.m_backupSets.size(), 1u);
    EXPECT_EQ(store.m_backupSets[0].nPosition, msci);
    EXPECT_EQ(U8(store.m_backupSets[0].strDatabaseName), "FarAway");

    CatalogStore chosen;
    ReadCatalogFromFile({{temp.Path16(), 0}}, msci, 0, chosen);
    EXPECT_EQ(U8(chosen.m_backupInfo.strServerName), "HOST\\INSTANCE");
    ASSERT_EQ(chosen.m_databaseFiles.size(), 1u);
    EXPECT_EQ(U8(chosen.m_databaseFiles[0].strPhysicalName), "D:\\far.mdf");
}

}  // namespace
