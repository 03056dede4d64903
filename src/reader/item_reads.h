// Reads of small pieces of one backup file, in file order, through a window.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <span>

#include "reader/backup_file.h"

// The reads of a walk: small pieces, in file order. With a window they come from a
// stretch of the file read ahead in one go; a piece that the window does not hold is
// read as it stands, so every read ends as reading the file directly would.
//
// A walk that goes on past the end of its window reads twice as far ahead as the
// time before, up to kWindow, so a walk in small steps through a long stretch costs
// few system calls; one that jumps further starts again at kFirstReach, so a walk
// that takes a few bytes at each of many places far apart reads little at each.
class ItemReads {
public:
    static constexpr size_t kWindow = 1 << 20;
    static constexpr size_t kFirstReach = 512;

    // `windowed`: read ahead (the memory is taken when first needed; without it, the
    // file is read piece by piece).
    ItemReads(BackupFile& file, bool windowed) : file_(file), windowed_(windowed) {}

    // Reads exactly `count` bytes; false when the file ends before them or a read fails.
    bool Exact(uint64_t position, void* buffer, size_t count) {
        const std::span<const uint8_t> held = View(position, count);
        if (!held.empty()) {
            std::memcpy(buffer, held.data(), count);
            return true;
        }
        return file_.ReadAt(position, buffer, count) == count && !file_.Failed();
    }

    // The bytes from `position` on that the window holds, at least `count` of them
    // (the window moves as for Exact); empty when it cannot hold them.
    std::span<const uint8_t> View(uint64_t position, size_t count) {
        if (!windowed_ || count > kWindow || file_.Failed()) return {};
        if (!Holds(position, count)) Refill(position, count);
        if (!Holds(position, count)) return {};
        return {window_.get() + (position - start_), size_ - static_cast<size_t>(position - start_)};
    }

    // True once a read of the file failed.
    bool Failed() const { return file_.Failed(); }

private:
    bool Holds(uint64_t position, size_t count) const {
        return window_ && position >= start_ && position - start_ <= size_ && size_ - (position - start_) >= count;
    }

    void Refill(uint64_t position, size_t count) {
        if (!window_) window_.reset(new (std::nothrow) uint8_t[kWindow]);
        const bool onward = reach_ != 0 && position >= start_ && position - start_ <= size_ + reach_;
        reach_ = onward ? std::min(kWindow, 2 * reach_) : kFirstReach;
        reach_ = std::max(reach_, count);
        start_ = position;
        size_ = window_ ? file_.ReadAhead(position, window_.get(), reach_) : 0;
    }

    BackupFile& file_;
    bool windowed_;
    std::unique_ptr<uint8_t[]> window_;
    uint64_t start_ = 0;
    size_t size_ = 0;
    size_t reach_ = 0;  // bytes asked for at the last refill
};
