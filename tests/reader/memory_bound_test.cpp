// Small crafted files whose catalogs claim far more than their bytes hold. Each
// walk or re-read runs in a child process under an address-space limit: it must
// end normally, keep the first sets or files it met, and grow by no more than
// the few bytes the file justifies.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>

#include "fixtures/container_writer.h"
#include "fixtures/hostile_catalogs.h"
#include "fixtures/limited_child.h"
#include "fixtures/temp_file.h"
#include "fixtures/xpress_encoder.h"
#include "reader/catalog.h"
#include "reader/compressed.h"
#include "walk_util.h"

// The global operator new of this test program takes from a budget when one is set,
// so that a test can make allocations fail after so many bytes, whatever heap the
// tests before it left free. Without a budget it is malloc.
namespace {

constexpr uint64_t kNoBudget = UINT64_MAX;
std::atomic<uint64_t> g_newBudget{kNoBudget};  // bytes operator new may still hand out

// Sets a budget for as long as it lives.
class NewBudget {
public:
    explicit NewBudget(uint64_t bytes) { g_newBudget = bytes; }
    ~NewBudget() { g_newBudget = kNoBudget; }
    NewBudget(const NewBudget&) = delete;
    NewBudget& operator=(const NewBudget&) = delete;
};

}  // namespace

