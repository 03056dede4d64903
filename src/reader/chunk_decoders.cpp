#include "reader/chunk_decoders.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>

#include <system_error>

#include "reader/xpress_huffman.h"

ChunkDecoders::ChunkDecoders(unsigned threads)
    : slotCount_(2 * std::clamp(threads, 1u, kMaxThreads)), threadsWanted_(std::clamp(threads, 1u, kMaxThreads) - 1) {}

ChunkDecoders::~ChunkDecoders() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
    }
    work_.notify_all();
    for (unsigned t = 0; t < threadsStarted_; ++t) threads_[t].join();
    for (ChunkSlot& slot : slots_) std::free(slot.stored);
    if (decodedPages_ != nullptr) ::munmap(decodedPages_, slotCount_ * kDecodeBufferSize);
}

unsigned ChunkDecoders::AllCores() {
    return std::clamp(std::thread::hardware_concurrency(), 1u, kMaxThreads);
}

bool ChunkDecoders::Buffers(ChunkSlot& slot) {
    if (decodedPages_ == nullptr) {
        void* pages = ::mmap(nullptr, slotCount_ * kDecodeBufferSize, PROT_READ | PROT_WRITE,
                             MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (pages == MAP_FAILED) return false;
        decodedPages_ = static_cast<uint8_t*>(pages);
    }
    if (slot.decoded == nullptr) slot.decoded = decodedPages_ + (&slot - slots_.data()) * kDecodeBufferSize;
    if (slot.stored == nullptr) slot.stored = static_cast<uint8_t*>(std::malloc(kMaxStoredSize));
    return slot.stored != nullptr;
}

void ChunkDecoders::Decode(ChunkSlot& slot) {
    std::memset(slot.decoded, 0, slot.written);
    XpressHuffmanDecompress(slot.stored, slot.header.storedSize, slot.n, slot.decoded);
    slot.written = slot.n;
}

void ChunkDecoders::Add() {
    const unsigned index = (first_ + count_) % slotCount_;
    ChunkSlot& slot = slots_[index];
    ++count_;
    if (slot.n == 0) {
        slot.state = ChunkSlot::State::Done;
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        slot.state = ChunkSlot::State::Waiting;
        waiting_[(waitingFirst_ + waitingCount_++) % slotCount_] = index;
    }
    if (threadsStarted_ < threadsWanted_) StartThread();
    work_.notify_one();
}

const ChunkSlot& ChunkDecoders::Oldest() {
    ChunkSlot& oldest = slots_[first_];
    if (oldest.n == 0) return oldest;
    std::unique_lock<std::mutex> lock(mutex_);
    // Rather than wait, decode what waits in line: the oldest item itself when no thread
    // has taken it yet (it is then the first in line, since every older item has been
    // taken back), otherwise the next.
    while (oldest.state != ChunkSlot::State::Done) {
        if (waitingCount_ == 0) {
            done_.wait(lock);
        } else {
            DecodeWaiting(lock);
        }
    }
    return oldest;
}

void ChunkDecoders::DropOldest() {
    first_ = (first_ + 1) % slotCount_;
    --count_;
}

void ChunkDecoders::DecodeWaiting(std::unique_lock<std::mutex>& lock) {
    ChunkSlot& slot = slots_[waiting_[waitingFirst_]];
    waitingFirst_ = (waitingFirst_ + 1) % slotCount_;
    --waitingCount_;
    slot.state = ChunkSlot::State::Decoding;
    lock.unlock();
    Decode(slot);
    lock.lock();
    slot.state = ChunkSlot::State::Done;
    done_.notify_one();
}

void ChunkDecoders::StartThread() {
    try {
        threads_[threadsStarted_] = std::thread([this] { Work(); });
        ++threadsStarted_;
    } catch (const std::system_error&) {
        threadsWanted_ = threadsStarted_;  // the threads there are do the work
    }
}

void ChunkDecoders::Work() {
    // Decoding throws nothing and allocates nothing; the lock of a mutex that this
    // thread does not hold yet cannot fail.
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        work_.wait(lock, [this] { return closing_ || waitingCount_ > 0; });
        if (closing_) return;
        DecodeWaiting(lock);
    }
}
