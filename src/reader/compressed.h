// SQL Server's compressed backup container: a 16-byte header starting
// "MSSQLBAK", then compressed chunks with soft filemark blocks between them.
#pragma once

#include <cstdint>
#include <vector>

#include "reader/backup_file.h"
#include "reader/records.h"
#include "reader/scan_context.h"

// Walks the open container from offset 16 to `length`, decoding every chunk and
// collecting the backup sets of its catalogs into ctx.store.
void WalkCompressedChunks(BackupFile& file, uint64_t length, uint32_t stripe, ScanContext& ctx);

// Re-reads the chosen set's catalog from the chunk at `chunkPosition` of the
// container at index `stripe` of `inputFiles`.
void ReadCompressedCatalog(const std::vector<InputFileEntry>& inputFiles, uint64_t chunkPosition, uint32_t stripe,
                           CatalogStore& store);
