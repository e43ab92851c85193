#include <gtest/gtest.h>

#include <algorithm>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <thread>
#include <sys/stat.h>
#include <sys/wait.h>
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

// What a signal handler does when Ctrl-C ends the program in the middle of
// a save: the temporary file goes, the old file stays.
TEST(AtomicWrite, TheTemporaryFileInProgressCanBeRemovedFromASignalHandler)
{
    TempDir dir;
    const std::string target = dir.file("photo.png");
    test::writeBytes(target, oldBytes);
    testhooks::setWriteFunction([](int fd, const void* buffer, unsigned long count) -> long {
        removeTemporaryFilesInProgress();
        return static_cast<long>(::write(fd, buffer, count));
    });
    EXPECT_EQ(messageOf([&] { writeFileAtomic(target, newBytes); }), "ファイル " + target + " を作成できません");
    testhooks::setWriteFunction(nullptr);
    EXPECT_EQ(readFileBytes(target), oldBytes);
    EXPECT_EQ(filesIn(dir.path()), 1u);
    // After the save nothing is listed: a later call removes nothing.
    writeFileAtomic(target, newBytes);
    removeTemporaryFilesInProgress();
    EXPECT_EQ(readFileBytes(target), newBytes);
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

TEST(ReadFile, NamedPipesAndDevicesAreRefusedAtOnce)
{
    TempDir dir;
    const std::string pipe = dir.file("x.png");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    for (const std::string& path : {pipe, std::string("/dev/null")}) {
        auto reading = std::async(std::launch::async, [&] { return messageOf([&] { readFileBytes(path); }); });
        if (reading.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            // Let a reader stuck on the pipe go before failing.
            const int writer = ::open(pipe.c_str(), O_WRONLY);
            ::close(writer);
            ADD_FAILURE() << path << " was waited on";
        }
        EXPECT_EQ(reading.get(), "ファイル " + path + " は開けません");
    }
}

TEST(AtomicWrite, ASymbolicLinkStaysAndTheFileItLeadsToIsReplaced)
{
    struct Row {
        const char* name;
        std::string link;    // where the link points, as written in it
        std::string target;  // the file that must receive the data
    };
    TempDir dir;
    fs::create_directory(dir.file("pictures"));
    const Row rows[] = {
        {"relative", "pictures/a.png", dir.file("pictures/a.png")},
        {"absolute", dir.file("pictures/b.png"), dir.file("pictures/b.png")},
        {"to a link", "relative", dir.file("pictures/a.png")},
        {"dangling", "pictures/new.png", dir.file("pictures/new.png")},
    };
    test::writeBytes(dir.file("pictures/a.png"), oldBytes);
    test::writeBytes(dir.file("pictures/b.png"), oldBytes);
    for (const Row& row : rows) {
        const std::string link = dir.file(row.name);
        fs::create_symlink(row.link, link);
        writeFileAtomic(link, newBytes);
        EXPECT_TRUE(fs::is_symlink(link)) << row.name;
        EXPECT_EQ(fs::read_symlink(link).string(), row.link) << row.name;
        EXPECT_EQ(readFileBytes(row.target), newBytes) << row.name;
    }
    EXPECT_EQ(filesIn(dir.file("pictures")), 3u);  // no temporary file left
    fs::create_symlink("loop", dir.file("loop"));
    EXPECT_EQ(messageOf([&] { writeFileAtomic(dir.file("loop"), newBytes); }),
              "ファイル " + dir.file("loop") + " を作成できません");
}

TEST(AtomicWrite, AWritableFileInAFolderThatTakesNoNewFilesIsWrittenInPlace)
{
    TempDir dir;
    const std::string folder = dir.file("shared");
    const std::string target = folder + "/photo.png";
    fs::create_directory(folder);
    test::writeBytes(target, std::vector<std::uint8_t>(200000, 'o'));  // longer than the new content
    ::chmod(target.c_str(), 0666);
    ::chmod(folder.c_str(), 0555);
    // Root may write into any folder: the save runs as an ordinary user then.
    const bool asRoot = ::geteuid() == 0;
    if (asRoot) {
        ::chmod(dir.path().c_str(), 0755);
        ASSERT_EQ(::chown(target.c_str(), 65534, 65534), 0);
    }
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (asRoot && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(2);
        if (::access(folder.c_str(), W_OK) == 0)
            ::_exit(3);
        if (::access(target.c_str(), W_OK) != 0)
            ::_exit(4);
        try {
            writeFileAtomic(target, newBytes);
        } catch (const ImagingError&) {
            ::_exit(1);
        }
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_NE(WEXITSTATUS(status), 2) << "could not become an ordinary user";
    ASSERT_NE(WEXITSTATUS(status), 3) << "the folder is writable after all";
    ASSERT_NE(WEXITSTATUS(status), 4) << "the file cannot be reached (is the temporary folder's parent closed?)";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(readFileBytes(target), newBytes);
    EXPECT_EQ(filesIn(folder), 1u);
    ::chmod(folder.c_str(), 0755);
}

TEST(AtomicWrite, ANameJustUnderTheFolderNameLimitSaves)
{
    TempDir dir;
    const long limit = ::pathconf(dir.path().c_str(), _PC_NAME_MAX);
    ASSERT_GT(limit, 16);
    for (long length = limit - 8; length <= limit; ++length) {
        const std::string name = std::string(static_cast<std::size_t>(length) - 4, 'a') + ".png";
        const std::string target = dir.file(name);
        writeFileAtomic(target, newBytes);
        EXPECT_EQ(readFileBytes(target), newBytes) << length;
        writeFileAtomic(target, oldBytes);  // replacing it, too
        EXPECT_EQ(readFileBytes(target), oldBytes) << length;
        fs::remove(target);
        EXPECT_EQ(filesIn(dir.path()), 0u) << length;
    }
}

TEST(AtomicWrite, AReplacedFileKeepsItsOwnerGroupAndMode)
{
    TempDir dir;
    const std::string target = dir.file("photo.bmp");
    test::writeBytes(target, oldBytes);
    // Root may give the file to anyone; others keep their own user and group.
    const uid_t owner = ::geteuid() == 0 ? 4321 : ::geteuid();
    const gid_t group = ::geteuid() == 0 ? 5432 : ::getegid();
    ASSERT_EQ(::chown(target.c_str(), owner, group), 0);
    ASSERT_EQ(::chmod(target.c_str(), 02751), 0);
    writeFileAtomic(target, newBytes);
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, owner);
    EXPECT_EQ(info.st_gid, group);
    EXPECT_EQ(info.st_mode & 07777, 02751u);
    EXPECT_EQ(readFileBytes(target), newBytes);
}

// Saves from several threads at once (clipora-cli's batches) each give a new
// file the mode the process's mask allows, and leave the mask as it was:
// reading the mask means setting it, which must not interleave.
TEST(AtomicWrite, ConcurrentSavesKeepTheModeMask)
{
    TempDir dir;
    const mode_t before = ::umask(022);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&dir, t] {
            for (int i = 0; i < 300; ++i)
                writeFileAtomic(dir.file(std::to_string(t) + "-" + std::to_string(i)), oldBytes);
        });
    for (std::thread& thread : threads)
        thread.join();
    const mode_t after = ::umask(before);
    EXPECT_EQ(after, 022u);
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        struct stat info {};
        ASSERT_EQ(::stat(entry.path().c_str(), &info), 0);
        ASSERT_EQ(info.st_mode & 0777, 0644u) << entry.path();
    }
}