void* operator new(std::size_t size) {
    uint64_t left = g_newBudget.load();
    while (left != kNoBudget) {
        if (size > left) throw std::bad_alloc();
        if (g_newBudget.compare_exchange_weak(left, left - size)) break;
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return ::operator new(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& nothrow) noexcept { return ::operator new(size, nothrow); }
// The compiler takes free() after a new for a mismatch; here new is malloc.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace {

constexpr uint64_t kAllowance = 128ull << 20;  // address space the child may add: half what any walk may hold
constexpr uint64_t kMostGrowth = 16ull << 20;  // a few times what these files of at most a few MB justify

std::u16string Text16(size_t bytes) {
    const std::vector<uint8_t> text = LongText(bytes);
    return Utf16LeText(text.data(), text.size());
}

// Sets kept, those of them whose database name is the whole shared text, and the
// text units that the sets hold.
std::array<uint64_t, 4> Summary(const std::vector<BackupSetRecord>& sets, const std::u16string& name) {
    uint64_t whole = 0;
    uint64_t units = 0;
    for (const BackupSetRecord& set : sets) {
        whole += set.strDatabaseName == name ? 1 : 0;
        units += set.strDatabaseName.size() + set.dataSet.strName.size() + set.dataSet.strDescription.size();
    }
    return {sets.size(), whole, units, 0};
}

void ExpectBounded(const ChildOutcome& outcome, uint64_t mostGrowth = kMostGrowth) {
    EXPECT_TRUE(outcome.exitedNormally) << "the child ended by signal " << outcome.signal;
    if (!UnderAddressSanitizer()) {
        EXPECT_LE(outcome.rssGrowth, mostGrowth);
    }
}

TEST(MemoryBound, ScinRecordsNamingOneLongTextKeepOnlyTheFirstSets) {
    // The 1.7 MB backup of 5,000 SCIN records naming one 64 KiB text, and a worse
    // one: SCIN records 16 bytes apart after a data set of two 64 KiB texts.
    for (const RepeatedNameShape& shape : {RepeatedNameShape{5000, 344, 65535, false},
                                            RepeatedNameShape{20000, 16, 65535, true}}) {
        const std::vector<uint8_t> bytes = RepeatedNameBackup(shape);
        const std::u16string name = Text16(shape.nameBytes);
        for (ScanMode mode : {ScanMode::Standard, ScanMode::Advanced}) {
            SCOPED_TRACE(testing::Message() << "pitch " << shape.scinPitch << " mode " << static_cast<int>(mode));
            const ChildOutcome outcome =
                RunInLimitedChild(kAllowance, [&] { return Summary(Walk(bytes, mode).store.m_backupSets, name); });
            ExpectBounded(outcome);
            EXPECT_GE(outcome.values[0], 1u);
            EXPECT_LT(outcome.values[0], shape.scinCount);
            EXPECT_EQ(outcome.values[1], outcome.values[0]);  // every set kept has its whole name
        }
    }
}

TEST(MemoryBound, NoFileMakesTheSetsHoldMoreThanThirtyTwoMebibytes) {
    // 30,000 SCIN records of 344 bytes, each naming the same 1,000 bytes: 10 MB of
    // catalog that would justify 39 MiB of sets. Then the list is emptied, as the
    // window empties it before the next request, and a backup of 20 sets walked.
    const RepeatedNameShape shape{30000, 344, 1000, false};
    const std::vector<uint8_t> bytes = RepeatedNameBackup(shape);
    const std::vector<uint8_t> next = MakeBackup(std::vector<BackupSetFields>(20));
    const std::u16string name = Text16(shape.nameBytes);
    const ChildOutcome outcome = RunInLimitedChild(kAllowance, [&] {
        CatalogStore store;
        ScanContext ctx;
        ctx.store = &store;
        WalkBytes(bytes, ctx);
        std::array<uint64_t, 4> summary = Summary(store.m_backupSets, name);
        store.m_backupSets.clear();
        WalkBytes(next, ctx);
        summary[3] = store.m_backupSets.size();
        return summary;
    });
    ExpectBounded(outcome, 48ull << 20);
    EXPECT_EQ(outcome.values[3], 20u);  // counted afresh: the first file's sets are gone
    EXPECT_GE(outcome.values[0], 20000u);
    EXPECT_LT(outcome.values[0], shape.scinCount);
    EXPECT_EQ(outcome.values[1], outcome.values[0]);
    EXPECT_LE(outcome.values[2] * 2, 32u << 20);  // text bytes held
}

TEST(MemoryBound, AFailedAllocationEndsTheWalkAndKeepsWhatItFound) {
    const RepeatedNameShape shape{30000, 344, 1000, false};
    const TempFile temp(RepeatedNameBackup(shape));
    const std::u16string name = Text16(shape.nameBytes);
    const ChildOutcome outcome = RunInLimitedChild(kAllowance, [&]() -> std::array<uint64_t, 4> {
        CatalogStore store;
        ScanContext ctx;
        ctx.store = &store;
        BackupFile file;
        if (!file.Open(temp.Path16())) return {};
        {
            // Far less than the 32 MiB of sets that the walk would keep.
            const NewBudget budget(4ull << 20);
            WalkMtfBlocks(file, file.GetLength(), 0, ctx);
        }
        return Summary(store.m_backupSets, name);
    });
    EXPECT_TRUE(outcome.exitedNormally) << "the child ended by signal " << outcome.signal;
    EXPECT_GE(outcome.values[0], 1u);
    EXPECT_LT(outcome.values[0], 20000u);
    EXPECT_EQ(outcome.values[1], outcome.values[0]);
}

TEST(MemoryBound, ChunksRepeatingScinRecordsKeepWhatTheirDecodedBytesJustify) {
    // 20 chunks of a few hundred bytes each, every one decoding to a catalog of
    // SCIN records that name 64 KiB of the chunk's tail.
    for (auto [count, pitch, longDataSet] : {std::tuple{186u, 344u, false}, std::tuple{2048u, 16u, true}}) {
        ContainerWriter writer(ChunkLayout::Checksummed, XpressEncode);
        const std::vector<uint8_t> output = RepeatedNameChunk(count, pitch, longDataSet);
        uint64_t first = 0;
        for (int i = 0; i < 20; ++i) {
            const uint64_t at = writer.AddChunk(output);
            if (i == 0) first = at;
        }
        const TempFile temp(writer.Finish());
        for (ScanMode mode : {ScanMode::Standard, ScanMode::Advanced}) {
            SCOPED_TRACE(testing::Message() << "pitch " << pitch << " mode " << static_cast<int>(mode));
            const ChildOutcome outcome = RunInLimitedChild(kAllowance, [&]() -> std::array<uint64_t, 4> {
                CatalogStore store;
                ScanContext ctx;
                ctx.mode = mode;
                ctx.store = &store;
                BackupFile file;
                if (!file.Open(temp.Path16())) return {};
                WalkCompressedChunks(file, file.GetLength(), 0, ctx);
                const std::vector<BackupSetRecord>& sets = store.m_backupSets;
                const bool firstChunkFirst = !sets.empty() && sets[0].nPosition == first;
                return {sets.size(), firstChunkFirst ? 1u : 0u, 0, 0};
            });
            ExpectBounded(outcome);
            EXPECT_GE(outcome.values[0], 1u);
            EXPECT_LT(outcome.values[0], 20u * count);
            EXPECT_EQ(outcome.values[1], 1u);
        }
    }
}

TEST(MemoryBound, AnEntryOfLengthZeroCountedFourBillionTimesIsNotCopiedWithoutEnd) {
    // From a 14 MB plain backup (sparse), and from a decoded chunk.
    uint64_t msci = 0;
    const MtfWriter media = RepeatedFileBackup(0xFFFFFFFFu, 65534, 14ull << 20, &msci);
    const TempFile plain;
    media.WriteSparseFile(plain.Path());

    MtfWriter chunkMedia;
    chunkMedia.Msci(RepeatedFileCatalog(0xFFFFFFFFu, 65534));
    chunkMedia.Pad();
    ContainerWriter writer(ChunkLayout::ShortHeader, XpressEncode);
    const uint64_t chunk = writer.AddChunk(chunkMedia.Bytes());
    const TempFile container(writer.Finish());

    const std::u16string name = Text16(65534);
    for (bool compressed : {false, true}) {
        SCOPED_TRACE(compressed ? "chunk" : "plain");
        const ChildOutcome outcome = RunInLimitedChild(kAllowance, [&]() -> std::array<uint64_t, 4> {
            CatalogStore store;
            if (compressed) {
                ReadCompressedCatalog({{container.Path16(), 1}}, chunk, 0, store);
            } else {
                ReadCatalogFromFile({{plain.Path16(), 0}}, msci, 0, store);
            }
            const auto& files = store.m_databaseFiles;
            const uint64_t same = std::count_if(files.begin(), files.end(), [&](const DatabaseFileRecord& f) {
                return f.strPhysicalName == name;
            });
            return {files.size(), same, 0, 0};
        });
        ExpectBounded(outcome);
        EXPECT_GE(outcome.values[0], 1u);
        EXPECT_LT(outcome.values[0], 32767u);
        EXPECT_EQ(outcome.values[1], outcome.values[0]);
    }
}

}  // namespace
