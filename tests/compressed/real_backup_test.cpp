// The compressed backups that SQL Server wrote, against what they are known to hold.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <sys/stat.h>

#include "reader/backup_file.h"
#include "reader/compressed.h"
#include "reader/records.h"
#include "reader/scan_context.h"

namespace {

const std::string kRealDir = ORVENDEL_REALBAK_DIR;

nlohmann::json Expected() {
    std::ifstream in(kRealDir + "/EXPECTED.json");
    if (!in) throw std::runtime_error("missing " + kRealDir + "/EXPECTED.json");
    return nlohmann::json::parse(in);
}

std::string U8(const std::u16string& text) { return ToUtf8(text); }

class RealCompressedBackup : public testing::TestWithParam<std::string> {};

TEST_P(RealCompressedBackup, YieldsItsSetsAndTheChosenSetsCatalog) {
    const std::string name = GetParam();
    const std::string path = kRealDir + "/" + name;
    ASSERT_TRUE(std::filesystem::exists(path)) << "real backup missing: " << path;
    const nlohmann::json expected = Expected().at(name);

    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);

    CatalogStore store;
    ScanContext ctx;
    ctx.mode = ScanMode::Standard;
    ctx.store = &store;
    {
        BackupFile file;
        ASSERT_TRUE(file.Open(FromUtf8(path))) << path;
        WalkCompressedChunks(file, file.GetLength(), 0, ctx);
    }
    EXPECT_TRUE(ctx.found);

    const auto& sets = expected.at("sets");
    ASSERT_EQ(store.m_backupSets.size(), sets.size());
    const std::vector<InputFileEntry> inputs{{FromUtf8(path), 1}};
    for (size_t i = 0; i < sets.size(); ++i) {
        SCOPED_TRACE("set " + std::to_string(i));
        const auto& want = sets[i];
        const BackupSetRecord& got = store.m_backupSets[i];
        EXPECT_EQ(got.nStripe, want.at("stripe").get<uint32_t>());
        EXPECT_EQ(got.nPosition, want.at("position").get<uint64_t>());
        EXPECT_EQ(U8(got.strDatabaseName), want.at("database").get<std::string>());
        EXPECT_EQ(U8(got.strBackupStartDate), want.at("backupStartDate").get<std::string>());
        EXPECT_EQ(got.nBackupSize, want.at("backupSize").get<uint64_t>());
        EXPECT_EQ(got.dataSet.nNumber, want.at("dataSetNumber").get<int32_t>());
        EXPECT_EQ(U8(got.dataSet.strName), want.at("dataSetName").get<std::string>());
        EXPECT_EQ(U8(got.dataSet.strDescription), want.at("dataSetDescription").get<std::string>());

        CatalogStore chosen;
        ReadCompressedCatalog(inputs, got.nPosition, got.nStripe, chosen);
        const auto& info = want.at("chosen").at("info");
        const BackupInfo& bi = chosen.m_backupInfo;
        EXPECT_EQ(U8(bi.strDatabaseName), info.at("databaseName").get<std::string>());
        EXPECT_EQ(U8(bi.strServerName), info.at("serverName").get<std::string>());
        EXPECT_EQ(U8(bi.strCreationDate), info.at("creationDate").get<std::string>());
        EXPECT_EQ(U8(bi.strBackupStartDate), info.at("backupStartDate").get<std::string>());
        EXPECT_EQ(U8(bi.strBackupFinishDate), info.at("backupFinishDate").get<std::string>());
        EXPECT_EQ(bi.nDatabaseId, info.at("databaseId").get<uint16_t>());
        EXPECT_EQ(bi.nDatabaseVersion, info.at("databaseVersion").get<uint16_t>());
        EXPECT_EQ(std::string(1, static_cast<char>(bi.chBackupType)), info.at("backupType").get<std::string>());
        EXPECT_EQ(bi.nDataFileCount, info.at("dataFileCount").get<int32_t>());
        EXPECT_EQ(bi.nLogFileCount, info.at("logFileCount").get<int32_t>());

        const auto& files = want.at("chosen").at("files");
        ASSERT_EQ(chosen.m_databaseFiles.size(), files.size());
        for (size_t f = 0; f < files.size(); ++f) {
            const DatabaseFileRecord& file = chosen.m_databaseFiles[f];
            EXPECT_EQ(U8(file.strPhysicalName), files[f].at("physicalName").get<std::string>());
            EXPECT_EQ(file.descriptor.FileNumber(), files[f].at("fileNumber").get<uint32_t>());
            EXPECT_EQ(file.nFileType, files[f].at("fileType").get<uint32_t>());
            EXPECT_EQ(file.nSize, files[f].at("sizeBytes").get<uint64_t>());
        }
    }
    EXPECT_EQ(ctx.mqda, expected.at("unknownDataStream").get<bool>());

    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(before.st_mtim.tv_sec, after.st_mtim.tv_sec);
    EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
    EXPECT_EQ(before.st_size, after.st_size);
}

INSTANTIATE_TEST_SUITE_P(Files, RealCompressedBackup,
                         testing::Values("compressed/Company_TasnimBrashdi.bak", "compressed/Hotel_ObidBozorov2.bak",
                                         "compressed/Library_fabianlq1093.bak"),
                         [](const testing::TestParamInfo<std::string>& info) {
                             std::string n = std::filesystem::path(info.param).stem().string();
                             for (char& c : n)
                                 if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                             return n;
                         });

}  // namespace
