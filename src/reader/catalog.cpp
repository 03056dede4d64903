#include "reader/catalog.h"

#include <algorithm>
#include <cstring>

#include "reader/backup_file.h"
#include "reader/byte_source.h"
#include "reader/mtf_walk.h"
#include "reader/tags.h"

namespace {

constexpr size_t kMsciFixedPart = 56;
constexpr size_t kItemHeaderSize = 8;  // 4-byte tag, 32-bit length of the whole sub-record
// A database has at most 32,767 files, so no backup set describes more.
constexpr uint64_t kMostDatabaseFiles = 32767;

// SCIN record: 344 bytes from the start of the sub-record.
constexpr size_t kScinSize = 344;
constexpr size_t kScinDataFileCount = 12;
constexpr size_t kScinLogFileCount = 16;
constexpr size_t kScinCreationDate = 72;
constexpr size_t kScinBackupStartDate = 77;
constexpr size_t kScinBackupFinishDate = 82;
constexpr size_t kScinBackupType = 87;
constexpr size_t kScinDatabaseId = 92;
constexpr size_t kScinDatabaseVersion = 94;
constexpr size_t kScinBackupSize = 96;
constexpr size_t kScinDatabaseNameSize = 104;
constexpr size_t kScinDatabaseNameOffset = 106;
constexpr size_t kScinServerNameSize = 108;
constexpr size_t kScinServerNameOffset = 110;

// The four readers share one walk and differ in what they do at SCIN and SFIN.
enum class Reader {
    ScanFile,      // MSCI step of the plain walk: sets recorded, file entries passed over
    ScanMemory,    // decoded chunk during a scan: sets recorded, walk ends at SFIN
    ChosenFile,    // chosen set from a plain file: database files recorded
    ChosenMemory,  // chosen set from a decoded chunk: database files recorded
};

class CatalogWalk {
public:
    CatalogWalk(ByteSource& bytes, Reader reader, CatalogStore& store)
        : m_bytes(bytes), m_reader(reader), m_store(store) {}

    // Sets made by the scan readers get these.
    void SetOrigin(uint32_t stripe, uint64_t setPosition, const DataSetInfo& dataSet) {
        m_stripe = stripe;
        m_setPosition = setPosition;
        m_dataSet = &dataSet;
    }

    // Reads the MSCI block at `block` and its catalog stream header, then walks.
    CatalogWalkEnd RunFromBlock(uint64_t block) {
        uint8_t fixed[kMsciFixedPart];
        if (!m_bytes.Read(block, fixed, sizeof fixed)) return {CatalogEnding::Other, block};
        uint16_t firstEvent = LoadU16(fixed + kOffsetToFirstEvent);
        uint64_t h = SaturatingAdd(block, firstEvent);
        if (m_bytes.InMemory() && h >= m_bytes.End()) return {CatalogEnding::Other, h};
        uint8_t header[MtfStreamHeader::kSize];
        if (!m_bytes.Read(h, header, sizeof header)) return {CatalogEnding::Other, h};
        return Run(block, firstEvent, MtfStreamHeader::FromBytes(header));
    }

