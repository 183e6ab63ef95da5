// The broadcast audio extension (`bext`) of a Broadcast Wave file as one fixed record of 858
// bytes: the fields of the version 2 layout followed by the first 256 bytes of the coding
// history, little-endian and packed. Shorter chunks (older versions, a short coding history) fill
// the leading part and leave the rest zero.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace vorlane {

class BextRecord {
  public:
    static constexpr size_t kSize = 858;
    // The chunk must reach this far for its TimeReference to be present.
    static constexpr size_t kTimeReferenceEnd = 346;

    // An all-zero record.
    BextRecord() = default;
    // The leading bytes of a chunk (or of a stored record); extra bytes are ignored.
    explicit BextRecord(std::span<const uint8_t> bytes);

    const std::array<uint8_t, kSize>& bytes() const { return bytes_; }

    // Text fields, each cut at its first NUL byte.
    std::string description() const { return textField(0, 256); }
    std::string originator() const { return textField(256, 32); }
    std::string originatorReference() const { return textField(288, 32); }
    std::string originationDate() const { return textField(320, 10); }
    std::string originationTime() const { return textField(330, 8); }
    std::string codingHistory() const { return textField(602, 256); }

    uint64_t timeReference() const;
    uint16_t version() const;
    std::span<const uint8_t, 64> umid() const { return std::span(bytes_).subspan<348, 64>(); }
    int16_t loudnessValue() const { return signedField(412); }
    int16_t loudnessRange() const { return signedField(414); }
    int16_t maxTruePeakLevel() const { return signedField(416); }
    int16_t maxMomentaryLoudness() const { return signedField(418); }
    int16_t maxShortTermLoudness() const { return signedField(420); }

    // Writes up to 31 bytes of the text and a NUL (the rest of the field stays as it was).
    void setOriginator(const std::string& originator);
    void setTimeReference(uint64_t samples);

    // Every field as readable lines: the numbers and short texts in record order, then the
    // description and the coding history.
    std::string listing() const;

  private:
    std::string textField(size_t offset, size_t width) const;
    int16_t signedField(size_t offset) const;

    std::array<uint8_t, kSize> bytes_{};
};

}  // namespace vorlane
