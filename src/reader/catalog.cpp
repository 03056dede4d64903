#include "reader/catalog.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <optional>

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

// In memory every fixed-size piece that starts inside the decoded output is copied
// whole from the readable tail behind it, so the tail must hold the largest of them.
static_assert(ByteSource::kMemoryTail >=
              std::max({kMsciFixedPart, MtfStreamHeader::kSize, kItemHeaderSize, kScinSize, SqlFileDescriptor::kSize}));

// What a walk may hold and read. A sound catalog pays for what it makes: a set
// comes from a SCIN record of 344 bytes and its names, a database file from an
// SFIN entry of 400 bytes and its name, and neither record holds four times the
// bytes read for it. A hostile catalog names the same bytes again and again:
// SCIN records that overlap or share one long name (each set also copies the
// data set's texts), or an entry of length 0 that stands for four billion
// files. So each list of the store holds at most kHeldPerByteRead times the
// distinct catalog bytes read to fill it, plus kHeldSlack, and never more than
// kMostHeldPerList. The same rule bounds one walk's time: the SCIN records and
// entries it reads (their fixed parts and names) are held to kHeldPerByteRead
// times the distinct bytes it walked, plus kHeldSlack. Where a record would pass
// a bound the walk ends there, keeping what it found.
constexpr uint64_t kHeldPerByteRead = 4;
constexpr uint64_t kHeldSlack = uint64_t{1} << 20;
constexpr uint64_t kMostHeldPerList = uint64_t{32} << 20;
// Sub-records that one walk steps through. A catalog has a few per file or
// filegroup of its database (at most 32,767 of each); the cap only ends walks
// through hostile runs of tiny sub-records, which could otherwise hold up a
// stop for seconds per GB of file.
constexpr uint64_t kMostSubRecords = uint64_t{1} << 20;
constexpr uint64_t kAllocationOverhead = 16;
// Sizes are counted in signed 64-bit integers, and no database comes near 2^63
// bytes: a backup size from there on is damage.
constexpr uint64_t kNoByteCount = uint64_t{1} << 63;

uint64_t TextBytes(const std::u16string& text) {
    static const size_t kInline = std::u16string().capacity();
    return text.capacity() > kInline ? (text.capacity() + 1) * sizeof(char16_t) + kAllocationOverhead : 0;
}

uint64_t HeldBy(const BackupSetRecord& set) {
    return sizeof set + TextBytes(set.strDatabaseName) + TextBytes(set.strBackupStartDate) +
           TextBytes(set.dataSet.strName) + TextBytes(set.dataSet.strDescription) + TextBytes(set.strEndFinishDate);
}

uint64_t HeldBy(const DatabaseFileRecord& file) { return sizeof file + TextBytes(file.strPhysicalName); }

// A text of `size` bytes at `start`.
struct TextSpan {
    uint64_t start;
    uint64_t size;
};

// The part of the record at `at`, `length` bytes long, that a reader read: its
// fixed part and those of its names that lie inside it. Names elsewhere were
// read too, but from bytes that other records may name as well.
uint64_t ReadWithin(uint64_t at, uint64_t length, uint64_t fixed, std::initializer_list<TextSpan> names) {
    uint64_t extent = fixed;
    for (const TextSpan& name : names) {
        if (name.start >= at && name.start - at < length) extent = std::max(extent, name.start - at + name.size);
    }
    return std::min(extent, length);
}

uint64_t Allowance(uint64_t read) {
    return std::min(kMostHeldPerList, kHeldSlack + kHeldPerByteRead * std::min(read, kMostHeldPerList));
}

// Where a walk's bytes come from, for crediting them once: the catalogs met in
// one walk of a file share its bytes, those of one decoded chunk share the
// chunk's; a re-read reads afresh.
struct Source {
    bool inMemory = false;
    uint32_t stripe = 0;
    uint64_t chunk = 0;  // the chunk's position (memory)
    bool fresh = false;  // a re-read: nothing read before counts
};

void ForgetSource(ListLedger& ledger) {
    ledger.sourceStripe = UINT32_MAX;
    ledger.creditedTo = 0;
}

// One list of the store with its ledger.
template <class Record>
class BoundedList {
public:
    BoundedList(std::vector<Record>& list, ListLedger& ledger, const Source& source) : m_list(list), m_ledger(ledger) {
        if (ledger.entries != list.size()) {
            // Emptied or changed by someone else since the readers last counted it.
            ledger = ListLedger{};
            ledger.entries = list.size();
            for (const Record& record : list) ledger.held += HeldBy(record);
        }
        const bool same = ledger.sourceInMemory == source.inMemory && ledger.sourceStripe == source.stripe &&
                          (!source.inMemory || ledger.sourceChunk == source.chunk);
        if (source.fresh || !same) ledger.creditedTo = 0;
        ledger.sourceInMemory = source.inMemory;
        ledger.sourceStripe = source.stripe;
        ledger.sourceChunk = source.chunk;
    }

