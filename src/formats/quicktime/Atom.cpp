#include "formats/quicktime/Atom.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "platform/ByteOrder.h"

namespace vorlane {

Atom::Atom(std::vector<uint8_t> data, uint32_t type)
    : buffer_(std::make_shared<const std::vector<uint8_t>>(std::move(data))),
      size_(buffer_->size()),
      type_(type) {}

Atom::Atom(std::shared_ptr<const std::vector<uint8_t>> buffer, uint64_t begin, uint64_t size,
           uint32_t type)
    : buffer_(std::move(buffer)), begin_(begin), size_(size), type_(type) {}

void Atom::seekAbsolute(uint64_t position) {
    if (position > size_) throw AtomSeekError();
    location_ = position;
}

void Atom::seekRelative(int64_t offset) {
    // Unsigned distances, so that no sum overflows before the bounds check.
    const uint64_t distance = offset < 0 ? uint64_t(0) - uint64_t(offset) : uint64_t(offset);
    if (offset < 0) {
        if (distance > location_) throw AtomSeekError();
        seekAbsolute(location_ - distance);
    } else {
        if (distance > size_ - location_) throw AtomSeekError();
        seekAbsolute(location_ + distance);
    }
}

const uint8_t* Atom::take(uint64_t length) {
    if (length > size_ - location_) throw AtomSeekError();
    const uint8_t* bytes = buffer_->data() + begin_ + location_;
    location_ += length;
    return bytes;
}

uint8_t Atom::readUnit8() {
    return *take(1);
}

uint16_t Atom::readUint16() {
    return readBE16(take(2));
}

uint32_t Atom::readUnit32() {
    return readBE32(take(4));
}

uint32_t Atom::readFlags() {
    return readBE24(take(3)) << 8;
}

std::vector<uint8_t> Atom::readDataWithLength(uint64_t length) {
    const uint8_t* bytes = take(length);
    return {bytes, bytes + length};
}

std::string Atom::readFourCC() {
    const uint8_t* bytes = take(4);
    return {bytes, bytes + 4};
}

std::string Atom::readString() {
    const uint8_t claimed = readUnit8();
    const uint64_t length = std::min<uint64_t>(claimed, size_ - location_);
    const uint8_t* bytes = buffer_->data() + begin_ + location_;
    return {bytes, bytes + length};
}

std::optional<Atom> Atom::readSubAtom() {
    if (reachedEnd()) return std::nullopt;
    const uint32_t size = readUnit32();
    const uint32_t type = readUnit32();
    if (size < 8) throw AtomSeekError();
    const uint64_t payload = size - 8;
    const uint64_t start = location_;
    seekRelative(int64_t(payload));
    return Atom(buffer_, begin_ + start, payload, type);
}

std::vector<Atom> Atom::subAtomsWithType(uint32_t type, uint64_t offset) {
    seekAbsolute(offset);
    std::vector<Atom> atoms;
    while (auto atom = readSubAtom()) {
        if (type == 0 || atom->type() == type) atoms.push_back(std::move(*atom));
    }
    return atoms;
}

std::string Atom::description() const {
    char text[64];
    std::snprintf(text, sizeof text, "Atom %s (size=%" PRId64 ")", fourCCString(type_).c_str(),
                  int64_t(size_));
    return text;
}

}  // namespace vorlane
