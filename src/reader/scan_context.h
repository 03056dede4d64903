// What one scan run hands to the walks: the stop flag, the progress report, the
// flags the walks raise, the data sets they remember, and the catalog store.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "reader/catalog.h"
#include "reader/records.h"

enum class ScanMode { Standard, Advanced };

struct ScanContext {
    ScanMode mode = ScanMode::Standard;
    CatalogStore* store = nullptr;

    // The main dialog's stop flag: 1 means a stop was requested. May be null.
    const std::atomic<int32_t>* stopFlag = nullptr;
    // Moves the progress bar; given a position shifted right by progressShift.
    std::function<void(int32_t)> setProgress;
    // Positions and the bar's range are shifted by the same amount, so that the
    // file's length fits the bar's signed 32-bit range (see ProgressShift).
    int progressShift = 0;

    bool found = false;  // an MSCI block was met
    bool mqda = false;   // Advanced Mode: a non-empty MQDA stream was met in an MSDA block

    DataSetInfo mtfDataSet;    // remembered by the plain walk across the files of the run
    DataSetInfo chunkDataSet;  // remembered by the chunk walk across the files of the run
    EndCatalogIndex endCatalogs;  // the sets that wait for their second catalog copy

    bool StopRequested() const { return stopFlag != nullptr && stopFlag->load(std::memory_order_relaxed) == 1; }

    // Reports a walk position; the bar moves only at multiples of 10.
    void ReportPosition(uint64_t position) const {
        if (position % 10 == 0 && setProgress) setProgress(static_cast<int32_t>(position >> progressShift));
    }
};

// Loops over a file's bytes that a damaged file can make long (a chain of stream
// headers, a catalog's sub-records and file entries) test the stop flag every so
// many steps. Sound files never take that many, so the block in progress is
// finished first; a long loop still ends within milliseconds of a stop.
inline constexpr uint64_t kStepsBetweenStopTests = 4096;

// The smallest shift that brings `length` into a progress bar's signed 32-bit
// range. Every position below the length then fits as well.
inline int ProgressShift(uint64_t length) {
    int shift = 0;
    while ((length >> shift) > static_cast<uint64_t>(INT32_MAX)) ++shift;
    return shift;
}
