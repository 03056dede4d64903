// Every plain backup in the shared folder of real backups, walked as a Standard
// Mode scan would walk it, then each set's catalog read again as if chosen,
// checked against the independently worked-out EXPECTED.json.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "fixtures/expected_results.h"
#include "fixtures/limited_child.h"
#include "fixtures/temp_file.h"
#include "reader/backup_file.h"
#include "reader/catalog.h"
#include "reader/mtf_walk.h"
#include "reader/records.h"
#include "reader/scan_context.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

struct ScanOutcome {
    CatalogStore store;
    bool unknownDataStream = false;
};

// The scan's file loop: files in order, stopping after the first one whose walk met an MSCI block.
ScanOutcome Scan(const std::vector<InputFileEntry>& inputs, ScanMode mode) {
    ScanOutcome outcome;
    ScanContext ctx;
    ctx.mode = mode;
    ctx.store = &outcome.store;
    for (uint32_t k = 0; k < inputs.size(); ++k) {
        BackupFile file;
        if (!file.Open(inputs[k].strPath)) {
            ADD_FAILURE() << "cannot open " << ToUtf8(inputs[k].strPath);
            continue;
        }
        if (file.GetLength() != 0) WalkMtfBlocks(file, file.GetLength(), k, ctx);
        EXPECT_FALSE(file.Failed());
        if (ctx.found) break;
    }
    outcome.unknownDataStream = !ctx.found && ctx.mqda;
    return outcome;
}

// The SCIN of the set's second catalog copy in `bytes`: the one at the head of an
// MSLS block's first stream that carries the start date of the first copy's SCIN at `scin`.
std::optional<size_t> EndCopyScin(const std::vector<uint8_t>& bytes, size_t scin) {
    const char tag[] = "MSLS";
    for (auto at = bytes.begin(); (at = std::search(at, bytes.end(), tag, tag + 4)) != bytes.end(); ++at) {
        const size_t block = static_cast<size_t>(at - bytes.begin());
        if (block + 10 > bytes.size()) break;
        const size_t copy = block + LoadU16(&bytes[block + 8]) + 22;
        if (copy + 344 <= bytes.size() && std::memcmp(&bytes[copy], "SCIN", 4) == 0 &&
            std::memcmp(&bytes[copy + 77], &bytes[scin + 77], 5) == 0)
            return copy;
    }
    return std::nullopt;
}

