#include "reader/backup_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "reader/records.h"

BackupFile::~BackupFile() { Close(); }

std::u16string OpenFailureText(const OpenFailure& failure) {
    switch (failure.kind) {
        case OpenFailure::Kind::None:
            return {};
        case OpenFailure::Kind::Held:
            return u"Another program is using it";
        case OpenFailure::Kind::NotAFile:
            return u"Not a regular file";
        case OpenFailure::Kind::System:
            break;
    }
    char buffer[256];
    // The GNU form: returns the text, in the buffer or in a static table.
    return FromUtf8(::strerror_r(failure.error, buffer, sizeof buffer));
}

bool BackupFile::Open(const std::u16string& path) {
    Close();
    m_openFailure = {};
    std::string native = ToUtf8(path);
    if (native.empty()) {
        m_openFailure = {OpenFailure::Kind::System, ENOENT};
        return false;
    }
    // Not blocking: a named pipe would otherwise wait here for a writer.
    int fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        m_openFailure = {OpenFailure::Kind::System, errno};
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        m_openFailure = {OpenFailure::Kind::System, errno};
    } else if (S_ISDIR(st.st_mode)) {
        m_openFailure = {OpenFailure::Kind::System, EISDIR};
    } else if (!S_ISREG(st.st_mode)) {
        m_openFailure = {OpenFailure::Kind::NotAFile, 0};
    } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        m_openFailure = errno == EWOULDBLOCK ? OpenFailure{OpenFailure::Kind::Held, 0}
                                             : OpenFailure{OpenFailure::Kind::System, errno};
    }
    if (m_openFailure.kind != OpenFailure::Kind::None) {
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
        if (got == 0) {
            // The file ends before the length measured when it was opened: it was
            // cut short while it is read. Nothing past here can be trusted any
            // more, so this counts as a failed read and ends the walk, as the
            // file's end would; otherwise a walk would step on through bytes that
            // are no longer there, each step finding nothing.
            failed = true;
            break;
        }
        done += static_cast<size_t>(got);
    }
    return done;
}
