// The SQL catalog stream of a backup set (the MSCI block's first stream): its
// SCIN record describes the set, its SFIN entries the database files. Four
// readers walk it: the MSCI step of the plain walk, the in-memory parse of a
// decoded chunk during a scan, and the re-reads of the chosen set from a file
// or from a decoded chunk.
#pragma once

#include <cstdint>
#include <vector>

#include "reader/records.h"

// In memory, during a scan: `buffer` is a decoded chunk of `n` bytes followed by at
// least 400 readable bytes, `offset` the index of the "MSCI" block in it. Appends
// one BackupSetRecord per SCIN (position `chunkPosition`) and refreshes the backup
// information. Always returns true.
bool ParseCatalogInMemory(const uint8_t* buffer, uint64_t n, uint32_t offset, uint64_t chunkPosition,
                          const DataSetInfo& dataSet, uint32_t stripe, CatalogStore& store);

// In memory, for the chosen set: fills the backup information and appends the
// database files. Always returns true.
bool ReadCatalogFromBuffer(const uint8_t* buffer, uint64_t n, uint32_t offset, CatalogStore& store);

// From the plain backup file at index `stripe` of `inputFiles`, for the chosen set
// whose MSCI block lies at `position`: opens the file itself, fills the backup
// information and appends the database files. Reports nothing.
void ReadCatalogFromFile(const std::vector<InputFileEntry>& inputFiles, uint64_t position, uint32_t stripe,
                         CatalogStore& store);