    // Counts the bytes [from, to) as read, those already counted once only.
    void Credit(uint64_t from, uint64_t to) {
        from = std::max(from, m_ledger.creditedTo);
        if (to <= from) return;
        m_ledger.read += to - from;
        m_ledger.creditedTo = to;
    }

    // Appends `record` unless the list would pass its bound.
    bool Append(Record&& record) {
        const uint64_t cost = HeldBy(record);
        if (m_ledger.held + cost > Allowance(m_ledger.read)) return false;
        m_list.push_back(std::move(record));
        m_ledger.held += cost;
        m_ledger.entries = m_list.size();
        return true;
    }

    const Record& Back() const { return m_list.back(); }

    // Whether a walk of the same bytes already read past `position`.
    bool ReadPast(uint64_t position) const { return position < m_ledger.creditedTo; }

private:
    std::vector<Record>& m_list;
    ListLedger& m_ledger;
};

// The readers share one walk and differ in what they do at SCIN and SFIN.
enum class Reader {
    ScanFile,      // MSCI step of the plain walk: sets recorded, file entries passed over
    ScanMemory,    // decoded chunk during a scan: sets recorded, walk ends at SFIN
    ChosenFile,    // chosen set from a plain file: database files recorded
    ChosenMemory,  // chosen set from a decoded chunk: database files recorded
    EndCopy,       // a set's second copy (MSLS), during a scan: finish date and size noted
};

class CatalogWalk {
public:
    CatalogWalk(ByteSource& bytes, Reader reader, CatalogStore& store, const Source& source)
        : m_bytes(bytes), m_reader(reader), m_store(store) {
        if (Scanning()) {
            m_sets.emplace(store.m_backupSets, store.m_setLedger, source);
        } else if (reader != Reader::EndCopy) {
            m_files.emplace(store.m_databaseFiles, store.m_fileLedger, source);
        }
    }

    // A walk of a file for a scan ends at the scan's stop request and moves its bar.
    void Watch(const ScanContext* scan) { m_scan = scan; }

    // The second copy's walk gives what it reads to the sets waiting in `waiting`.
    void SetWaiting(uint32_t stripe, EndCatalogIndex& waiting) {
        m_stripe = stripe;
        m_waiting = &waiting;
    }

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
    // A failed allocation ends the walk where it stands, as a read error does.
    CatalogWalkEnd Run(uint64_t block, uint16_t firstEvent, const MtfStreamHeader& header) {
        const bool inMemory = m_bytes.InMemory();
        const uint64_t first = SaturatingAdd(SaturatingAdd(block, firstEvent), MtfStreamHeader::kSize);
        // The bound counts the stream length from the block's own start.
        const uint64_t bound = SaturatingAdd(block, header.length);
        auto within = [&](uint64_t p) { return p < bound && (!inMemory || p < m_bytes.End()); };

        uint64_t p = first;
        if (!within(p)) return {CatalogEnding::Other, p};
        if (!inMemory && header.IdIs("SPAD")) return {CatalogEnding::Pad, SaturatingAdd(first, header.length)};
        try {
            for (uint64_t steps = 1;; ++steps) {
                if (steps > MostSubRecords() || !Step(p)) return {CatalogEnding::Other, p};
                // Catalogs of one decoded chunk that run into each other would
                // walk the same bytes again and record the same sets twice.
                if (inMemory && m_sets && m_sets->ReadPast(p)) return {CatalogEnding::Other, p};
                uint8_t item[kItemHeaderSize];
                if (!m_bytes.Read(p, item, sizeof item)) return {CatalogEnding::Other, p};
                uint64_t step = LoadU32(item + 4);
                if (RawTagIs(item, "SCIN")) {
                    if (!ScinWork(p, inMemory ? p : first, step)) return {CatalogEnding::Other, p};
                } else if (RawTagIs(item, "SFIN")) {
                    return {CatalogEnding::Files, SfinWork(p, SaturatingAdd(first, header.length))};
                } else if (RawTagIs(item, "SFGI") || RawTagIs(item, "SFMI") || RawTagIs(item, "SFWB") ||
                           RawTagIs(item, "SAFE") || RawTagIs(item, "SFBS")) {
                    Credit(p, std::min<uint64_t>(step, kItemHeaderSize));  // passed over by its length
                } else if (inMemory) {
                    return {CatalogEnding::Other, p};
                } else {
                    // An unknown sub-record in a file is stepped over as a stream header
                    // would be: by the 64-bit length at its byte 8, the header itself not added.
                    uint8_t stream[MtfStreamHeader::kSize];
                    if (!m_bytes.Read(p, stream, sizeof stream)) return {CatalogEnding::Other, p};
                    step = MtfStreamHeader::FromBytes(stream).length;
                    Credit(p, std::min<uint64_t>(step, MtfStreamHeader::kSize));
                }
                if (step == 0 || step > UINT64_MAX - p) return {CatalogEnding::Other, p};
                p += step;
                if (!within(p)) return {CatalogEnding::Other, p};
            }
        } catch (...) {
            return {CatalogEnding::Other, p};
        }
    }

private:
    bool Scanning() const { return m_reader == Reader::ScanFile || m_reader == Reader::ScanMemory; }

