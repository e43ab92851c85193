#include "fileio.h"

#include <cerrno>
#include <cstdio>
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

// Closes the descriptor and removes the temporary file unless released.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string pattern) : path_(std::move(pattern))
    {
        fd_ = ::mkstemp(path_.data());
    }
    ~TemporaryFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
        if (!kept_ && fd_ != -1)
            ::unlink(path_.c_str());
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
    void keep() { kept_ = true; }

private:
    std::string path_;
    int fd_ = -1;
    bool kept_ = false;
};

}  // namespace

namespace testhooks {
void setWriteFunction(WriteFunction function) { writeFunction = function; }
}  // namespace testhooks

std::vector<std::uint8_t> readFileBytes(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (fd >= 0)
            ::close(fd);
        throw ImagingError(formatMessage(messages::cannotOpen, path));
    }
    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<std::size_t>(info.st_size));
    std::uint8_t buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            ::close(fd);
            throw ImagingError(formatMessage(messages::cannotOpen, path));
        }
        if (got == 0)
            break;
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    ::close(fd);
    return bytes;
}

void writeFileAtomic(const std::string& path, std::span<const std::uint8_t> data)
{
    const auto cannotCreate = [&] { return ImagingError(formatMessage(messages::cannotCreate, path)); };

    // A target that exists but may not be written to (a read-only file, a
    // folder) is not replaced, just as it could not be opened for writing.
    struct stat existing {};
    const bool exists = ::stat(path.c_str(), &existing) == 0;
    if (exists && (!S_ISREG(existing.st_mode) || ::access(path.c_str(), W_OK) != 0))
        throw cannotCreate();

    const PathParts parts = splitPath(path);
    TemporaryFile temp(parts.folder + "/." + parts.name + ".XXXXXX");
    if (!temp.ok())
        throw cannotCreate();

    // mkstemp makes the file private; give it the mode a new file would get,
    // or the mode of the file it replaces.
    mode_t mode = exists ? (existing.st_mode & 07777) : 0666;
    if (!exists) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    ::fchmod(temp.fd(), mode);

    std::size_t done = 0;
    while (done < data.size()) {
        const long wrote = writeSome(temp.fd(), data.data() + done, data.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            throw ImagingError(messages::writeError);
        done += static_cast<std::size_t>(wrote);
    }
    if (::fsync(temp.fd()) != 0 || !temp.close())
        throw ImagingError(messages::writeError);
    if (::rename(temp.path().c_str(), path.c_str()) != 0)
        throw cannotCreate();
    temp.keep();
}

}  // namespace clipora
