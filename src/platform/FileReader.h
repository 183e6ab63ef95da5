// Bounded random-access reading of a file or of a buffer in memory. Every container parser reads
// through it, so a claimed size can always be checked against what the source really holds, and
// benchmarks can report how many bytes an analysis read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace vorlane {

class FileReader {
  public:
    // Opens a file for reading; nullptr when it cannot be opened or is not a regular file.
    static std::unique_ptr<FileReader> open(const std::filesystem::path& path);
    // Reads from a copy of the bytes (fuzz targets and tests).
    static std::unique_ptr<FileReader> fromBuffer(std::span<const uint8_t> bytes);

    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    uint64_t size() const { return size_; }
    // Bytes delivered by all reads so far.
    uint64_t bytesRead() const { return bytesRead_; }
    // True when [offset, offset + length) lies inside the source.
    bool contains(uint64_t offset, uint64_t length) const {
        return offset <= size_ && length <= size_ - offset;
    }

    // Tells the system that reads jump through the file, so it reads no more than is asked for
    // (no read-ahead). Nothing to do for buffers.
    void setRandomAccess();

    // Reads exactly `length` bytes at `offset`; false (and nothing read) when the range is not
    // inside the source or the read fails.
    bool readAt(uint64_t offset, void* destination, size_t length);
    // The same into a new buffer; nothing when the range is not inside the source.
    std::optional<std::vector<uint8_t>> readBytes(uint64_t offset, size_t length);

  private:
    FileReader() = default;

    int fd_ = -1;
    std::vector<uint8_t> memory_;
    uint64_t size_ = 0;
    uint64_t bytesRead_ = 0;
};

}  // namespace vorlane
