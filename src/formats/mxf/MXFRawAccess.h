// The file-level walk over an MXF file: reads one KLV item after another and turns each into an
// object of the class its key belongs to. Packs, header metadata sets, index segments and XML
// metadata are loaded and parsed; essence, fillers and unknown items are skipped by seeking, so a
// file of many gigabytes is walked by reading only its structure. Every value length the file
// claims is checked against what remains of the file before anything is read or allocated.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "formats/mxf/MXFKeyLengthValue.h"
#include "platform/FileReader.h"

namespace vorlane {

class MXFPartitionPack;

class MXFRawAccess {
  public:
    // The largest value the walk loads into memory; longer items of a loaded class are treated
    // as unknown items and skipped.
    static constexpr uint64_t kMaximumLoadedLength = 64ull << 20;

    // initWithURL: the file open for reading at position 0; nullptr when it cannot be opened.
    static std::unique_ptr<MXFRawAccess> initWithURL(const std::filesystem::path& url);
    // A walk over an open reader (buffers in tests and fuzzing).
    explicit MXFRawAccess(std::unique_ptr<FileReader> fileHandle);

    void close() { fileHandle_.reset(); }
    uint64_t fileSize() const { return fileSize_; }
    // The current file position.
    uint64_t position() const { return position_; }
    // Bytes read from the file so far (for measurements).
    uint64_t bytesRead() const { return fileHandle_ ? fileHandle_->bytesRead() : 0; }

    // The item at the current position, leaving the position at the end of its value; nullptr
    // at the end of the file, for a length of more than 8 bytes or a loaded item cut off by the
    // end of the file. Raises the bounds errors when a pack or set is shorter than its fields.
    std::shared_ptr<MXFKeyLengthValue> nextKLV();
    void seekToOffset(uint64_t offset) { position_ = offset; }
    std::shared_ptr<MXFKeyLengthValue> klvAtFileOffset(uint64_t offset);
    // The key and length of the item at an offset as a plain item, without choosing its class or
    // reading its value; the position is left at the end of its value. nullptr as nextKLV.
    std::shared_ptr<MXFKeyLengthValue> klvHeaderAtFileOffset(uint64_t offset);
    // Exactly `length` bytes at an offset; nothing when they are not all in the file.
    std::optional<std::vector<uint8_t>> readDataAtOffset(uint64_t offset, uint64_t length);

    // The header partition pack: the first item when it is a partition pack, else the first
    // partition pack within the first 64 KiB (after a run-in), whose footer offset is then moved
    // by the run-in's length; else the first item read (nullptr for none).
    std::shared_ptr<MXFKeyLengthValue> headerPartition();
    // Length of the run-in before the header partition found by headerPartition() (0 without).
    uint64_t runInLength() const { return runInLength_; }

  private:
    struct ItemHeader;
    // Reads the key and length at the current position; nothing where nextKLV answers nullptr.
    std::optional<ItemHeader> readItemHeader();

    std::unique_ptr<FileReader> fileHandle_;
    uint64_t fileSize_ = 0;
    uint64_t position_ = 0;
    uint64_t runInLength_ = 0;
};

}  // namespace vorlane