    // Counts a step of the walk at `position`; false when the walk is to end
    // there at a stop request. Only a walk longer than a sound catalog's looks.
    bool Step(uint64_t position) {
        if (m_scan == nullptr || ++m_untested < kStepsBetweenStopTests) return true;
        m_untested = 0;
        m_scan->ReportPosition(position - position % 10);
        return !m_scan->StopRequested();
    }

    // A second copy is read only as far as its first sub-record, where the server
    // puts its SCIN as in the first copy: each MSLS block costs the walk a few
    // reads, however many there are and however they overlap.
    uint64_t MostSubRecords() const { return m_reader == Reader::EndCopy ? 1 : kMostSubRecords; }

    // Counts `length` bytes at `from` (the part of a sub-record that was read,
    // within the data) as read by this walk and for its list.
    void Credit(uint64_t from, uint64_t length) {
        const uint64_t to = std::min(SaturatingAdd(from, length), m_bytes.End());
        if (to <= from) return;
        m_walked += to - from;
        if (m_sets) m_sets->Credit(from, to);
        if (m_files) m_files->Credit(from, to);
    }

    // Whether the bytes walked so far allow reading a record of `size` bytes, names included.
    bool MayRead(uint64_t size) {
        if (m_recordsRead + size > kHeldSlack + kHeldPerByteRead * m_walked) return false;
        m_recordsRead += size;
        return true;
    }

    // Takes one backup set (during a scan) and the backup information from the
    // SCIN at `at`, whose length is `step`; names count from `nameBase`. False
    // when the walk is to end there: a read error, or a bound passed.
    bool ScinWork(uint64_t at, uint64_t nameBase, uint64_t step) {
        uint8_t scin[kScinSize];
        if (!m_bytes.Read(at, scin, sizeof scin)) return false;
        if (m_reader == Reader::EndCopy) {
            // Of a second copy only the finish date and size count: no names are read.
            NoteEndCopy(scin);
            return true;
        }
        const TextSpan database{SaturatingAdd(nameBase, LoadU16(scin + kScinDatabaseNameOffset)),
                                LoadU16(scin + kScinDatabaseNameSize)};
        const TextSpan server{SaturatingAdd(nameBase, LoadU16(scin + kScinServerNameOffset)),
                              LoadU16(scin + kScinServerNameSize)};
        Credit(at, ReadWithin(at, step, kScinSize, {database, server}));
        if (!MayRead(kScinSize + database.size + server.size)) return false;
        std::u16string databaseName = m_bytes.Text(database.start, static_cast<uint16_t>(database.size));
        std::u16string serverName = m_bytes.Text(server.start, static_cast<uint16_t>(server.size));
        if (m_bytes.Failed()) return false;
        std::u16string startDate = FormatMtfDateTime(scin + kScinBackupStartDate);

        if (m_sets) {
            BackupSetRecord set;
            set.nStripe = m_stripe;
            set.nPosition = m_setPosition;
            set.strDatabaseName = databaseName;
            set.strBackupStartDate = startDate;
            set.nBackupSize = LoadU64(scin + kScinBackupSize);
            if (m_dataSet != nullptr) set.dataSet = *m_dataSet;
            if (!m_sets->Append(std::move(set))) return false;
        }

        BackupInfo& info = m_store.m_backupInfo;
        info.strDatabaseName = std::move(databaseName);
        info.strServerName = std::move(serverName);
        info.strCreationDate = FormatMtfDateTime(scin + kScinCreationDate);
        info.strBackupStartDate = std::move(startDate);
        info.strBackupFinishDate = FormatMtfDateTime(scin + kScinBackupFinishDate);
        info.nDatabaseId = LoadU16(scin + kScinDatabaseId);
        info.nDatabaseVersion = LoadU16(scin + kScinDatabaseVersion);
        info.chBackupType = scin[kScinBackupType];
        info.nDataFileCount = static_cast<int32_t>(LoadU32(scin + kScinDataFileCount));
        info.nLogFileCount = static_cast<int32_t>(LoadU32(scin + kScinLogFileCount));

        m_haveScin = true;
        m_fileCount = LoadU32(scin + kScinDataFileCount) + LoadU32(scin + kScinLogFileCount);
        return true;
    }

