// Helpers shared by the walk tests: walking media through a real file.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fixtures/temp_file.h"
#include "reader/backup_file.h"
#include "reader/mtf_walk.h"
#include "reader/records.h"
#include "reader/scan_context.h"

// Walks `bytes` (written to a temporary file) with a context that owns `store`.
inline void WalkBytes(const std::vector<uint8_t>& bytes, ScanContext& ctx, uint32_t stripe = 0) {
    TempFile temp(bytes);
    BackupFile file;
    ASSERT_TRUE(file.Open(temp.Path16()));
    WalkMtfBlocks(file, file.GetLength(), stripe, ctx);
}

struct WalkResult {
    CatalogStore store;
    bool found = false;
    bool mqda = false;
};

inline WalkResult Walk(const std::vector<uint8_t>& bytes, ScanMode mode = ScanMode::Standard) {
    WalkResult result;
    ScanContext ctx;
    ctx.mode = mode;
    ctx.store = &result.store;
    WalkBytes(bytes, ctx);
    result.found = ctx.found;
    result.mqda = ctx.mqda;
    return result;
}

inline std::string U8(const std::u16string& text) { return ToUtf8(text); }
