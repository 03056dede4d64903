// Writes starting inputs for mtf_walk_fuzz, catalog_memory_fuzz and compressed_fuzz
// into FOLDER/<target>/: whole backups and containers made by the fixture
// writers, catalogs with many records and files, the crafted catalogs that
// claim far more than they hold, and the catalogs of the real backups (read in
// place from the folder of real backups). Each input has the form its target
// expects: a byte of zero extension before a plain file, a decoded chunk as it
// stands (the in-memory readers find its catalogs at every 512 bytes), eight
// bytes of chosen position before a container.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "fixtures/container_writer.h"
#include "fixtures/hostile_catalogs.h"
#include "fixtures/mtf_writer.h"
#include "fixtures/real_chunks.h"
#include "fixtures/xpress_encoder.h"
#include "reader/backup_file.h"
#include "reader/compressed.h"
#include "reader/mtf_walk.h"
#include "reader/scan_context.h"

namespace {

namespace fs = std::filesystem;

constexpr size_t kChunkOutput = 254 * 512;
constexpr size_t kLargestRealRegion = 256 << 10;

class SeedFolder {
public:
    SeedFolder(const fs::path& root, const char* target) : m_dir(root / target) { fs::create_directories(m_dir); }

    void Add(const std::string& name, const std::vector<uint8_t>& prefix, const std::vector<uint8_t>& bytes) {
        const fs::path path = m_dir / name;
        std::FILE* out = std::fopen(path.c_str(), "wb");
        bool ok = out != nullptr && std::fwrite(prefix.data(), 1, prefix.size(), out) == prefix.size() &&
                  std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
        if (out != nullptr) ok = std::fclose(out) == 0 && ok;
        if (!ok) throw std::runtime_error("cannot write " + path.string());
        ++m_count;
    }
    int Count() const { return m_count; }

private:
    fs::path m_dir;
    int m_count = 0;
};

// The mtf_walk_fuzz prefix: the file is extended with `units` × 64 KiB of zeros.
std::vector<uint8_t> Extension(uint8_t units) { return {units}; }
const std::vector<uint8_t> kAsItStands;

std::vector<uint8_t> Chosen(uint64_t position) {
    std::vector<uint8_t> bytes(8);
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(position >> (8 * i));
    return bytes;
}

BackupSetFields Set(uint16_t number, const std::u16string& database, size_t files) {
    BackupSetFields set;
    set.dataSetNumber = number;
    set.dataSetName = database + u" full";
    set.dataSetDescription = u"nightly";
    set.scin.databaseName = database;
    set.scin.dataFileCount = static_cast<uint32_t>(files - 1);
    set.scin.logFileCount = 1;
    set.files.clear();
    for (size_t i = 0; i < files; ++i) {
        SfinEntryFields entry;
        entry.physicalName = u"D:\\data\\" + database + u"_" + std::u16string(1, u'a' + i % 26) + u".ndf";
        entry.fileNumber = static_cast<uint32_t>(i + 1);
        entry.fileType = i + 1 == files ? 2 : 1;
        set.files.push_back(entry);
    }
    return set;
}

// An MSCI block holding `catalog`, padded to 512 bytes.
std::vector<uint8_t> CatalogBlock(const CatalogStreamBuilder& catalog) {
    MtfWriter w;
    w.Msci(catalog);
    w.Pad();
    return w.Bytes();
}

// A TAPE block, then `region` (which starts with a block).
std::vector<uint8_t> AfterTape(const std::vector<uint8_t>& region) {
    MtfWriter w;
    w.Tape();
    w.Pad(1024);
    w.Append(region);
    w.AlignTo(512);
    return w.Bytes();
}

// A container of `outputs`, one chunk each, behind an SSET chunk.
std::vector<uint8_t> ContainerOf(ChunkLayout layout, const std::vector<std::vector<uint8_t>>& outputs,
                                 uint64_t* lastChunk = nullptr) {
    ContainerWriter writer(layout, XpressEncode);
    MtfWriter sset;
    sset.Sset(3, u"set", u"description");
    sset.Pad();
    writer.AddChunk(sset.Bytes());
    for (const std::vector<uint8_t>& output : outputs) {
        const uint64_t at = writer.AddChunk(output);
        if (lastChunk != nullptr) *lastChunk = at;
    }
    return writer.Finish();
}

// The bytes after the 16-byte header, which compressed_fuzz puts back.
std::vector<uint8_t> Body(const std::vector<uint8_t>& container) {
    return std::vector<uint8_t>(container.begin() + 16, container.end());
}

std::vector<uint8_t> ReadRange(BackupFile& file, uint64_t at, size_t count) {
    std::vector<uint8_t> bytes(count);
    bytes.resize(file.ReadAt(at, bytes.data(), count));
    return bytes;
}

// The sets that a scan of the open `file` finds.
std::vector<BackupSetRecord> FoundSets(BackupFile& file, bool compressed) {
    CatalogStore store;
    ScanContext ctx;
    ctx.store = &store;
    if (compressed) {
        WalkCompressedChunks(file, file.GetLength(), 0, ctx);
    } else {
        WalkMtfBlocks(file, file.GetLength(), 0, ctx);
    }
    return store.m_backupSets;
}

// Each MSCI block of a plain real backup with its catalog stream (at most 256 KiB).
std::vector<std::vector<uint8_t>> RealCatalogs(const fs::path& path) {
    BackupFile file;
    if (!file.Open(FromUtf8(path.string()))) return {};
    std::vector<std::vector<uint8_t>> regions;
    for (const BackupSetRecord& set : FoundSets(file, false)) {
        const std::vector<uint8_t> fixed = ReadRange(file, set.nPosition, 56 + 22);
        if (fixed.size() < 56) continue;
        const uint64_t firstEvent = LoadU16(&fixed[kOffsetToFirstEvent]);
        const MtfStreamHeader header = ReadStreamHeader(file, set.nPosition + firstEvent);
        const uint64_t size = std::min<uint64_t>(firstEvent + 22 + header.length, kLargestRealRegion);
        regions.push_back(ReadRange(file, set.nPosition, static_cast<size_t>(size)));
    }
    return regions;
}

// A real container up to the end of the chunk that holds its last set, and that chunk's position.
std::vector<uint8_t> RealContainerPrefix(const fs::path& path, uint64_t* chunk) {
    BackupFile file;
    if (!file.Open(FromUtf8(path.string()))) return {};
    const std::vector<BackupSetRecord> sets = FoundSets(file, true);
    if (sets.empty()) return {};
    *chunk = sets.back().nPosition;
    const ContainerLayout layout = DetectContainerLayout(file, file.GetLength());
    const std::vector<uint8_t> head = ReadRange(file, *chunk, 4);
    if (head.size() < 4) return {};
    return ReadRange(file, 0, static_cast<size_t>(*chunk + layout.headerSize + LoadU16(&head[2])));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s FOLDER [REAL-BACKUP-FOLDER]\n", argv[0]);
        return 2;
    }
    const fs::path root = argv[1];
    const fs::path real = argc == 3 ? fs::path(argv[2]) : fs::path(ORVENDEL_REALBAK_DIR);
    try {
        SeedFolder plain(root, "mtf_walk_fuzz");
        SeedFolder memory(root, "catalog_memory_fuzz");
        SeedFolder container(root, "compressed_fuzz");

        // Whole backups: one set, several sets with many files.
        const std::vector<uint8_t> one = MakeBackup({Set(1, u"Sales", 2)});
        const std::vector<uint8_t> three = MakeBackup({Set(1, u"A", 2), Set(2, u"B", 12), Set(3, u"C", 40)});
        plain.Add("backup_one_set", Extension(0), one);
        plain.Add("backup_three_sets", Extension(0), three);

        // Catalogs with many records and files.
        CatalogStreamBuilder many;
        for (int i = 0; i < 6; ++i) many.Scin(Set(1, u"Many", 50).scin).Item("SFGI", std::vector<uint8_t>(40, 1));
        many.Sfin(Set(1, u"Many", 50).files);
        const std::vector<uint8_t> manyBlock = CatalogBlock(many);
        plain.Add("catalog_many_records", Extension(0), AfterTape(manyBlock));
        memory.Add("catalog_many_records", kAsItStands, manyBlock);

        // Catalogs that claim far more than they hold.
        const std::vector<uint8_t> sharedName = RepeatedNameBackup({300, 344, 65535, false});
        const std::vector<uint8_t> overlapping = RepeatedNameBackup({4000, 16, 65535, true});
        plain.Add("scin_shared_name", Extension(0), sharedName);
        plain.Add("scin_overlapping_long_data_set", Extension(0), overlapping);
        const std::vector<uint8_t> repeatedFile = CatalogBlock(RepeatedFileCatalog(0xFFFFFFFFu, 65534));
        plain.Add("sfin_repeated_entry", Extension(255), AfterTape(repeatedFile));
        MtfWriter steps;
        steps.Msci(CatalogStreamBuilder().Raw(SmallStepCatalog(60000, true)));
        steps.Pad();
        plain.Add("small_unknown_steps", Extension(0), AfterTape(steps.Bytes()));

        const std::vector<uint8_t> chunkShared = RepeatedNameChunk(186, 344, false);
        const std::vector<uint8_t> chunkOverlapping = RepeatedNameChunk(4000, 16, true);
        memory.Add("chunk_scin_shared_name", kAsItStands, chunkShared);
        memory.Add("chunk_scin_overlapping", kAsItStands, chunkOverlapping);
        memory.Add("chunk_overlapping_catalogs", kAsItStands, OverlappingCatalogsChunk());
        memory.Add("sfin_repeated_entry", kAsItStands, repeatedFile);

        // Containers: whole backups cut in several ways, both layouts, and the crafted chunks.
        for (ChunkLayout layout : {ChunkLayout::ShortHeader, ChunkLayout::Checksummed}) {
            const std::string name = layout == ChunkLayout::Checksummed ? "checksummed" : "short";
            MediaCut cut;
            cut.unitsPerChunk = 4;
            cut.chunksPerSfmb = 3;
            cut.flags = kCodedChunkFlags;
            cut.fillerChunks = true;
            ContainerWriter writer(layout, XpressEncode);
            const std::vector<uint64_t> chunks = writer.AddMedia(three, cut);
            container.Add("backup_three_sets_" + name, Chosen(chunks[chunks.size() / 2]), Body(writer.Finish()));
            uint64_t last = 0;
            // A few chunks stand for many: each brings its own catalog.
            const std::vector<uint8_t> shared = ContainerOf(layout, std::vector(4, chunkShared), &last);
            container.Add("chunks_scin_shared_name_" + name, Chosen(last), Body(shared));
            const std::vector<uint8_t> overlapping = ContainerOf(layout, std::vector(4, chunkOverlapping), &last);
            container.Add("chunks_scin_overlapping_" + name, Chosen(last), Body(overlapping));
            const std::vector<uint8_t> repeatedEntry = ContainerOf(layout, {repeatedFile}, &last);
            container.Add("chunk_sfin_repeated_entry_" + name, Chosen(last), Body(repeatedEntry));
        }

        // The real backups' catalogs, and the real containers up to their catalogs.
        int realCatalogs = 0;
        std::error_code error;
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(real, error)) {
            if (!entry.is_regular_file() || entry.path().extension() != ".bak") continue;
            const std::string folder = entry.path().parent_path().filename().string();
            if (IsCompressedBackupFile(entry.path())) {
                uint64_t chunk = 0;
                const std::vector<uint8_t> prefix = RealContainerPrefix(entry.path(), &chunk);
                if (prefix.size() > 16) container.Add("real_" + entry.path().stem().string(), Chosen(chunk), Body(prefix));
                continue;
            }
            int index = 0;
            for (const std::vector<uint8_t>& region : RealCatalogs(entry.path())) {
                const std::string name =
                    "real_" + folder + "_" + entry.path().stem().string() + "_" + std::to_string(index++);
                plain.Add(name, Extension(0), AfterTape(region));
                memory.Add(name, kAsItStands, region);
                if (region.size() <= kChunkOutput) {
                    uint64_t chunk = 0;
                    const std::vector<uint8_t> bytes = ContainerOf(ChunkLayout::Checksummed, {region}, &chunk);
                    container.Add(name, Chosen(chunk), Body(bytes));
                }
                ++realCatalogs;
            }
        }
        std::printf("%d, %d and %d inputs written under %s (%d real catalogs)\n", plain.Count(), memory.Count(),
                    container.Count(), root.c_str(), realCatalogs);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
