#include "fileio.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <mutex>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "errors.h"
#include "paths.h"

namespace clipora {

namespace {

testhooks::WriteFunction writeFunction = nullptr;

long writeSome(int fd, const void* buffer, unsigned long count)
{
    if (writeFunction)
        return writeFunction(fd, buffer, count);
    return static_cast<long>(::write(fd, buffer, count));
}

// The temporary files being written at this moment, for a signal handler
// to remove (removeTemporaryFilesInProgress): fixed slots, since the handler
// may only read memory and call unlink. A slot is free (0), being filled or
// emptied (1, the handler passes over it) or holds a path (2). With more
// files at once than slots, the extra ones go unlisted.
struct InProgress {
    std::atomic<int> state{0};
    char path[PATH_MAX];
};
InProgress inProgress[64];

int listInProgress(const std::string& path)
{
    if (path.size() >= PATH_MAX)
        return -1;
    for (int i = 0; i < static_cast<int>(std::size(inProgress)); ++i) {
        int free = 0;
        if (inProgress[i].state.compare_exchange_strong(free, 1)) {
            std::memcpy(inProgress[i].path, path.c_str(), path.size() + 1);
            inProgress[i].state.store(2);
            return i;
        }
    }
    return -1;
}

void unlistInProgress(int slot)
{
    if (slot >= 0) {
        inProgress[slot].state.store(1);
        inProgress[slot].state.store(0);
    }
}

// Closes the descriptor and removes the temporary file unless released.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string pattern) : path_(std::move(pattern))
    {
        fd_ = ::mkstemp(path_.data());
        if (fd_ >= 0)
            slot_ = listInProgress(path_);
    }
    ~TemporaryFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
        if (!kept_ && fd_ != -1)
            ::unlink(path_.c_str());
        unlistInProgress(slot_);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    bool ok() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    const std::string& path() const { return path_; }
    bool close()
    {
        const int fd = fd_;
        fd_ = -2;  // closed, file still to be removed unless kept
        return ::close(fd) == 0;
    }
    // Renamed into place: no longer a temporary file.
    void keep()
    {
        kept_ = true;
        unlistInProgress(slot_);
        slot_ = -1;
    }

private:
    std::string path_;
    int fd_ = -1;
    bool kept_ = false;
    int slot_ = -1;
};

// Closes a descriptor when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int release()
    {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

private:
    int fd_;
};

void writeAll(int fd, std::span<const std::uint8_t> data)
{
    std::size_t done = 0;
    while (done < data.size()) {
        const long wrote = writeSome(fd, data.data() + done, data.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            throw ImagingError(messages::writeError);
        done += static_cast<std::size_t>(wrote);
    }
}

// Replaces `path` by the file its chain of symbolic links ends in (which
// need not exist yet). False for a chain that loops or runs too long.
bool followLinks(std::string& path)
{
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return true;
        std::string link(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 4096) + 1, '\0');
        const ssize_t length = ::readlink(path.c_str(), link.data(), link.size());
        if (length < 0 || static_cast<std::size_t>(length) >= link.size())
            return false;
        link.resize(static_cast<std::size_t>(length));
        path = link.starts_with('/') ? link : splitPath(path).folder + "/" + link;
    }
    return false;
}

// The mkstemp pattern of the temporary file beside `path`: hidden and named
// after it, or with a short fixed name where that would pass the folder's
// limit on name length.
std::string temporaryPattern(const std::string& path)
{
    const auto [folder, base] = splitPath(path);
    const long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    const std::string named = "." + base + ".XXXXXX";
    if (named.size() <= static_cast<std::size_t>(limit > 0 ? limit : NAME_MAX))
        return folder + "/" + named;
    return folder + "/.clipora.XXXXXX";
}

