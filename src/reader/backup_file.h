// Random access to one backup file, opened for reading only and held with an
// exclusive lock: a file that another process (another instance of the program
// among them) holds cannot be opened. Nothing here ever writes to the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Why a file could not be opened.
struct OpenFailure {
    enum class Kind { None, System, Held, NotAFile };
    Kind kind = Kind::None;
    int error = 0;  // the system's error number, for Kind::System
};

// The reason as the user reads it: the system's own text for its error number
// ("Permission denied", "No such file or directory", "Is a directory"), or that
// another program holds the file, or that it is not a regular file.
std::u16string OpenFailureText(const OpenFailure& failure);

class BackupFile {
public:
    BackupFile() = default;
    ~BackupFile();
    BackupFile(const BackupFile&) = delete;
    BackupFile& operator=(const BackupFile&) = delete;

    // Opens for reading and takes an exclusive lock without waiting; false when
    // either fails or the path is not a regular file (LastOpenFailure says why).
    bool Open(const std::u16string& path);
    const OpenFailure& LastOpenFailure() const { return m_openFailure; }
    bool IsOpen() const { return m_fd >= 0; }
    void Close();

    uint64_t GetLength() const { return m_length; }

    // Absolute seek from the start of the file; any 64-bit position is accepted.
    void Seek(uint64_t position) { m_position = position; }

    // Reads up to `count` bytes at the current position and moves past them.
    // Returns fewer bytes at the end of the file (none beyond it). An I/O error,
    // or a file that ends before the length measured at Open (it was cut short
    // meanwhile), returns what was read and marks the file failed; neither ever
    // ends the process.
    size_t Read(void* buffer, size_t count);

    // Seek and read in one call.
    size_t ReadAt(uint64_t position, void* buffer, size_t count) {
        Seek(position);
        return Read(buffer, count);
    }

    // True once a read failed for a reason other than the end of the file as
    // measured at Open.
    bool Failed() const { return m_failed; }

    // Reads up to `count` bytes at `position` to look ahead: a read error only cuts what
    // is returned short and does not mark the file failed. The position stays.
    size_t ReadAhead(uint64_t position, void* buffer, size_t count) const;

private:
    // Up to `count` bytes at `position`; `failed` tells whether a read error cut them short.
    size_t ReadSpan(uint64_t position, void* buffer, size_t count, bool& failed) const;

    int m_fd = -1;
    uint64_t m_length = 0;
    uint64_t m_position = 0;
    bool m_failed = false;
    OpenFailure m_openFailure;
};
