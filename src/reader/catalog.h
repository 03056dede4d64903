// The SQL catalog stream of a backup set (the MSCI block's first stream): its
// SCIN record describes the set, its SFIN entries the database files. Four
// readers walk it: the MSCI step of the plain walk, the in-memory parse of a
// decoded chunk during a scan, and the re-reads of the chosen set from a file
// or from a decoded chunk.
//
// What a walk keeps is bounded by what it read: each list of the store holds at
// most four times the distinct catalog bytes read to fill it (plus 1 MiB) and
// never more than 32 MiB, and a walk reads its records in proportion to the
// bytes it walks and steps through at most 2^20 sub-records. Where a record
// would pass a bound, and where an allocation fails, the walk ends as at a read
// error, keeping what it found; no exception leaves a reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "reader/backup_file.h"
#include "reader/records.h"

struct MtfStreamHeader;
struct ScanContext;

// How the catalog walk of an MSCI block ended, and the position it reached.
enum class CatalogEnding {
    Pad,    // the catalog stream's own id is "SPAD": position is the end of its data
    Files,  // it ended at the SFIN entries: position is just past the last entry passed over
    Other,  // it never started, reached its bound or met a sub-record that does not move it on
};

struct CatalogWalkEnd {
    CatalogEnding ending = CatalogEnding::Other;
    uint64_t position = 0;
};

// Tells the scan readers that a walk of a file begins (also of a file walked
// before): the catalog bytes it reads count as read anew.
void StartFileWalk(CatalogStore& store);

// The MSCI step of the plain walk: the block at `blockPosition` has been read,
// `offsetToFirstEvent` taken from it and the catalog stream header read there.
// Appends one BackupSetRecord per SCIN (with `dataSet`), refreshes the backup
// information and passes over the SFIN entries. A long walk moves `scan`'s bar
// and ends at its stop request (see kStepsBetweenStopTests).
CatalogWalkEnd WalkMsciCatalog(BackupFile& file, uint64_t blockPosition, uint16_t offsetToFirstEvent,
                               const MtfStreamHeader& catalogHeader, uint32_t stripe, const DataSetInfo& dataSet,
                               CatalogStore& store, const ScanContext* scan = nullptr);

// In memory, during a scan: `buffer` is a decoded chunk of `n` bytes followed by at
// least 400 readable bytes, `offset` the index of the "MSCI" block in it. Appends
// one BackupSetRecord per SCIN (position `chunkPosition`) and refreshes the backup
// information. Always returns true.
bool ParseCatalogInMemory(const uint8_t* buffer, uint64_t n, uint32_t offset, uint64_t chunkPosition,
                          const DataSetInfo& dataSet, uint32_t stripe, CatalogStore& store);

// The sets of one stripe that still wait for their second catalog copy, by
// start date. It takes in the sets found since it was last used as a walk goes
// on, so only sets met before a copy can take it; a set takes the first copy
// that carries its start date and then leaves the index.
class EndCatalogIndex {
public:
    // Takes in the sets of `stripe` appended to `sets` since the last call; a
    // call for another stripe, or after the list was emptied, starts afresh.
    void CatchUp(const std::vector<BackupSetRecord>& sets, uint32_t stripe);
    // Takes out the waiting sets with this start date and returns their indices.
    std::vector<size_t> Take(const std::u16string& startDate);

private:
    std::unordered_map<std::u16string, std::vector<size_t>> m_waiting;
    uint32_t m_stripe = UINT32_MAX;
    size_t m_indexed = 0;
};

// The MSLS block at `blockPosition` of a plain file, during a scan: its first
// stream holds the second copy of a set's catalog, in the MSCI stream's layout.
// When the stream's first sub-record is a SCIN, it gives its finish date and
// backup size to the sets of `stripe` that `waiting` holds with its start date,
// where both are plausible (a valid finish date not before the start, a size not
// below the first copy's and below 2^63); nothing else is taken from it, and
// nothing past it is read.
void NoteEndCatalog(BackupFile& file, uint64_t blockPosition, uint32_t stripe, CatalogStore& store,
                    EndCatalogIndex& waiting);
// The same for the MSLS block at `offset` of a decoded chunk of `n` bytes
// (followed by at least 400 readable bytes).
void NoteEndCatalogInMemory(const uint8_t* buffer, uint64_t n, uint32_t offset, uint32_t stripe,
                            CatalogStore& store, EndCatalogIndex& waiting);

// In memory, for the chosen set: fills the backup information and appends the
// database files. Always returns true.
bool ReadCatalogFromBuffer(const uint8_t* buffer, uint64_t n, uint32_t offset, CatalogStore& store);

// Opens the file at index `stripe` of `inputFiles` (the stripe of a chosen set);
// false when there is no such entry or its file cannot be opened.
bool OpenStripe(const std::vector<InputFileEntry>& inputFiles, uint32_t stripe, BackupFile& file);

// From the plain backup file at index `stripe` of `inputFiles`, for the chosen set
// whose MSCI block lies at `position`: opens the file itself, fills the backup
// information and appends the database files. Returns why the file did not open
// (no failure when it did, or when there is no such entry). A long walk ends at
// `scan`'s stop request, as the MSCI step's does.
OpenFailure ReadCatalogFromFile(const std::vector<InputFileEntry>& inputFiles, uint64_t position, uint32_t stripe,
                                CatalogStore& store, const ScanContext* scan = nullptr);
