// Walks the input as a plain backup file in both modes, then reads every set's
// catalog again as if it had been chosen. The input's first byte extends the
// file with that many times 64 KiB of zeros (a hole), so that small inputs can
// stand for large files whose catalogs count entries far beyond their bytes.
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <unistd.h>

#include "reader/backup_file.h"
#include "reader/catalog.h"
#include "reader/mtf_walk.h"
#include "reader/records.h"
#include "reader/scan_context.h"

namespace {

std::string MakeTempPath() {
    const char* dir = std::getenv("TMPDIR");
    std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/orvendel-fuzz-XXXXXX";
    int fd = ::mkstemp(pattern.data());
    if (fd < 0) std::abort();
    ::close(fd);
    return pattern;
}

const std::string& TempPath() {
    static const std::string path = MakeTempPath();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint64_t zeros = uint64_t{data[0]} << 16;
    ++data;
    --size;
    const std::string& path = TempPath();
    FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) std::abort();
    if (size != 0 && std::fwrite(data, 1, size, out) != size) std::abort();
    std::fclose(out);
    if (::truncate(path.c_str(), static_cast<off_t>(size + zeros)) != 0) std::abort();

    const std::u16string path16 = FromUtf8(path);
    for (ScanMode mode : {ScanMode::Standard, ScanMode::Advanced}) {
        CatalogStore store;
        ScanContext ctx;
        ctx.mode = mode;
        ctx.store = &store;
        {
            BackupFile file;
            if (!file.Open(path16)) std::abort();
            WalkMtfBlocks(file, file.GetLength(), 0, ctx);
        }
        if (mode == ScanMode::Standard) {
            // The sets of one catalog share its position: each catalog is read once.
            std::set<uint64_t> positions;
            for (const BackupSetRecord& set : store.m_backupSets) positions.insert(set.nPosition);
            const std::vector<InputFileEntry> inputs{{path16, 0}};
            for (uint64_t position : positions) {
                CatalogStore chosen;
                ReadCatalogFromFile(inputs, position, 0, chosen);
            }
        }
    }
    return 0;
}
