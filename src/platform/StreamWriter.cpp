#include "platform/StreamWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Text.h"

namespace vorlane::StreamWriter {

bool isStream(const std::filesystem::path& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 &&
           (S_ISFIFO(status.st_mode) || S_ISCHR(status.st_mode));
}

std::optional<std::string> writeToPath(const std::filesystem::path& path,
                                       std::span<const uint8_t> bytes) {
    // Opening a FIFO without a reader would block; without waiting it fails with ENXIO.
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return errno == ENXIO ? "no program reads from it" : systemErrorText(errno);
    struct stat status {};
    std::optional<std::string> problem;
    if (::fstat(fd, &status) != 0 || !(S_ISFIFO(status.st_mode) || S_ISCHR(status.st_mode)))
        problem = "it is no stream";
    else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
        problem = systemErrorText(errno);
    else
        problem = writeToDescriptor(fd, bytes);
    ::close(fd);
    return problem;
}

std::optional<std::string> writeToDescriptor(int fd, std::span<const uint8_t> bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t count = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) return systemErrorText(count < 0 ? errno : EIO);
        done += size_t(count);
    }
    return std::nullopt;
}

}  // namespace vorlane::StreamWriter
