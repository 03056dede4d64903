// The walk over one plain backup file as MTF descriptor blocks and their
// chains of stream headers.
#pragma once

#include <cstdint>

#include "reader/backup_file.h"
#include "reader/scan_context.h"

// Walks the open file from offset 0 to `length`, collecting every backup set
// into ctx.store and raising ctx.found (and, in Advanced Mode, ctx.mqda).
void WalkMtfBlocks(BackupFile& file, uint64_t length, uint32_t stripe, ScanContext& ctx);
