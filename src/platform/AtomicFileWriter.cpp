#include "platform/AtomicFileWriter.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <random>
#include <string_view>

#include "platform/Text.h"

namespace vorlane {
namespace {

namespace fs = std::filesystem;

// Room for ".<process>-<n>.part" in a temporary name.
constexpr size_t kLongestSuffix = 32;
constexpr int kMostLinkHops = 40;

thread_local std::string failure;

// Why a file of this kind is never replaced; nothing for a regular file.
std::optional<std::string> notAFile(mode_t mode) {
    if (S_ISDIR(mode)) return "it is a folder";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "it is a device, not a file";
    if (S_ISFIFO(mode)) return "it is a FIFO (named pipe), not a file";
    if (S_ISSOCK(mode)) return "it is a socket, not a file";
    return std::nullopt;
}

// The path that a write to the destination replaces: the destination itself, or the final target
// of the symbolic links it leads through (which need not exist yet).
std::optional<fs::path> replacedPath(const fs::path& destination) {
    fs::path current = destination;
    for (int hop = 0; hop < kMostLinkHops; ++hop) {
        struct stat status {};
        if (::lstat(current.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return current;
        std::string target(PATH_MAX, '\0');
        const ssize_t length = ::readlink(current.c_str(), target.data(), target.size());
        if (length < 0) {
            failure = systemErrorText(errno);
            return std::nullopt;
        }
        target.resize(size_t(length));
        current =
            fs::path(target).is_absolute() ? fs::path(target) : current.parent_path() / target;
    }
    failure = systemErrorText(ELOOP);
    return std::nullopt;
}

// The longest file name the folder takes.
size_t nameLimit(const fs::path& folder) {
    const long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    return limit > long(kLongestSuffix) + 8 ? size_t(limit) : NAME_MAX;
}

// ".NAME.", with NAME cut (at a character boundary) so that the temporary name fits the limit.
std::string temporaryPrefix(const std::string& name, size_t limit) {
    size_t length = std::min(name.size(), limit - kLongestSuffix - 2);
    while (length > 1 && length < name.size() && (uint8_t(name[length]) & 0xC0) == 0x80)
        --length;
    return "." + name.substr(0, length) + ".";
}

bool allDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// The process that made a temporary file, from the rest of its name after the prefix
// ("<process>-<n>.part"); nothing for names of another form.
std::optional<pid_t> writerProcess(std::string_view rest) {
    if (!rest.ends_with(".part")) return std::nullopt;
    rest.remove_suffix(5);
    const size_t dash = rest.find('-');
    if (dash == std::string_view::npos || !allDigits(rest.substr(0, dash)) ||
        !allDigits(rest.substr(dash + 1)))
        return std::nullopt;
    pid_t process = 0;
    if (std::from_chars(rest.data(), rest.data() + dash, process).ec != std::errc())
        return std::nullopt;
    return process;
}

// Removes the temporary files with the prefix that a program now ended left behind: its process
// is gone, the file is ours and no writer holds its lock.
void removeStaleTemporaryFiles(const fs::path& folder, const std::string& prefix) {
    std::error_code error;
    for (fs::directory_iterator entries(folder, error), end; !error && entries != end;
         entries.increment(error)) {
        const std::string name = entries->path().filename().string();
        if (!name.starts_with(prefix)) continue;
        const auto process = writerProcess(std::string_view(name).substr(prefix.size()));
        if (!process || *process == ::getpid() || ::kill(*process, 0) == 0 || errno != ESRCH)
            continue;
        const int fd =
            ::open(entries->path().c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat status {};
        if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_uid == ::geteuid() &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(entries->path().c_str());
        ::close(fd);
    }
}

// The replaced file's owner, group and permission bits for the new one; the mode last, as a
// change of owner clears set-user-ID bits.
void keepOwnerAndMode(int fd, const struct stat& replaced) {
    if (replaced.st_uid != ::geteuid() || replaced.st_gid != ::getegid()) {
        // Only root may give a file away; anyone else keeps the new file as their own.
        [[maybe_unused]] const int given = ::fchown(fd, replaced.st_uid, replaced.st_gid);
    }
    ::fchmod(fd, replaced.st_mode & 07777);
}

}  // namespace

AtomicFileWriter::AtomicFileWriter(fs::path target, fs::path temporaryPath)
    : target_(std::move(target)),
      temporaryPath_(std::move(temporaryPath)),
      removal_(temporaryPath_) {}

std::unique_ptr<AtomicFileWriter> AtomicFileWriter::create(const fs::path& destination) {
    failure.clear();
    struct stat replaced {};
    const bool replaces = ::stat(destination.c_str(), &replaced) == 0;
    if (const auto why = replaces ? notAFile(replaced.st_mode) : std::nullopt) {
        failure = *why;
        return nullptr;
    }
    const auto target = replacedPath(destination);
    if (!target) return nullptr;
    const fs::path folder = target->has_parent_path() ? target->parent_path() : fs::path(".");
    struct stat folderStatus {};
    if (::stat(folder.c_str(), &folderStatus) != 0 && errno != ENOENT && errno != ENOTDIR) {
        failure = systemErrorText(errno);
        return nullptr;
    }
    if (!S_ISDIR(folderStatus.st_mode)) {
        failure = "no such folder " + folder.string();
        return nullptr;
    }
    const std::string name = target->filename().string();
    const size_t limit = nameLimit(folder);
    if (name.size() > limit) {
        failure = systemErrorText(ENAMETOOLONG);
        return nullptr;
    }
    const std::string prefix = temporaryPrefix(name, limit);
    removeStaleTemporaryFiles(folder, prefix);
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temporaryName =
            prefix + std::to_string(::getpid()) + "-" + std::to_string(random()) + ".part";
        // Listed for removal before it exists, so that no signal can leave it behind.
        std::unique_ptr<AtomicFileWriter> writer(
            new AtomicFileWriter(*target, folder / temporaryName));
        // 0666 so that a new file gets the same permissions as any new file.
        writer->fd_ =
            ::open(writer->temporaryPath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (writer->fd_ >= 0) {
            ::flock(writer->fd_, LOCK_EX | LOCK_NB);
            if (replaces) keepOwnerAndMode(writer->fd_, replaced);
            return writer;
        }
        if (errno != EEXIST) break;
    }
    failure = systemErrorText(errno);
    return nullptr;
}

std::optional<std::string> AtomicFileWriter::destinationProblem(const fs::path& destination) {
    if (create(destination)) return std::nullopt;
    return failure;
}

const std::string& AtomicFileWriter::lastFailure() {
    return failure;
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

bool AtomicFileWriter::fail(int error) {
    if (!failed_) failure = systemErrorText(error);
    failed_ = true;
    return false;
}

bool AtomicFileWriter::write(std::span<const uint8_t> bytes) {
    size_t done = 0;
    while (!failed_ && done < bytes.size()) {
        const ssize_t n =
            ::pwrite(fd_, bytes.data() + done, bytes.size() - done, off_t(position_ + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            fail(n < 0 ? errno : EIO);
        else
            done += size_t(n);
    }
    position_ += done;
    return !failed_;
}

void AtomicFileWriter::seek(uint64_t position) {
    length_ = std::max(length_, position_);
    position_ = position;
}

bool AtomicFileWriter::commit() {
    if (fd_ < 0) return fail(EBADF);
    if (!failed_ &&
        (::ftruncate(fd_, off_t(std::max(length_, position_))) != 0 || ::fsync(fd_) != 0))
        fail(errno);
    if (::close(fd_) != 0) fail(errno);
    fd_ = -1;
    if (!failed_ && ::rename(temporaryPath_.c_str(), target_.c_str()) == 0) return true;
    if (!failed_) fail(errno);
    ::unlink(temporaryPath_.c_str());
    return false;
}

}  // namespace vorlane
