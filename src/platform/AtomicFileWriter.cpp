#include "platform/AtomicFileWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <string>

namespace vorlane {

std::unique_ptr<AtomicFileWriter> AtomicFileWriter::create(
    const std::filesystem::path& destination) {
    std::unique_ptr<AtomicFileWriter> writer(new AtomicFileWriter());
    writer->destination_ = destination;
    const std::filesystem::path folder =
        destination.has_parent_path() ? destination.parent_path() : std::filesystem::path(".");
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto name =
            "." + destination.filename().string() + "." + std::to_string(random()) + ".part";
        writer->temporaryPath_ = folder / name;
        // 0666 so that the finished file gets the same permissions as any new file.
        writer->fd_ =
            ::open(writer->temporaryPath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (writer->fd_ >= 0) return writer;
        if (errno != EEXIST) break;
    }
    return nullptr;
}

AtomicFileWriter::~AtomicFileWriter() {
    discard();
}

void AtomicFileWriter::discard() {
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
    ::unlink(temporaryPath_.c_str());
}

bool AtomicFileWriter::write(std::span<const uint8_t> bytes) {
    size_t done = 0;
    while (!failed_ && done < bytes.size()) {
        const ssize_t n =
            ::pwrite(fd_, bytes.data() + done, bytes.size() - done, off_t(position_ + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            failed_ = true;
        else
            done += size_t(n);
    }
    position_ += done;
    return !failed_;
}

bool AtomicFileWriter::commit() {
    if (fd_ < 0) return false;
    const bool written = !failed_ && ::ftruncate(fd_, off_t(position_)) == 0 && ::fsync(fd_) == 0;
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    if (written && closed && ::rename(temporaryPath_.c_str(), destination_.c_str()) == 0) {
        return true;
    }
    ::unlink(temporaryPath_.c_str());
    return false;
}

}  // namespace vorlane