    // Walks the sub-records of the catalog stream whose header lies at block + F.
    CatalogWalkEnd Run(uint64_t block, uint16_t firstEvent, const MtfStreamHeader& header) {
        const bool inMemory = m_bytes.InMemory();
        const uint64_t first = SaturatingAdd(SaturatingAdd(block, firstEvent), MtfStreamHeader::kSize);
        // The bound counts the stream length from the block's own start.
        const uint64_t bound = SaturatingAdd(block, header.length);
        auto within = [&](uint64_t p) { return p < bound && (!inMemory || p < m_bytes.End()); };

        uint64_t p = first;
        if (!within(p)) return {CatalogEnding::Other, p};
        if (!inMemory && header.IdIs("SPAD")) return {CatalogEnding::Pad, SaturatingAdd(first, header.length)};
        for (;;) {
            uint8_t item[kItemHeaderSize];
            if (!m_bytes.Read(p, item, sizeof item)) return {CatalogEnding::Other, p};
            uint64_t step = LoadU32(item + 4);
            if (RawTagIs(item, "SCIN")) {
                if (!ScinWork(p, inMemory ? p : first)) return {CatalogEnding::Other, p};
            } else if (RawTagIs(item, "SFIN")) {
                return {CatalogEnding::Files, SfinWork(p)};
            } else if (RawTagIs(item, "SFGI") || RawTagIs(item, "SFMI") || RawTagIs(item, "SFWB") ||
                       RawTagIs(item, "SAFE") || RawTagIs(item, "SFBS")) {
                // passed over by its length
            } else if (inMemory) {
                return {CatalogEnding::Other, p};
            } else {
                // An unknown sub-record in a file is stepped over as a stream header
                // would be: by the 64-bit length at its byte 8, the header itself not added.
                uint8_t stream[MtfStreamHeader::kSize];
                if (!m_bytes.Read(p, stream, sizeof stream)) return {CatalogEnding::Other, p};
                step = MtfStreamHeader::FromBytes(stream).length;
            }
            if (step == 0 || step > UINT64_MAX - p) return {CatalogEnding::Other, p};
            p += step;
            if (!within(p)) return {CatalogEnding::Other, p};
        }
    }

private:
    // Takes the backup information (and, during a scan, one backup set) from the
    // SCIN at `at`; names count from `nameBase`. False on a read error.
    bool ScinWork(uint64_t at, uint64_t nameBase) {
        uint8_t scin[kScinSize];
        if (!m_bytes.Read(at, scin, sizeof scin)) return false;
        std::u16string database =
            m_bytes.Text(nameBase + LoadU16(scin + kScinDatabaseNameOffset), LoadU16(scin + kScinDatabaseNameSize));
        std::u16string server =
            m_bytes.Text(nameBase + LoadU16(scin + kScinServerNameOffset), LoadU16(scin + kScinServerNameSize));
        if (m_bytes.Failed()) return false;

        BackupInfo& info = m_store.m_backupInfo;
        info.strDatabaseName = database;
        info.strServerName = server;
        info.strCreationDate = FormatMtfDateTime(scin + kScinCreationDate);
        info.strBackupStartDate = FormatMtfDateTime(scin + kScinBackupStartDate);
        info.strBackupFinishDate = FormatMtfDateTime(scin + kScinBackupFinishDate);
        info.nDatabaseId = LoadU16(scin + kScinDatabaseId);
        info.nDatabaseVersion = LoadU16(scin + kScinDatabaseVersion);
        info.chBackupType = scin[kScinBackupType];
        info.nDataFileCount = static_cast<int32_t>(LoadU32(scin + kScinDataFileCount));
        info.nLogFileCount = static_cast<int32_t>(LoadU32(scin + kScinLogFileCount));

        m_haveScin = true;
        m_fileCount = LoadU32(scin + kScinDataFileCount) + LoadU32(scin + kScinLogFileCount);

        if (m_reader == Reader::ScanFile || m_reader == Reader::ScanMemory) {
            BackupSetRecord set;
            set.nStripe = m_stripe;
            set.nPosition = m_setPosition;
            set.strDatabaseName = std::move(database);
            set.strBackupStartDate = info.strBackupStartDate;
            set.nBackupSize = LoadU64(scin + kScinBackupSize);
            if (m_dataSet != nullptr) set.dataSet = *m_dataSet;
            m_store.m_backupSets.push_back(std::move(set));
        }
        return true;
    }

