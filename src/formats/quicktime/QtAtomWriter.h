// Builds QuickTime atoms in memory: big-endian numbers, four-character codes and nested atoms whose
// 32-bit sizes are filled in when each atom is closed. Used for the movies this program writes
// itself (reference movies) and for atoms made in tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vorlane {

class QtAtomWriter {
  public:
    void appendBE8(uint8_t value) { bytes_.push_back(value); }
    void appendBE16(uint16_t value);
    void appendBE32(uint32_t value);
    void appendBE64(uint64_t value);
    // A four-character code such as "moov"; shorter texts are padded with spaces.
    void appendType(std::string_view type);
    void appendBytes(std::string_view bytes);
    void appendBytes(const std::vector<uint8_t>& bytes);
    void appendZeros(size_t count) { bytes_.resize(bytes_.size() + count, 0); }
    // A Pascal string in a field of fixed length (the length byte included), cut to fit.
    void appendPascalString(std::string_view text, size_t fieldLength);

    // Opens an atom of the type; its size is written when it is closed. Atoms nest.
    void beginAtom(std::string_view type);
    // An ISO full box: the atom with its version and 24-bit flags.
    void beginFullAtom(std::string_view type, uint8_t version, uint32_t flags);
    // Closes the innermost open atom. An atom larger than a 32-bit size can state marks the
    // writer as failed.
    void endAtom();

    // False when an atom grew too large or atoms were left open or closed too often.
    bool complete() const { return !failed_ && open_.empty(); }
    const std::vector<uint8_t>& bytes() const { return bytes_; }
    std::string string() const { return {bytes_.begin(), bytes_.end()}; }
    size_t size() const { return bytes_.size(); }

  private:
    std::vector<uint8_t> bytes_;
    std::vector<size_t> open_;
    bool failed_ = false;
};

}  // namespace vorlane
