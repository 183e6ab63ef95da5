#include "platform/FileReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vorlane {

std::unique_ptr<FileReader> FileReader::open(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
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

void FileReader::setRandomAccess() {
    if (fd_ >= 0) ::posix_fadvise(fd_, 0, 0, POSIX_FADV_RANDOM);
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

}  // namespace vorlane
