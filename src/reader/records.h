// The records that the backup reader fills and the user interface reads, the
// catalog store that lives for the whole process, and the text form of MTF dates.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// One input backup file of the current request; its index in the input list is
// its stripe index everywhere else.
struct InputFileEntry {
    std::u16string strPath;
    uint8_t bCompressed = 0;  // 1: compressed container, 0: plain MTF
};

// The data set a backup set belongs to, from the SSET descriptor block.
struct DataSetInfo {
    int32_t nNumber = 0;  // the block's unsigned 16-bit number, widened with zeros
    std::u16string strName;
    std::u16string strDescription;
};

// One backup set found by a scan (one per SCIN record met).
struct BackupSetRecord {
    uint32_t nStripe = 0;
    uint64_t nPosition = 0;  // MSCI block offset (plain) or chunk offset (compressed)
    std::u16string strDatabaseName;
    std::u16string strBackupStartDate;
    uint64_t nBackupSize = 0;
    DataSetInfo dataSet;

    // From the set's second catalog copy, which the server writes after the set's
    // data, when the scan met it: the real finish date (text) and backup size. The
    // first copy's finish date is zero and its size an estimate made beforehand.
    bool bEndCatalog = false;
    std::u16string strEndFinishDate;
    uint64_t nEndBackupSize = 0;

    // The size the set is shown with: the second copy's where there is one.
    uint64_t ShownBackupSize() const { return bEndCatalog ? nEndBackupSize : nBackupSize; }
};

// The backup information of one backup set, from its SCIN record.
struct BackupInfo {
    std::u16string strDatabaseName;
    std::u16string strServerName;
    std::u16string strCreationDate;
    std::u16string strBackupStartDate;
    std::u16string strBackupFinishDate;
    uint16_t nDatabaseId = 0;
    uint16_t nDatabaseVersion = 0;
    uint8_t chBackupType = 0;
    int32_t nDataFileCount = 0;
    int32_t nLogFileCount = 0;
};

// Little-endian reads from a byte array; the caller keeps them in bounds.
inline uint16_t LoadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t LoadU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t LoadU64(const uint8_t* p) {
    return static_cast<uint64_t>(LoadU32(p)) | (static_cast<uint64_t>(LoadU32(p + 4)) << 32);
}

// One SFIN entry of the catalog stream, 400 bytes kept exactly as stored.
struct SqlFileDescriptor {
    static constexpr size_t kSize = 400;
    // Offsets of the members that carry behaviour; the other bytes are kept as they are.
    static constexpr size_t kLengthOffset = 4;
    static constexpr size_t kFileNumberOffset = 20;
    static constexpr size_t kFileTypeOffset = 28;
    static constexpr size_t kNameSizeOffset = 52;
    static constexpr size_t kNameOffsetOffset = 54;
    static constexpr size_t kSmallSizeOffset = 130;
    static constexpr size_t kSizeOffset = 250;

    std::array<uint8_t, kSize> bytes{};

    uint32_t Length() const { return LoadU32(&bytes[kLengthOffset]); }
    uint32_t FileNumber() const { return LoadU32(&bytes[kFileNumberOffset]); }
    uint32_t FileType() const { return LoadU32(&bytes[kFileTypeOffset]); }
    uint16_t NameSize() const { return LoadU16(&bytes[kNameSizeOffset]); }
    uint16_t NameOffset() const { return LoadU16(&bytes[kNameOffsetOffset]); }
    // The size in bytes: the value at 250 when it is not zero, else the one at 130.
    uint64_t SizeInBytes() const {
        uint64_t preferred = LoadU64(&bytes[kSizeOffset]);
        return preferred != 0 ? preferred : LoadU64(&bytes[kSmallSizeOffset]);
    }
};

// One database file of the chosen backup set.
struct DatabaseFileRecord {
    uint32_t nFileType = 0;
    std::u16string strPhysicalName;
    uint64_t nSize = 0;
    SqlFileDescriptor descriptor;
};

// Builds the record of one SFIN entry; the name is taken by the caller.
DatabaseFileRecord MakeDatabaseFileRecord(const SqlFileDescriptor& entry, std::u16string name);

// What the catalog readers have put into one list of the store, and how many
// distinct catalog bytes they read to fill it: the readers hold each list to a
// few times those bytes (catalog.cpp). They count the list afresh whenever they
// find that someone else emptied or changed it.
struct ListLedger {
    size_t entries = 0;  // the list's size when last counted
    uint64_t held = 0;   // bytes its entries hold, texts included
    uint64_t read = 0;   // distinct catalog bytes read for them
    // The bytes credited last (a file in one walk, or one decoded chunk of it)
    // and how far, so that bytes read twice count once.
    bool sourceInMemory = false;
    uint32_t sourceStripe = UINT32_MAX;
    uint64_t sourceChunk = 0;
    uint64_t creditedTo = 0;
};

// What the scan found: every backup set, the chosen one's index, its backup
// information and its database files. The application object owns one.
struct CatalogStore {
    std::vector<DatabaseFileRecord> m_databaseFiles;
    BackupInfo m_backupInfo;
    std::vector<BackupSetRecord> m_backupSets;
    uint32_t m_nSelectedSet = 0;

    ListLedger m_setLedger;   // for m_backupSets
    ListLedger m_fileLedger;  // for m_databaseFiles
};

// The fields of a 5-byte MTF DATE_TIME, in the order that makes the default
// comparison chronological.
struct MtfDateTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;

    // A date and time at all: day 1 to 31, month 1 to 12, hour below 24, minute
    // and second below 60.
    bool IsValid() const {
        return day >= 1 && day <= 31 && month >= 1 && month <= 12 && hour < 24 && minute < 60 && second < 60;
    }
    auto operator<=>(const MtfDateTime&) const = default;
};
MtfDateTime DecodeMtfDateTime(const uint8_t bytes[5]);

// The text of a 5-byte MTF DATE_TIME: "day-month-year::hour:minute:second".
std::u16string FormatMtfDateTime(const uint8_t bytes[5]);

// UTF-16LE text of `size` bytes: ends at the first NUL unit or after the bytes;
// an odd last byte is the low byte of a last unit whose high byte is zero.
std::u16string Utf16LeText(const uint8_t* data, size_t size);

// Conversions at the user-interface edge and for paths handed to the system.
std::string ToUtf8(const std::u16string& text);
std::u16string FromUtf8(const std::string& text);