// A copy in `temp` of the file of `set`'s stripe, in which one byte of the set's
// SCIN log file count (the third) reads 0x5b, making the count some six
// million too high, and the set's second catalog copy is damaged by `endDamage`
// (0: a finish date of all bits set; 1: a finish date 64 years before the
// start; 2: a size of 0; 3: a size of 2^64 - 1; 4: a size of 32,768,
// well below the first copy's estimate, as a log backup's can be); `inputs`
// then names the copy. Returns the damaged count, or nothing when the set's
// catalog does not begin with its SCIN or it has no second copy.
std::optional<int32_t> DamageLogFileCount(std::vector<InputFileEntry>& inputs, const BackupSetRecord& set,
                                          int endDamage, TempFile& temp) {
    std::ifstream in(ToUtf8(inputs[set.nStripe].strPath), std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (set.nPosition + 10 > bytes.size()) return std::nullopt;
    const uint64_t scin = set.nPosition + LoadU16(&bytes[set.nPosition + 8]) + 22;
    if (scin + 344 > bytes.size() || std::memcmp(&bytes[scin], "SCIN", 4) != 0 || bytes[scin + 18] != 0)
        return std::nullopt;
    const std::optional<size_t> copy = EndCopyScin(bytes, scin);
    if (!copy) return std::nullopt;
    bytes[scin + 18] = 0x5b;
    static const uint8_t kAllBits[5] = {0xff, 0xff, 0xff, 0xff, 0xff};
    if (endDamage < 2) std::memcpy(&bytes[*copy + 82], endDamage == 0 ? kAllBits : &bytes[scin + 77], 5);
    if (endDamage == 1) --bytes[*copy + 82];  // the year's top bits
    else if (endDamage < 4) std::memset(&bytes[*copy + 96], endDamage == 2 ? 0 : 0xff, 8);
    else std::memcpy(&bytes[*copy + 96], "\x00\x80\x00\x00\x00\x00\x00\x00", 8);
    temp.Write(bytes);
    inputs[set.nStripe].strPath = temp.Path16();
    return static_cast<int32_t>(LoadU32(&bytes[scin + 16]));
}

TEST(RealBackups, StandardScanAndChosenCatalogsMatchTheExpectedResults) {
    SKIP_WITHOUT_REAL_BACKUPS();
    json all = expected::Load();
    ASSERT_FALSE(all.empty()) << "no expected results";
    // The real backups are read-only: an ordinary user opens every one of them.
    const std::optional<std::string> unopened = RunUnprivileged([&] {
        std::string failures;
        for (const auto& [key, want] : all.items())
            for (const InputFileEntry& input : expected::InputsOf(key))
                if (BackupFile file; !file.Open(input.strPath)) failures += ToUtf8(input.strPath) + " ";
        return failures;
    });
    EXPECT_EQ(unopened, std::optional<std::string>(""));
    int checked = 0;
    int damagedCounts = 0;
    for (const auto& [key, want] : all.items()) {
        SCOPED_TRACE(key);
        std::vector<InputFileEntry> inputs = expected::InputsOf(key);
        if (inputs.front().bCompressed) continue;  // the compressed container's tests read these
        for (const InputFileEntry& input : inputs) {
            ASSERT_TRUE(fs::exists(ToUtf8(input.strPath))) << "missing real backup " << ToUtf8(input.strPath);
        }
        ScanOutcome scan = Scan(inputs, ScanMode::Standard);
        const json& sets = want.at("sets");
        ASSERT_EQ(scan.store.m_backupSets.size(), sets.size());
        for (size_t i = 0; i < sets.size(); ++i) {
            SCOPED_TRACE("set " + std::to_string(i));
            const BackupSetRecord& set = scan.store.m_backupSets[i];
            expected::CheckSet(set, sets[i]);

            // The chosen set's catalog, read again from its own stripe.
            CatalogStore chosen;
            ReadCatalogFromFile(inputs, set.nPosition, set.nStripe, chosen);
            expected::CheckChosen(chosen, sets[i].at("chosen"));
        }
        EXPECT_EQ(scan.unknownDataStream, want.at("unknownDataStream").get<bool>());
        // Advanced Mode finds the same sets and reports unknown data only without a catalog.
        ScanOutcome advanced = Scan(inputs, ScanMode::Advanced);
        EXPECT_EQ(advanced.store.m_backupSets.size(), sets.size());
        EXPECT_EQ(advanced.unknownDataStream, want.at("unknownDataStream").get<bool>());

        // A damaged file count lists the set's own files and no more, since no entry
        // lies past the end of the catalog stream; the sets after it are still found.
        // A damaged second copy leaves the set its first copy's finish date and size;
        // one whose size is merely far below the estimate is still taken.
        TempFile damagedCopy;
        std::vector<InputFileEntry> damaged = inputs;
        std::optional<int32_t> count;
        const int endDamage = checked % 5;
        if (!sets.empty()) count = DamageLogFileCount(damaged, scan.store.m_backupSets[0], endDamage, damagedCopy);
        if (count) {
            ScanOutcome rescan = Scan(damaged, ScanMode::Standard);
            ASSERT_EQ(rescan.store.m_backupSets.size(), sets.size());
            const BackupSetRecord& first = rescan.store.m_backupSets[0];
            const bool small = endDamage == 4;
            EXPECT_EQ(first.bEndCatalog, small) << "second copy damaged by kind " << endDamage;
            EXPECT_EQ(first.ShownBackupSize(), small ? 32768 : sets[0].at("backupSize").get<uint64_t>());
            if (small) {
                EXPECT_EQ(ToUtf8(first.strEndFinishDate),
                          sets[0].at("chosen").at("endCatalogFinishDate").get<std::string>());
            }
            for (size_t i = 1; i < sets.size(); ++i) expected::CheckSet(rescan.store.m_backupSets[i], sets[i]);
            CatalogStore chosen;
            ReadCatalogFromFile(damaged, sets[0].at("position"), sets[0].at("stripe"), chosen);
            json wantChosen = sets[0].at("chosen");
            wantChosen["info"]["logFileCount"] = *count;
            expected::CheckChosen(chosen, wantChosen);
            ++damagedCounts;
        }
        ++checked;
    }
    EXPECT_GT(checked, 0) << "EXPECTED.json names no plain backup";
    EXPECT_EQ(damagedCounts, checked);  // each entry's first catalog begins with its SCIN and has a second copy
}

}  // namespace