    // Gives the finish date and size of the second copy's SCIN `scin` to the
    // sets of this stripe, found so far, that wait with its start date. A damaged
    // copy would put made-up values over sound ones, so a set takes them only
    // where they are plausible: the finish date a date and time, not before the
    // start, and the size above 0 and short of any byte count a server keeps.
    // The first copy's estimate bounds nothing: a full backup writes somewhat
    // more than it, a log backup often far less. Otherwise the set keeps its
    // first copy's values.
    void NoteEndCopy(const uint8_t* scin) {
        std::vector<BackupSetRecord>& sets = m_store.m_backupSets;
        m_waiting->CatchUp(sets, m_stripe);
        const MtfDateTime finish = DecodeMtfDateTime(scin + kScinBackupFinishDate);
        const bool dated = finish.IsValid() && finish >= DecodeMtfDateTime(scin + kScinBackupStartDate);
        const uint64_t size = LoadU64(scin + kScinBackupSize);
        const bool sized = size > 0 && size < kNoByteCount;
        for (size_t i : m_waiting->Take(FormatMtfDateTime(scin + kScinBackupStartDate))) {
            BackupSetRecord& set = sets[i];
            if (!dated || !sized) continue;
            set.bEndCatalog = true;
            set.strEndFinishDate = FormatMtfDateTime(scin + kScinBackupFinishDate);
            set.nEndBackupSize = size;
            m_store.m_setLedger.held += TextBytes(set.strEndFinishDate);
        }
    }

