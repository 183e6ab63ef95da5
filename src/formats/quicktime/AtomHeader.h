// The header of one top-level QuickTime / ISO base media atom, read without its payload: the
// four-character type, the total size (header included, the 64-bit size when the 32-bit field
// is 1) and where in the file the atom starts.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace vorlane {

class AtomHeader {
  public:
    AtomHeader(uint32_t type, uint64_t size, uint64_t absoluteFilePosition, bool hasExtendedSize)
        : type_(type),
          size_(size),
          absoluteFilePosition_(absoluteFilePosition),
          hasExtendedSize_(hasExtendedSize) {}

    // Exactly 8 or 16 bytes (any other length yields no header); a size field of 1 needs all 16.
    static std::optional<AtomHeader> initWithData(std::span<const uint8_t> data);

    uint32_t type() const { return type_; }
    uint64_t size() const { return size_; }
    void setSize(uint64_t size) { size_ = size; }
    uint64_t absoluteFilePosition() const { return absoluteFilePosition_; }
    void setAbsoluteFilePosition(uint64_t position) { absoluteFilePosition_ = position; }
    bool hasExtendedSize() const { return hasExtendedSize_; }
    // 8, or 16 with the extended size.
    uint64_t headerLength() const { return hasExtendedSize_ ? 16 : 8; }

    std::string description() const;

  private:
    uint32_t type_;
    uint64_t size_;
    uint64_t absoluteFilePosition_;
    bool hasExtendedSize_;
};

}  // namespace vorlane
