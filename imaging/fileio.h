#pragma once
// Reading a file whole and writing one without ever leaving half of it.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "bytesource.h"

namespace clipora {

// The whole file. Throws ImagingError "ファイル %s は開けません" with the path
// when it cannot be opened for reading (missing, unreadable) or is no regular
// file (a folder, a named pipe, a device: refused at once, never waited on).
std::vector<std::uint8_t> readFileBytes(const std::string& path);

// A file read a piece at a time, opened with the checks and the error of
// readFileBytes. A read that fails counts as the end of the file.
class FileSource final : public ByteSource {
public:
    explicit FileSource(const std::string& path);
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;
    std::size_t readAt(std::uint64_t offset, std::uint8_t* into, std::size_t count) noexcept override;

private:
    int fd_ = -1;
};

// Writes `data` to a temporary file in the target's folder, flushes it to
// disk and only then renames it over `path`. On any failure the temporary
// file is removed and an existing file at `path` is untouched.
// A symbolic link at `path` stays and the file it leads to is replaced. A
// replaced file keeps its mode bits, and its owner and group where the
// process may set them. One save is not atomic: an existing writable file in
// a folder that takes no new files is overwritten in place (a failure
// part-way then leaves it half written). Errors:
// "ファイル %s を作成できません" (cannot create or replace) and
// "ストリームへの書き込みエラー" (a write failed part-way).
void writeFileAtomic(const std::string& path, std::span<const std::uint8_t> data);

// Removes the temporary files that writeFileAtomic is writing at this moment
// (on any thread), leaving the files they were to replace as they are. Only
// reads memory and calls unlink, so a handler of a signal that ends the
// process may call it.
void removeTemporaryFilesInProgress() noexcept;

namespace testhooks {
// Replaces the system's write(2) for the data of writeFileAtomic; nullptr
// restores it. Lets tests provoke a full disk.
using WriteFunction = long (*)(int fd, const void* buffer, unsigned long count);
void setWriteFunction(WriteFunction function);
}  // namespace testhooks

}  // namespace clipora