// The process's file mode mask. Reading it means setting it, so concurrent
// saves take turns: two interleaved set-and-restore pairs could leave it 0.
mode_t currentUmask()
{
    static std::mutex turn;
    const std::lock_guard lock(turn);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// Overwrites the existing file itself: no temporary file, so a failure
// part-way leaves it half written. Keeps its owner, mode and links.
template <typename CannotCreate>
void writeInPlace(const std::string& path, std::span<const std::uint8_t> data, const CannotCreate& cannotCreate)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        throw cannotCreate();
    const Descriptor file(fd);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        throw cannotCreate();
    writeAll(fd, data);
    if (::ftruncate(fd, static_cast<off_t>(data.size())) != 0 || ::fsync(fd) != 0)
        throw ImagingError(messages::writeError);
}

}  // namespace

namespace testhooks {
void setWriteFunction(WriteFunction function) { writeFunction = function; }
}  // namespace testhooks

namespace {

// Only a regular file is read: opening or reading a named pipe, a device or
// a socket can wait forever. The name is checked before opening, the open
// itself never waits, and what was opened is checked again in case the name
// was replaced in between. Returns the descriptor, in blocking mode.
int openRegularFile(const std::string& path, struct stat& info)
{
    const auto cannotOpen = [&] { return ImagingError(formatMessage(messages::cannotOpen, path)); };
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        throw cannotOpen();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        throw cannotOpen();
    Descriptor owner(fd);
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        throw cannotOpen();
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags == -1 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == -1)
        throw cannotOpen();
    return owner.release();
}

}  // namespace

FileSource::FileSource(const std::string& path)
{
    struct stat info {};
    fd_ = openRegularFile(path, info);
}

FileSource::~FileSource() { ::close(fd_); }

std::size_t FileSource::readAt(std::uint64_t offset, std::uint8_t* into, std::size_t count) noexcept
{
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = ::pread(fd_, into + done, count - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

std::vector<std::uint8_t> readFileBytes(const std::string& path)
{
    const auto cannotOpen = [&] { return ImagingError(formatMessage(messages::cannotOpen, path)); };
    struct stat info {};
    const int fd = openRegularFile(path, info);
    const Descriptor file(fd);

    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<std::size_t>(info.st_size));
    std::uint8_t buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw cannotOpen();
        if (got == 0)
            break;
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    return bytes;
}

void removeTemporaryFilesInProgress() noexcept
{
    for (InProgress& slot : inProgress)
        if (slot.state.load() == 2)
            ::unlink(slot.path);
}

void writeFileAtomic(const std::string& path, std::span<const std::uint8_t> data)
{
    const auto cannotCreate = [&] { return ImagingError(formatMessage(messages::cannotCreate, path)); };

    // A symbolic link stays: the file it leads to is the one replaced.
    std::string target = path;
    if (!followLinks(target))
        throw cannotCreate();

    // A target that exists but may not be written to (a read-only file, a
    // folder) is not replaced, just as it could not be opened for writing.
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && (!S_ISREG(existing.st_mode) || ::access(target.c_str(), W_OK) != 0))
        throw cannotCreate();

    TemporaryFile temp(temporaryPattern(target));
    if (!temp.ok()) {
        // The folder takes no new file but the file itself may be written:
        // the one save that cannot be atomic.
        if (exists && (errno == EACCES || errno == EPERM)) {
            writeInPlace(target, data, cannotCreate);
            return;
        }
        throw cannotCreate();
    }

    if (exists) {
        // The replacement belongs to the replaced file's owner and group where
        // this process may give them away (root may, others only to a group
        // they belong to); failing that it stays the writer's.
        const bool given = ::fchown(temp.fd(), existing.st_uid, existing.st_gid) == 0
                           || ::fchown(temp.fd(), static_cast<uid_t>(-1), existing.st_gid) == 0;
        static_cast<void>(given);
    }
    // mkstemp makes the file private; give it the mode a new file would get,
    // or the mode of the file it replaces (after the owner, whose change may
    // clear the set-id bits).
    mode_t mode = exists ? (existing.st_mode & 07777) : 0666;
    if (!exists)
        mode &= ~currentUmask();
    ::fchmod(temp.fd(), mode);

    writeAll(temp.fd(), data);
    if (::fsync(temp.fd()) != 0 || !temp.close())
        throw ImagingError(messages::writeError);
    if (::rename(temp.path().c_str(), target.c_str()) != 0)
        throw cannotCreate();
    temp.keep();
}

}  // namespace clipora
