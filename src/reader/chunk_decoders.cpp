#include "reader/chunk_decoders.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "reader/xpress_huffman.h"

namespace {

// A short wait in a spinning loop.
void Pause() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#else
    std::this_thread::yield();
#endif
}

}  // namespace

ChunkDecoders::ChunkDecoders(unsigned threads)
    : slotCount_(std::min(kSlotsPerThread * std::clamp(threads, 1u, kMaxThreads), kMaxSlots)),
      threadsWanted_(std::clamp(threads, 1u, kMaxThreads) - 1) {}

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
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        slot.state = ChunkSlot::State::Waiting;
        waiting_[(waitingFirst_ + waitingCount_) % slotCount_] = index;
        waitingCount_.store(waitingCount_ + 1, std::memory_order_relaxed);
        wake = sleeping_ > 0 && waitingCount_ > spinning_;  // a spinning thread takes it otherwise
    }
    if (threadsStarted_ < threadsWanted_) StartThread();
    if (wake) work_.notify_one();
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
    waitingCount_.store(waitingCount_ - 1, std::memory_order_relaxed);
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
    while (!closing_) {
        if (waitingCount_ > 0) {
            DecodeWaiting(lock);
            continue;
        }
        // Waking a sleeping thread costs more than the walk takes to read the next
        // chunk, so look out for one a while before going to sleep.
        ++spinning_;
        lock.unlock();
        for (unsigned spin = 0; spin < kSpins && waitingCount_.load(std::memory_order_relaxed) == 0; ++spin) Pause();
        lock.lock();
        --spinning_;
        if (waitingCount_ == 0 && !closing_) {
            ++sleeping_;
            work_.wait(lock, [this] { return closing_ || waitingCount_ > 0; });
            --sleeping_;
        }
    }
}
