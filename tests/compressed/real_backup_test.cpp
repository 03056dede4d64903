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

// Walks the compressed backup at `path`, reads each set it finds again, and checks
// both against `want`, its entry of EXPECTED.json.
void CheckCompressedBackup(const std::string& path, const nlohmann::json& want) {
    ASSERT_TRUE(std::filesystem::exists(path)) << "real backup missing: " << path;

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

TEST(RealCompressedBackups, YieldTheirSetsAndTheChosenSetsCatalogs) {
    SKIP_WITHOUT_REAL_BACKUPS();
    const nlohmann::json all = expected::Load();
    int checked = 0;
    for (const auto& [key, want] : all.items()) {
        const std::vector<InputFileEntry> inputs = expected::InputsOf(key);
        if (!inputs.front().bCompressed) continue;  // the plain walk's tests read these
        SCOPED_TRACE(key);
        CheckCompressedBackup(ToUtf8(inputs.front().strPath), want);
        ++checked;
    }
    EXPECT_GT(checked, 0) << "EXPECTED.json names no compressed backup";
}

}  // namespace
