// Reads of small pieces of one backup file, in file order, through a window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "reader/backup_file.h"

// The reads of a walk: small pieces, in file order. With a window they come from a
// stretch of the file read ahead in one go; a piece that the window does not hold is
// read as it stands, so every read ends as reading the file directly would.
class ItemReads {
public:
    static constexpr size_t kWindow = 1 << 20;

    // `windowed`: read ahead (the memory is taken when first needed; without it, the
    // file is read piece by piece).
    ItemReads(BackupFile& file, bool windowed) : file_(file), windowed_(windowed) {}

    // Reads exactly `count` bytes; false when the file ends before them or a read fails.
    bool Exact(uint64_t position, void* buffer, size_t count) {
        if (windowed_ && count <= kWindow && !file_.Failed()) {
            if (!Holds(position, count)) Refill(position);
            if (Holds(position, count)) {
                std::memcpy(buffer, window_.get() + (position - start_), count);
                return true;
            }
        }
        return file_.ReadAt(position, buffer, count) == count && !file_.Failed();
    }

private:
    bool Holds(uint64_t position, size_t count) const {
        return window_ && position >= start_ && position - start_ <= size_ && size_ - (position - start_) >= count;
    }

    void Refill(uint64_t position) {
        if (!window_) window_.reset(new (std::nothrow) uint8_t[kWindow]);
        start_ = position;
        size_ = window_ ? file_.ReadAhead(position, window_.get(), kWindow) : 0;
    }

    BackupFile& file_;
    bool windowed_;
    std::unique_ptr<uint8_t[]> window_;
    uint64_t start_ = 0;
    size_t size_ = 0;
};
