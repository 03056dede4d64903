// The compressed backups that SQL Server wrote, against what they are known to hold.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <sys/stat.h>

#include "fixtures/expected_results.h"
#include "reader/backup_file.h"
#include "reader/compressed.h"
#include "reader/records.h"
#include "reader/scan_context.h"

namespace {

const std::string kRealDir = expected::RealBackupFolder().string();

class RealCompressedBackup : public testing::TestWithParam<std::string> {};

TEST_P(RealCompressedBackup, YieldsItsSetsAndTheChosenSetsCatalog) {
    const std::string name = GetParam();
    const std::string path = kRealDir + "/" + name;
    ASSERT_TRUE(std::filesystem::exists(path)) << "real backup missing: " << path;
    const nlohmann::json want = expected::Load().at(name);

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

    const auto& sets = want.at("sets");
    ASSERT_EQ(store.m_backupSets.size(), sets.size());
    const std::vector<InputFileEntry> inputs{{FromUtf8(path), 1}};
    for (size_t i = 0; i < sets.size(); ++i) {
        SCOPED_TRACE("set " + std::to_string(i));
        expected::CheckSet(store.m_backupSets[i], sets[i]);
        CatalogStore chosen;
        ReadCompressedCatalog(inputs, store.m_backupSets[i].nPosition, store.m_backupSets[i].nStripe, chosen);
        expected::CheckChosen(chosen, sets[i].at("chosen"));
    }
    EXPECT_EQ(ctx.mqda, want.at("unknownDataStream").get<bool>());

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
