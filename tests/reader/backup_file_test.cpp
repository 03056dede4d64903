#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "fixtures/temp_file.h"
#include "reader/backup_file.h"
#include "reader/records.h"

namespace {

TEST(BackupFile, ReadsShortAtTheEndAndNothingBeyondIt) {
    TempFile temp({1, 2, 3, 4, 5});
    BackupFile file;
    ASSERT_TRUE(file.Open(temp.Path16()));
    EXPECT_EQ(file.GetLength(), 5u);
    uint8_t buf[8] = {};
    EXPECT_EQ(file.ReadAt(3, buf, 8), 2u);
    EXPECT_EQ(buf[0], 4);
    EXPECT_EQ(buf[1], 5);
    EXPECT_EQ(file.ReadAt(5, buf, 8), 0u);
    EXPECT_EQ(file.ReadAt(UINT64_MAX, buf, 8), 0u);
    EXPECT_FALSE(file.Failed());
}

TEST(BackupFile, CannotOpenAMissingFileOrALockedOne) {
    BackupFile file;
    EXPECT_FALSE(file.Open(u"/nonexistent/dir/file.bak"));
    EXPECT_FALSE(file.Open(u""));
    TempFile temp({1});
    int fd = ::open(temp.Path().c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    EXPECT_FALSE(file.Open(temp.Path16()));  // held by someone else: no sharing
    ::close(fd);
    EXPECT_TRUE(file.Open(temp.Path16()));
    BackupFile second;
    EXPECT_FALSE(second.Open(temp.Path16()));  // we hold it now
    file.Close();
    EXPECT_TRUE(second.Open(temp.Path16()));
}

TEST(BackupFile, OpeningAndReadingLeavesTheFileUntouched) {
    TempFile temp({9, 8, 7});
    struct stat before {};
    ASSERT_EQ(::stat(temp.Path().c_str(), &before), 0);
    {
        BackupFile file;
        ASSERT_TRUE(file.Open(temp.Path16()));
        uint8_t buf[3];
        file.ReadAt(0, buf, 3);
    }
    struct stat after {};
    ASSERT_EQ(::stat(temp.Path().c_str(), &after), 0);
    EXPECT_EQ(before.st_mtim.tv_sec, after.st_mtim.tv_sec);
    EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
    EXPECT_EQ(temp.ReadAll(), (std::vector<uint8_t>{9, 8, 7}));
}

}  // namespace