    // The SFIN sub-record at `at`: as many entries back to back as the last SCIN
    // counted files, each stepped by its own length. Returns the position just
    // past the last entry passed over.
    uint64_t SfinWork(uint64_t at) {
        if (m_reader == Reader::ScanMemory) return at;
        // Without a SCIN there is no count. A damaged count is held to the
        // entries the rest of the data can hold and to the most files a database
        // can have, so that neither time nor memory grows past what the input
        // justifies (each entry may name up to 64 KiB); an entry that starts past
        // the end of the data is not read.
        const uint64_t end = m_bytes.End();
        const uint64_t room = end > at ? (end - at + SqlFileDescriptor::kSize - 1) / SqlFileDescriptor::kSize : 0;
        const uint64_t count = m_haveScin ? std::min({uint64_t{m_fileCount}, room, kMostDatabaseFiles}) : 0;
        const bool record = m_reader == Reader::ChosenFile || m_reader == Reader::ChosenMemory;

        uint64_t p = at;
        for (uint64_t i = 0; i < count && p < end; ++i) {
            uint64_t length;
            if (record) {
                SqlFileDescriptor entry;
                if (!m_bytes.Read(p, entry.bytes.data(), entry.bytes.size())) break;
                std::u16string name = m_bytes.Text(p + entry.NameOffset(), entry.NameSize());
                if (m_bytes.Failed()) break;
                m_store.m_databaseFiles.push_back(MakeDatabaseFileRecord(entry, std::move(name)));
                length = entry.Length();
                if (length == 0) {
                    // An entry that does not move on stands for every entry left.
                    const DatabaseFileRecord same = m_store.m_databaseFiles.back();
                    for (++i; i < count; ++i) m_store.m_databaseFiles.push_back(same);
                    break;
                }
            } else {
                uint8_t item[kItemHeaderSize];
                if (!m_bytes.Read(p, item, sizeof item)) break;
                length = LoadU32(item + 4);
            }
            if (length == 0 || length > UINT64_MAX - p) break;
            p += length;
        }
        return p;
    }

    ByteSource& m_bytes;
    Reader m_reader;
    CatalogStore& m_store;
    uint32_t m_stripe = 0;
    uint64_t m_setPosition = 0;
    const DataSetInfo* m_dataSet = nullptr;
    bool m_haveScin = false;
    uint32_t m_fileCount = 0;  // data plus log files of the last SCIN, summed in 32 bits
};

}  // namespace

CatalogWalkEnd WalkMsciCatalog(BackupFile& file, uint64_t blockPosition, uint16_t offsetToFirstEvent,
                               const MtfStreamHeader& catalogHeader, uint32_t stripe, const DataSetInfo& dataSet,
                               CatalogStore& store) {
    ByteSource bytes(file);
    CatalogWalk walk(bytes, Reader::ScanFile, store);
    walk.SetOrigin(stripe, blockPosition, dataSet);
    return walk.Run(blockPosition, offsetToFirstEvent, catalogHeader);
}

bool ParseCatalogInMemory(const uint8_t* buffer, uint64_t n, uint32_t offset, uint64_t chunkPosition,
                          const DataSetInfo& dataSet, uint32_t stripe, CatalogStore& store) {
    ByteSource bytes(buffer, n);
    CatalogWalk walk(bytes, Reader::ScanMemory, store);
    walk.SetOrigin(stripe, chunkPosition, dataSet);
    walk.RunFromBlock(offset);
    return true;
}

bool ReadCatalogFromBuffer(const uint8_t* buffer, uint64_t n, uint32_t offset, CatalogStore& store) {
    ByteSource bytes(buffer, n);
    CatalogWalk walk(bytes, Reader::ChosenMemory, store);
    walk.RunFromBlock(offset);
    return true;
}

void ReadCatalogFromFile(const std::vector<InputFileEntry>& inputFiles, uint64_t position, uint32_t stripe,
                         CatalogStore& store) {
    if (stripe >= inputFiles.size()) return;
    BackupFile file;
    if (!file.Open(inputFiles[stripe].strPath)) return;
    uint8_t tag[4] = {};
    file.ReadAt(position, tag, sizeof tag);
    if (!BlockTagIs(tag, "MSCI")) return;
    ByteSource bytes(file);
    CatalogWalk walk(bytes, Reader::ChosenFile, store);
    walk.RunFromBlock(position);
}
