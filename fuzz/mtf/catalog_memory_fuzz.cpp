// Runs both in-memory catalog readers over the input as a decoded chunk, at
// every 512-byte offset that holds "MSCI" (as the chunk walk finds them) and at
// an offset taken from the input's first bytes. The buffer has the 400-byte
// zero tail that the callers guarantee.
#include <cstdint>
#include <cstring>
#include <vector>

#include "reader/catalog.h"
#include "reader/records.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint32_t chosen = (static_cast<uint32_t>(data[0]) | (static_cast<uint32_t>(data[1]) << 8)) % size;
    std::vector<uint8_t> buffer(data, data + size);
    buffer.resize(size + 400, 0);
    const uint64_t n = size;

    std::vector<uint32_t> offsets{chosen};
    for (uint32_t at = 0; at + 4 <= n; at += 512) {
        if (std::memcmp(buffer.data() + at, "MSCI", 4) == 0) offsets.push_back(at);
    }
    DataSetInfo dataSet;
    dataSet.nNumber = 1;
    for (uint32_t offset : offsets) {
        CatalogStore scan;
        ParseCatalogInMemory(buffer.data(), n, offset, 4096, dataSet, 0, scan);
        CatalogStore chosenSet;
        ReadCatalogFromBuffer(buffer.data(), n, offset, chosenSet);
    }
    return 0;
}
