#include "reader/backup_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "reader/records.h"

BackupFile::~BackupFile() { Close(); }

bool BackupFile::Open(const std::u16string& path) {
    Close();
    std::string native = ToUtf8(path);
    if (native.empty()) return false;
    int fd = ::open(native.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_length = static_cast<uint64_t>(st.st_size);
    m_position = 0;
    m_failed = false;
    return true;
}

void BackupFile::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);  // also releases the lock
        m_fd = -1;
    }
    m_length = 0;
    m_position = 0;
}

size_t BackupFile::Read(void* buffer, size_t count) {
    bool failed = false;
    const size_t done = ReadSpan(m_position, buffer, count, failed);
    if (failed) m_failed = true;
    m_position += done;
    return done;
}

size_t BackupFile::ReadAhead(uint64_t position, void* buffer, size_t count) const {
    bool failed = false;
    return ReadSpan(position, buffer, count, failed);
}

size_t BackupFile::ReadSpan(uint64_t position, void* buffer, size_t count, bool& failed) const {
    if (m_fd < 0 || count == 0) return 0;
    if (position >= m_length) return 0;
    uint64_t available = m_length - position;
    if (count > available) count = static_cast<size_t>(available);
    size_t done = 0;
    auto* out = static_cast<unsigned char*>(buffer);
    while (done < count) {
        ssize_t got = ::pread(m_fd, out + done, count - done, static_cast<off_t>(position + done));
        if (got < 0) {
            if (errno == EINTR) continue;
            failed = true;
            break;
        }
        if (got == 0) break;  // the file shrank under us: treat as its end
        done += static_cast<size_t>(got);
    }
    return done;
}
