// The walk decodes chunks ahead on several threads. Whatever their number, it must give
// exactly what one thread gives: the sets in their order, the data set carried from
// chunk to chunk and from file to file, the last catalog's information, the found flag
// and every progress report, also when a stop ends the walk at any report.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "compressed_test_util.h"

namespace {

// Five sets cut into small chunks of every kind, with SFMB blocks and chunks that are
// not decoded between them, so that an SSET and its catalog often stand in different
// chunks; then a chunk whose stream breaks off.
std::vector<uint8_t> BusyContainer() {
    std::vector<BackupSetFields> fields(5);
    for (size_t i = 0; i < fields.size(); ++i) {
        fields[i].scin.databaseName = u"Db" + std::u16string(1, static_cast<char16_t>(u'A' + i));
        fields[i].dataSetNumber = static_cast<uint16_t>(10 + i);
        fields[i].dataSetName = u"Set " + fields[i].scin.databaseName;
        fields[i].dataLength = 40000 + 30000 * i;
    }
    ContainerWriter writer = MakeWriter(ChunkLayout::Checksummed);
    writer.AddMedia(MakeBackup(fields), EveryKindOfItem(3, 4));
    std::vector<uint8_t> broken = XpressEncode(MsciOutput(u"Broken"));
    std::mt19937 rng(3);
    for (size_t i = 300; i < broken.size(); i += 7) broken[i] = static_cast<uint8_t>(rng());
    writer.AddStoredChunk(0x21, 8, static_cast<uint16_t>(broken.size()), broken);
    return writer.Finish();
}

// Everything a walk of `first` and then `second` leaves, as text; the walk stops at
// the `stopAt`-th progress report (0: never).
std::string WalkBoth(const TempFile& first, const TempFile& second, unsigned threads, size_t stopAt,
                     size_t* reportCount = nullptr) {
    std::atomic<int32_t> stop{0};
    std::ostringstream out;
    CatalogStore store;
    ScanContext ctx;
    ctx.store = &store;
    ctx.stopFlag = &stop;
    size_t reports = 0;
    ctx.setProgress = [&](int32_t position) {
        out << "report " << position << "\n";
        if (++reports == stopAt) stop = 1;
    };
    uint32_t stripe = 0;
    for (const TempFile* temp : {&first, &second}) {
        BackupFile file;
        if (!file.Open(temp->Path16())) return "cannot open " + temp->Path();
        WalkCompressedChunks(file, file.GetLength(), stripe++, ctx, threads);
    }
    for (const BackupSetRecord& set : store.m_backupSets) {
        out << "set " << set.nStripe << " " << set.nPosition << " " << ToUtf8(set.strDatabaseName) << " "
            << ToUtf8(set.strBackupStartDate) << " " << set.nBackupSize << " " << set.dataSet.nNumber << " "
            << ToUtf8(set.dataSet.strName) << " " << ToUtf8(set.dataSet.strDescription) << "\n";
    }
    const BackupInfo& info = store.m_backupInfo;
    out << "info " << ToUtf8(info.strDatabaseName) << " " << ToUtf8(info.strBackupStartDate) << " "
        << info.nDataFileCount << " " << info.nLogFileCount << "\n";
    out << "found " << ctx.found << " data set " << ctx.chunkDataSet.nNumber << " "
        << ToUtf8(ctx.chunkDataSet.strName) << "\n";
    if (reportCount != nullptr) *reportCount = reports;
    return out.str();
}

TEST(ChunkWalkThreads, GiveWhatOneThreadGivesWithOrWithoutAStop) {
    const TempFile busy(BusyContainer());
    ContainerWriter writer = MakeWriter(ChunkLayout::Checksummed);
    writer.AddChunk(MsciOutput(u"NextFile"));
    const TempFile next(writer.Finish());

    size_t reports = 0;
    const std::string whole = WalkBoth(busy, next, 1, 0, &reports);
    ASSERT_NE(whole.find("set 0 "), std::string::npos);
    ASSERT_NE(whole.find("NextFile"), std::string::npos);
    ASSERT_GT(reports, 40u);

    std::vector<size_t> stops = {0, 1, reports};
    for (size_t k = 1; k < 6; ++k) stops.push_back(reports * k / 6);
    for (size_t stopAt : stops) {
        const std::string one = stopAt == 0 ? whole : WalkBoth(busy, next, 1, stopAt);
        if (stopAt != 0 && stopAt < reports) {
            EXPECT_EQ(one.find("NextFile"), std::string::npos);
        }
        for (unsigned threads : {2u, 3u, 8u, 16u}) {
            EXPECT_EQ(WalkBoth(busy, next, threads, stopAt), one) << threads << " threads, stop at " << stopAt;
        }
    }
}

}  // namespace
