#include "platform/FileReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vorlane {

std::unique_ptr<FileReader> FileReader::open(const std::filesystem::path& path) {
    // Without blocking: opening a FIFO or a device put where a file was expected (a sidecar
    // beside a clip, say) would wait for a writer or talk to the device. Only a regular file is
    // kept, and then read blocking.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat info {};
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || flags < 0 ||
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return nullptr;
    }
    std::unique_ptr<FileReader> reader(new FileReader());
    reader->fd_ = fd;
    reader->size_ = static_cast<uint64_t>(info.st_size);
    return reader;
}

std::unique_ptr<FileReader> FileReader::fromBuffer(std::span<const uint8_t> bytes) {
    std::unique_ptr<FileReader> reader(new FileReader());
    reader->memory_.assign(bytes.begin(), bytes.end());
    reader->size_ = bytes.size();
    return reader;
}

FileReader::~FileReader() {
    if (fd_ >= 0) ::close(fd_);
}

bool FileReader::readAt(uint64_t offset, void* destination, size_t length) {
    if (!contains(offset, length)) return false;
    if (length == 0) return true;
    if (fd_ < 0) {
        std::memcpy(destination, memory_.data() + offset, length);
        bytesRead_ += length;
        return true;
    }
    auto* out = static_cast<uint8_t*>(destination);
    size_t done = 0;
    while (done < length) {
        const ssize_t n =
            ::pread(fd_, out + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    bytesRead_ += length;
    return true;
}

std::optional<std::vector<uint8_t>> FileReader::readBytes(uint64_t offset, size_t length) {
    if (!contains(offset, length)) return std::nullopt;
    std::vector<uint8_t> bytes(length);
    if (!readAt(offset, bytes.data(), length)) return std::nullopt;
    return bytes;
}

void FileReader::adviseRandomAccess() {
    if (fd_ >= 0) ::posix_fadvise(fd_, 0, 0, POSIX_FADV_RANDOM);
}

uint64_t FileReader::nextDataOffset(uint64_t offset) const {
    if (fd_ < 0 || offset >= size_) return std::min(offset, size_);
    const off_t found = ::lseek(fd_, off_t(offset), SEEK_DATA);
    if (found >= 0) return std::min(uint64_t(found), size_);
    // ENXIO: only a hole follows, unless the file has shrunk since it was opened (then the read
    // at `offset` fails, as it should).
    struct stat info {};
    if (errno != ENXIO || ::fstat(fd_, &info) != 0 || uint64_t(info.st_size) < size_) return offset;
    return size_;
}

uint64_t FileReader::nextHoleOffset(uint64_t offset) const {
    if (fd_ < 0 || offset >= size_) return size_;
    const off_t found = ::lseek(fd_, off_t(offset), SEEK_HOLE);
    return found >= 0 ? std::min(uint64_t(found), size_) : size_;
}

}  // namespace vorlane
