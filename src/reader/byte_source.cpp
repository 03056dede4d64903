#include "reader/byte_source.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "reader/backup_file.h"
#include "reader/records.h"

ByteSource::ByteSource(BackupFile& file) : m_file(&file), m_end(file.GetLength()) {}

ByteSource::ByteSource(const uint8_t* buffer, uint64_t n) : m_buffer(buffer), m_end(n) {}

bool ByteSource::Failed() const { return m_file != nullptr && m_file->Failed(); }

bool ByteSource::Read(uint64_t position, uint8_t* out, size_t count) {
    std::memset(out, 0, count);
    if (m_file == nullptr) {
        if (position < m_end) {
            const uint64_t available = m_end + kMemoryTail - position;
            std::memcpy(out, m_buffer + position, static_cast<size_t>(std::min<uint64_t>(count, available)));
        }
        return true;
    }
    if (position > m_end || count > m_end - position || count > kWindow) return false;
    if (position < m_windowStart || position - m_windowStart + count > m_windowSize) {
        // A walk that moves on in small steps gets a whole window; one that jumps
        // far (entries far apart) reads only a little at each place.
        const bool near = position >= m_windowStart && position - m_windowStart < m_windowSize + kWindow;
        const size_t want = near ? kWindow : std::max(count, kJumpRead);
        m_windowStart = position;
        m_windowSize = m_file->ReadAt(position, m_window, want);
        if (m_file->Failed()) {
            m_windowSize = 0;
            return false;
        }
    }
    // A file cut short since it was opened failed above; only what was read is copied.
    const size_t from = static_cast<size_t>(position - m_windowStart);
    std::memcpy(out, m_window + from, std::min(count, m_windowSize - std::min(from, m_windowSize)));
    return true;
}

std::u16string ByteSource::Text(uint64_t position, uint16_t size) {
    if (size == 0) return {};
    if (m_file != nullptr) {
        std::vector<uint8_t> buffer(size, 0);
        m_file->ReadAt(position, buffer.data(), size);
        return Utf16LeText(buffer.data(), size);
    }
    if (position >= m_end) return {};
    return Utf16LeText(m_buffer + position, static_cast<size_t>(std::min<uint64_t>(size, m_end - position)));
}
