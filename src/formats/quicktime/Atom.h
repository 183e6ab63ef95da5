// One loaded QuickTime / ISO base media atom: its payload (header excluded) and a read cursor.
// Sub-atoms share their parent's bytes without copying. Every read is checked against the
// payload: reading or seeking past its end raises AtomSeekError, which the parse that walks the
// atoms catches (QtAtomReader::parseAtoms) so that a damaged file ends its parse cleanly.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace vorlane {

// "AtomSeekError" with the reason "Index beyond bounds".
class AtomSeekError : public std::out_of_range {
  public:
    static constexpr const char* kName = "AtomSeekError";
    AtomSeekError() : std::out_of_range("Index beyond bounds") {}
};

class Atom {
  public:
    Atom(std::vector<uint8_t> data, uint32_t type);  // initWithData:type:

    uint32_t type() const { return type_; }
    uint64_t size() const { return size_; }
    uint64_t dataLocation() const { return location_; }
    std::span<const uint8_t> data() const { return {buffer_->data() + begin_, size_t(size_)}; }

    // Positions up to and including size() are allowed; beyond raises AtomSeekError.
    void seekAbsolute(uint64_t position);
    void seekRelative(int64_t offset);
    bool reachedEnd() const { return location_ >= size_; }

    // Big-endian reads at the cursor, each advancing it by what it consumes.
    uint8_t readUnit8();
    uint16_t readUint16();
    uint32_t readUnit32();
    // Three bytes in bits 31 to 8 of the result, the low byte zero.
    uint32_t readFlags();
    std::vector<uint8_t> readDataWithLength(uint64_t length);
    // Four bytes as a four-character text.
    std::string readFourCC();
    // A length byte and that many following bytes (cut at the payload's end) as text. The cursor
    // moves past the length byte only.
    std::string readString();

    // The sub-atom at the cursor (32-bit size and type), or nothing at the end of the payload.
    // A size below 8 or past the payload raises AtomSeekError.
    std::optional<Atom> readSubAtom();
    // Sub-atoms from `offset` to the end of the payload whose type is `type` (0: all), in order.
    // A non-zero offset skips a fixed prefix (a `uuid` atom's 16-byte identifier).
    std::vector<Atom> subAtomsWithType(uint32_t type, uint64_t offset = 0);

    std::string description() const;

  private:
    Atom(std::shared_ptr<const std::vector<uint8_t>> buffer, uint64_t begin, uint64_t size,
         uint32_t type);
    // The next `length` payload bytes; raises AtomSeekError when fewer remain.
    const uint8_t* take(uint64_t length);

    std::shared_ptr<const std::vector<uint8_t>> buffer_;
    uint64_t begin_ = 0;
    uint64_t size_ = 0;
    uint64_t location_ = 0;
    uint32_t type_ = 0;
};

}  // namespace vorlane
