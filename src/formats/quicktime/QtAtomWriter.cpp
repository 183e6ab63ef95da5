#include "formats/quicktime/QtAtomWriter.h"

#include <algorithm>
#include <limits>

namespace vorlane {

void QtAtomWriter::appendBE16(uint16_t value) {
    appendBE8(uint8_t(value >> 8));
    appendBE8(uint8_t(value));
}

void QtAtomWriter::appendBE32(uint32_t value) {
    appendBE16(uint16_t(value >> 16));
    appendBE16(uint16_t(value));
}

void QtAtomWriter::appendBE64(uint64_t value) {
    appendBE32(uint32_t(value >> 32));
    appendBE32(uint32_t(value));
}

void QtAtomWriter::appendType(std::string_view type) {
    for (size_t i = 0; i < 4; ++i)
        appendBE8(i < type.size() ? uint8_t(type[i]) : uint8_t(' '));
}

void QtAtomWriter::appendBytes(std::string_view bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
}

void QtAtomWriter::appendBytes(const std::vector<uint8_t>& bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
}

void QtAtomWriter::appendPascalString(std::string_view text, size_t fieldLength) {
    if (fieldLength == 0) return;
    const size_t length = std::min({text.size(), fieldLength - 1, size_t(255)});
    appendBE8(uint8_t(length));
    appendBytes(text.substr(0, length));
    appendZeros(fieldLength - 1 - length);
}

void QtAtomWriter::beginAtom(std::string_view type) {
    open_.push_back(bytes_.size());
    appendBE32(0);
    appendType(type);
}

void QtAtomWriter::beginFullAtom(std::string_view type, uint8_t version, uint32_t flags) {
    beginAtom(type);
    appendBE32(uint32_t(version) << 24 | (flags & 0xFFFFFF));
}

void QtAtomWriter::endAtom() {
    if (open_.empty()) {
        failed_ = true;
        return;
    }
    const size_t start = open_.back();
    open_.pop_back();
    const size_t size = bytes_.size() - start;
    if (size > std::numeric_limits<uint32_t>::max()) {
        failed_ = true;
        return;
    }
    for (size_t i = 0; i < 4; ++i)
        bytes_[start + i] = uint8_t(size >> (24 - 8 * i));
}

}  // namespace vorlane
