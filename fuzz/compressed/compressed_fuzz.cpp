// The input's first 8 bytes choose a chunk position to read again; the rest
// follows a valid 16-byte "MSSQLBAK" header.
#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

#include "fixtures/temp_file.h"
#include "reader/backup_file.h"
#include "reader/compressed.h"
#include "reader/records.h"
#include "reader/scan_context.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TempFile temp;
    uint64_t chosen = 0;
    if (size >= 8) {
        std::memcpy(&chosen, data, 8);
        data += 8;
        size -= 8;
    }
    std::vector<uint8_t> container = {'M', 'S', 'S', 'Q', 'L', 'B', 'A', 'K', 2, 0, 0, 0, 3, 0, 0, 0};
    container.insert(container.end(), data, data + size);
    temp.Write(container);

    CatalogStore store;
    ScanContext ctx;
    ctx.store = &store;
    for (ScanMode mode : {ScanMode::Standard, ScanMode::Advanced}) {
        ctx.mode = mode;
        BackupFile file;
        if (!file.Open(temp.Path16())) return 0;
        WalkCompressedChunks(file, file.GetLength(), 0, ctx);
    }

    // The sets of one chunk share its position: each chunk is read once.
    const std::vector<InputFileEntry> inputs{{temp.Path16(), 1}};
    std::set<uint64_t> positions = {16, 0x1E0, chosen, chosen % (container.size() + 64)};
    for (const BackupSetRecord& set : store.m_backupSets) positions.insert(set.nPosition);
    for (uint64_t position : positions) ReadCompressedCatalog(inputs, position, 0, store);
    return 0;
}
