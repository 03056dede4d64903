// What one scan run hands to the walks: the stop flag, the progress report, the
// flags the walks raise, the data sets they remember, and the catalog store.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "reader/records.h"

enum class ScanMode { Standard, Advanced };

struct ScanContext {
    ScanMode mode = ScanMode::Standard;
    CatalogStore* store = nullptr;

    // The main dialog's stop flag: 1 means a stop was requested. May be null.
    const std::atomic<int32_t>* stopFlag = nullptr;
    // Moves the progress bar; given the low 32 bits of a position as a signed value.
    std::function<void(int32_t)> setProgress;

    bool found = false;  // an MSCI block was met
    bool mqda = false;   // Advanced Mode: a non-empty MQDA stream was met in an MSDA block

    DataSetInfo mtfDataSet;    // remembered by the plain walk across the files of the run
    DataSetInfo chunkDataSet;  // remembered by the chunk walk across the files of the run

    bool StopRequested() const { return stopFlag != nullptr && stopFlag->load(std::memory_order_relaxed) == 1; }

    // Reports a walk position; the bar moves only at multiples of 10.
    void ReportPosition(uint64_t position) const {
        if (position % 10 == 0 && setProgress) setProgress(static_cast<int32_t>(static_cast<uint32_t>(position)));
    }
};
