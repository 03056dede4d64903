// Runs both in-memory catalog readers over the input as a decoded chunk, at
// every 512-byte offset that holds "MSCI" (as the chunk walk finds them, each
// with the data set of the last "SSET" before it) and at an offset taken from
// the input's first bytes. The buffer has the 400-byte zero tail that the
// callers guarantee.
#include <cstdint>
#include <cstring>
#include <vector>

#include "reader/byte_source.h"
#include "reader/catalog.h"
#include "reader/mtf_walk.h"
#include "reader/records.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint32_t chosen = (static_cast<uint32_t>(data[0]) | (static_cast<uint32_t>(data[1]) << 8)) % size;
    std::vector<uint8_t> buffer(data, data + size);
    buffer.resize(size + ByteSource::kMemoryTail, 0);
    const uint64_t n = size;

    DataSetInfo dataSet;
    dataSet.nNumber = 1;
    CatalogStore scan;
    ParseCatalogInMemory(buffer.data(), n, chosen, 4096, dataSet, 0, scan);
    for (uint32_t at = 0; at < n; at += 512) {
        if (std::memcmp(buffer.data() + at, "SSET", 4) == 0) {
            ByteSource bytes(buffer.data(), n);
            dataSet = ReadDataSet(bytes, at, buffer.data() + at);
        } else if (std::memcmp(buffer.data() + at, "MSCI", 4) == 0) {
            ParseCatalogInMemory(buffer.data(), n, at, 4096, dataSet, 0, scan);
            CatalogStore chosenSet;
            ReadCatalogFromBuffer(buffer.data(), n, at, chosenSet);
        }
    }
    CatalogStore chosenSet;
    ReadCatalogFromBuffer(buffer.data(), n, chosen, chosenSet);
    return 0;
}