    // The SFIN sub-record at `at`: as many entries back to back as the last SCIN
    // counted files, each stepped by its own length. Returns the position just
    // past the last entry passed over.
    uint64_t SfinWork(uint64_t at, uint64_t streamEnd) {
        if (m_reader == Reader::ScanMemory) return at;
        // Without a SCIN there is no count. A damaged count is held to the
        // entries the rest of the data can hold and to the most files a database
        // can have; an entry that starts past the end of the data, or past
        // `streamEnd`, the end of the catalog stream's data, is not read: a
        // sound catalog's entries all lie within its stream.
        const uint64_t end = std::min(m_bytes.End(), streamEnd);
        const uint64_t room = end > at ? (end - at + SqlFileDescriptor::kSize - 1) / SqlFileDescriptor::kSize : 0;
        const uint64_t count = m_haveScin ? std::min({uint64_t{m_fileCount}, room, kMostDatabaseFiles}) : 0;

        uint64_t p = at;
        for (uint64_t i = 0; i < count && p < end && Step(p); ++i) {
            uint64_t length;
            if (m_files) {
                SqlFileDescriptor entry;
                if (!m_bytes.Read(p, entry.bytes.data(), entry.bytes.size())) break;
                length = entry.Length();
                const TextSpan name{p + entry.NameOffset(), entry.NameSize()};
                Credit(p, ReadWithin(p, length, SqlFileDescriptor::kSize, {name}));
                if (!MayRead(SqlFileDescriptor::kSize + name.size)) break;
                std::u16string physicalName = m_bytes.Text(name.start, entry.NameSize());
                if (m_bytes.Failed()) break;
                if (!m_files->Append(MakeDatabaseFileRecord(entry, std::move(physicalName)))) break;
                if (length == 0) {
                    // An entry that does not move on stands for every entry left,
                    // as far as the list's bound goes.
                    for (++i; i < count; ++i) {
                        DatabaseFileRecord same = m_files->Back();
                        if (!m_files->Append(std::move(same))) break;
                    }
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
    std::optional<BoundedList<BackupSetRecord>> m_sets;    // the scan readers fill it
    std::optional<BoundedList<DatabaseFileRecord>> m_files;  // the re-reads fill it
    uint64_t m_walked = 0;    // distinct bytes of sub-records read by this walk
    uint64_t m_recordsRead = 0;  // bytes of SCIN records and entries read by this walk, names included
    uint32_t m_stripe = 0;
    uint64_t m_setPosition = 0;
    const DataSetInfo* m_dataSet = nullptr;
    EndCatalogIndex* m_waiting = nullptr;  // the second copy's walk
    bool m_haveScin = false;
    uint32_t m_fileCount = 0;  // data plus log files of the last SCIN, summed in 32 bits
    const ScanContext* m_scan = nullptr;
    uint64_t m_untested = 0;  // steps since the stop flag was last tested
};

}  // namespace

void StartFileWalk(CatalogStore& store) { ForgetSource(store.m_setLedger); }

void EndCatalogIndex::CatchUp(const std::vector<BackupSetRecord>& sets, uint32_t stripe) {
    if (stripe != m_stripe || sets.size() < m_indexed) {
        m_waiting.clear();
        m_stripe = stripe;
        m_indexed = 0;
    }
    for (; m_indexed < sets.size(); ++m_indexed) {
        const BackupSetRecord& set = sets[m_indexed];
        if (set.nStripe == stripe && !set.bEndCatalog) m_waiting[set.strBackupStartDate].push_back(m_indexed);
    }
}

std::vector<size_t> EndCatalogIndex::Take(const std::u16string& startDate) {
    auto found = m_waiting.find(startDate);
    if (found == m_waiting.end()) return {};
    std::vector<size_t> taken = std::move(found->second);
    m_waiting.erase(found);
    return taken;
}

CatalogWalkEnd WalkMsciCatalog(BackupFile& file, uint64_t blockPosition, uint16_t offsetToFirstEvent,
                               const MtfStreamHeader& catalogHeader, uint32_t stripe, const DataSetInfo& dataSet,
                               CatalogStore& store, const ScanContext* scan) {
    ByteSource bytes(file);
    CatalogWalk walk(bytes, Reader::ScanFile, store, Source{false, stripe, 0, false});
    walk.SetOrigin(stripe, blockPosition, dataSet);
    walk.Watch(scan);
    return walk.Run(blockPosition, offsetToFirstEvent, catalogHeader);
}

bool ParseCatalogInMemory(const uint8_t* buffer, uint64_t n, uint32_t offset, uint64_t chunkPosition,
                          const DataSetInfo& dataSet, uint32_t stripe, CatalogStore& store) {
    ByteSource bytes(buffer, n);
    CatalogWalk walk(bytes, Reader::ScanMemory, store, Source{true, stripe, chunkPosition, false});
    walk.SetOrigin(stripe, chunkPosition, dataSet);
    walk.RunFromBlock(offset);
    return true;
}

void NoteEndCatalog(BackupFile& file, uint64_t blockPosition, uint32_t stripe, CatalogStore& store,
                    EndCatalogIndex& waiting) {
    ByteSource bytes(file);
    CatalogWalk walk(bytes, Reader::EndCopy, store, Source{false, stripe, 0, false});
    walk.SetWaiting(stripe, waiting);
    walk.RunFromBlock(blockPosition);
}

void NoteEndCatalogInMemory(const uint8_t* buffer, uint64_t n, uint32_t offset, uint32_t stripe,
                            CatalogStore& store, EndCatalogIndex& waiting) {
    ByteSource bytes(buffer, n);
    CatalogWalk walk(bytes, Reader::EndCopy, store, Source{true, stripe, 0, false});
    walk.SetWaiting(stripe, waiting);
    walk.RunFromBlock(offset);
}

bool ReadCatalogFromBuffer(const uint8_t* buffer, uint64_t n, uint32_t offset, CatalogStore& store) {
    ByteSource bytes(buffer, n);
    CatalogWalk walk(bytes, Reader::ChosenMemory, store, Source{true, 0, 0, true});
    walk.RunFromBlock(offset);
    return true;
}

bool OpenStripe(const std::vector<InputFileEntry>& inputFiles, uint32_t stripe, BackupFile& file) {
    return stripe < inputFiles.size() && file.Open(inputFiles[stripe].strPath);
}

OpenFailure ReadCatalogFromFile(const std::vector<InputFileEntry>& inputFiles, uint64_t position, uint32_t stripe,
                                CatalogStore& store, const ScanContext* scan) try {
    BackupFile file;
    if (!OpenStripe(inputFiles, stripe, file)) return file.LastOpenFailure();
    uint8_t tag[4] = {};
    file.ReadAt(position, tag, sizeof tag);
    if (!BlockTagIs(tag, "MSCI")) return {};
    ByteSource bytes(file);
    CatalogWalk walk(bytes, Reader::ChosenFile, store, Source{false, stripe, 0, true});
    walk.Watch(scan);
    walk.RunFromBlock(position);
    return {};
} catch (...) {
    // A failed allocation ends the re-read; what it filled stays.
    return {};
}
