// Decoding of a compressed container's chunks ahead of its walk, on a fixed pool of
// threads. The walk reads items into a ring of slots in walk order and takes them back
// in the same order, decoded; everything that has an order (the search, the data set,
// the catalogs, progress, the stop test) stays with the walk. The ring holds four items
// per decoding thread (kMaxSlots at most), enough that the threads seldom run out of
// work while the walk waits for its oldest item; each slot has fixed buffers, so the
// memory in use (some 6 MB at the most) is the same whatever the file's size. Nothing
// here throws.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "reader/compressed.h"

// One item of the walk, read ahead of its search.
struct ChunkSlot {
    uint64_t position = 0;         // of the item in the file
    CompressedChunkHeader header;  // of a chunk
    uint32_t n = 0;                // output length to decode into `decoded`; 0: nothing to decode
    uint8_t* stored = nullptr;     // kMaxStoredSize bytes; see ChunkDecoders::Buffers
    uint8_t* decoded = nullptr;    // kDecodeBufferSize bytes, zero past the output

private:
    friend class ChunkDecoders;
    enum class State { Waiting, Decoding, Done };
    State state = State::Done;
    uint32_t written = 0;  // bytes of `decoded` that the last decode may have written
};

class ChunkDecoders {
public:
    static constexpr unsigned kMaxThreads = 16;

    // `threads` threads decode (1 to kMaxThreads), the walk's own among them: while it
    // waits for an item it decodes whatever waits in line. Threads are started as the
    // work comes; when one cannot be started, the others do its share.
    explicit ChunkDecoders(unsigned threads);
    // Drops the items not taken back, after the decodes under way have ended.
    ~ChunkDecoders();
    ChunkDecoders(const ChunkDecoders&) = delete;
    ChunkDecoders& operator=(const ChunkDecoders&) = delete;

    bool Full() const { return count_ == slotCount_; }
    bool Empty() const { return count_ == 0; }

    // The free slot after the last item, for the walk to fill; not Full().
    ChunkSlot& Next() { return slots_[(first_ + count_) % slotCount_]; }
    // Gives `slot` its buffers unless it has them; false when they cannot be allocated.
    bool Buffers(ChunkSlot& slot);
    // Puts the filled Next() in line behind the others; it is decoded when its n is set.
    void Add();

    // The oldest item, decoded; not Empty().
    const ChunkSlot& Oldest();
    void DropOldest();

    // The thread count that uses every core, up to kMaxThreads.
    static unsigned AllCores();

private:
    static void Decode(ChunkSlot& slot);
    // Decodes the first slot in line (there is one), with the lock held on entry and
    // return but not while decoding.
    void DecodeWaiting(std::unique_lock<std::mutex>& lock);
    void Work();
    void StartThread();

    static constexpr unsigned kSlotsPerThread = 4;
    static constexpr unsigned kMaxSlots = 32;

    std::array<ChunkSlot, kMaxSlots> slots_;
    unsigned slotCount_;
    // The slots' decode buffers, one after the other: pages that the system gives out
    // zeroed as they are first touched, so a small file costs no more than it uses.
    uint8_t* decodedPages_ = nullptr;
    unsigned first_ = 0;  // the oldest item
    unsigned count_ = 0;  // items in the ring

    std::mutex mutex_;
    std::condition_variable work_;  // an item is waiting, or the pool closes
    std::condition_variable done_;  // a decode has ended
    std::array<unsigned, kMaxSlots> waiting_;  // slots to decode, oldest first
    unsigned waitingFirst_ = 0;
    std::atomic<unsigned> waitingCount_ = 0;  // changed under the lock; watched without it
    unsigned spinning_ = 0;                   // threads looking out for work
    unsigned sleeping_ = 0;                   // threads waiting for work_
    bool closing_ = false;
    // Looks for work by a thread that found none, before it sleeps: some tens of µs.
    static constexpr unsigned kSpins = 2000;

    std::array<std::thread, kMaxThreads> threads_;
    unsigned threadsWanted_;  // besides the walk's own
    unsigned threadsStarted_ = 0;
};
