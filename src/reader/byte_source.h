// Where blocks, catalogs and their texts are read from: an open backup file, or
// a decoded chunk of n bytes that its callers follow with at least 400 readable
// bytes. The plain walk, the chunk walk and the catalog readers all read their
// fixed-size pieces and their UTF-16 texts through it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class BackupFile;

class ByteSource {
public:
    // Readable bytes that in-memory callers leave past n.
    static constexpr uint64_t kMemoryTail = 400;

    explicit ByteSource(BackupFile& file);
    ByteSource(const uint8_t* buffer, uint64_t n);
    ByteSource(const ByteSource&) = delete;
    ByteSource& operator=(const ByteSource&) = delete;

    bool InMemory() const { return m_file == nullptr; }
    // The file length, or n.
    uint64_t End() const { return m_end; }
    bool Failed() const;

    // Reads a fixed-size piece (at most kWindow bytes) into `out`. In a file a
    // piece cut short by the end of the file is not used (false), so that nothing
    // is made up from missing bytes; a read error also gives false. Small reads
    // that follow each other come from one window of the file, so a walk over
    // many small pieces costs few system calls. In memory a piece that starts
    // below n is copied whole (the caller's tail makes room for it).
    bool Read(uint64_t position, uint8_t* out, size_t count);

    // A text of `size` bytes at `position`: UTF-16LE up to its first NUL unit; an
    // odd last byte is the low byte of a last unit. In a file, bytes past its end
    // read as zero; in memory only the bytes below n are taken.
    std::u16string Text(uint64_t position, uint16_t size);

    static constexpr size_t kWindow = 8192;
    static constexpr size_t kJumpRead = 512;

private:
    BackupFile* m_file = nullptr;
    const uint8_t* m_buffer = nullptr;
    uint64_t m_end = 0;
    // The file's bytes [m_windowStart, m_windowStart + m_windowSize), read last.
    uint8_t m_window[kWindow];
    uint64_t m_windowStart = 0;
    size_t m_windowSize = 0;
};
