// Writes a file so that the destination either appears complete or not at all: the bytes go to a
// temporary file in the destination's folder, which commit() renames over the destination. A
// writer destroyed without a successful commit removes its temporary file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>

namespace vorlane {

class AtomicFileWriter {
  public:
    // Creates the temporary file; nullptr when the folder does not take it.
    static std::unique_ptr<AtomicFileWriter> create(const std::filesystem::path& destination);

    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // Appends bytes; false once any write has failed.
    bool write(std::span<const uint8_t> bytes);
    // Appends zero bytes without writing them (a hole in the file).
    void skip(uint64_t length) { position_ += length; }
    uint64_t position() const { return position_; }

    // Sets the length, flushes to disk and renames over the destination; false (temporary file
    // removed, destination untouched) when anything failed.
    bool commit();

    const std::filesystem::path& temporaryPath() const { return temporaryPath_; }

  private:
    AtomicFileWriter() = default;
    void discard();

    int fd_ = -1;
    std::filesystem::path destination_;
    std::filesystem::path temporaryPath_;
    uint64_t position_ = 0;
    bool failed_ = false;
};

}  // namespace vorlane
