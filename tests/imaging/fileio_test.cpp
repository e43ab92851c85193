#include <gtest/gtest.h>

#include <algorithm>

#include <cerrno>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "imaging/errors.h"
#include "imaging/fileio.h"
#include "tests/support/testsupport.h"

using namespace clipora;
using clipora::test::TempDir;
namespace fs = std::filesystem;

namespace {

const std::vector<std::uint8_t> oldBytes = {'o', 'l', 'd'};
const std::vector<std::uint8_t> newBytes(100000, 'n');

long failAfterHalf(int fd, const void* buffer, unsigned long count)
{
    static unsigned long total = 0;
    if (total >= 50000) {
        total = 0;
        errno = ENOSPC;
        return -1;
    }
    const unsigned long n = std::min(count, 50000ul - total);
    total += n;
    return static_cast<long>(::write(fd, buffer, n));
}

std::size_t filesIn(const fs::path& dir)
{
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

std::string messageOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const ImagingError& e) {
        return e.what();
    }
    return "no error";
}

}  // namespace

TEST(AtomicWrite, ReplacesTheFileWhole)
{
    TempDir dir;
    const std::string target = dir.file("photo.png");
    test::writeBytes(target, oldBytes);
    ::chmod(target.c_str(), 0640);
    writeFileAtomic(target, newBytes);
    EXPECT_EQ(readFileBytes(target), newBytes);
    EXPECT_EQ(filesIn(dir.path()), 1u);
    struct stat info {};
    ::stat(target.c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0640u);  // the replaced file's mode is kept
}

TEST(AtomicWrite, AFullDiskLeavesTheOldFileAndNoTemporary)
{
    TempDir dir;
    const std::string target = dir.file("photo.jpg");
    test::writeBytes(target, oldBytes);
    testhooks::setWriteFunction(failAfterHalf);
    EXPECT_EQ(messageOf([&] { writeFileAtomic(target, newBytes); }), "ストリームへの書き込みエラー");
    testhooks::setWriteFunction(nullptr);
    EXPECT_EQ(readFileBytes(target), oldBytes);
    EXPECT_EQ(filesIn(dir.path()), 1u);
}

TEST(AtomicWrite, UnwritablePlacesGiveTheCreateError)
{
    TempDir dir;
    const std::string missing = dir.file("no/such/folder/a.bmp");
    EXPECT_EQ(messageOf([&] { writeFileAtomic(missing, newBytes); }), "ファイル " + missing + " を作成できません");

    const std::string folder = dir.file("afolder.bmp");
    fs::create_directory(folder);
    EXPECT_EQ(messageOf([&] { writeFileAtomic(folder, newBytes); }), "ファイル " + folder + " を作成できません");

    if (::geteuid() != 0) {  // root may write anywhere
        const std::string readOnly = dir.file("ro");
        fs::create_directory(readOnly);
        ::chmod(readOnly.c_str(), 0555);
        EXPECT_EQ(messageOf([&] { writeFileAtomic(readOnly + "/x.png", newBytes); }),
                  "ファイル " + readOnly + "/x.png を作成できません");
    }
    const std::string locked = dir.file("locked.png");
    test::writeBytes(locked, oldBytes);
    ::chmod(locked.c_str(), 0444);
    if (::access(locked.c_str(), W_OK) != 0) {
        EXPECT_THROW(writeFileAtomic(locked, newBytes), ImagingError);
        EXPECT_EQ(readFileBytes(locked), oldBytes);
    }
}

TEST(ReadFile, MissingFilesAndFoldersCannotBeOpened)
{
    TempDir dir;
    const std::string missing = dir.file("gone.jpg");
    EXPECT_EQ(messageOf([&] { readFileBytes(missing); }), "ファイル " + missing + " は開けません");
    EXPECT_EQ(messageOf([&] { readFileBytes(dir.path().string()); }), "ファイル " + dir.path().string() + " は開けません");
}
