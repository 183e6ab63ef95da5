// Hand-made RIFF bytes for the chunk reader and writer tests: chunks with any declared size, with
// or without their pad byte, in RIFF, RF64 or BW64 files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/ByteOrder.h"

namespace vorlane::test {

inline std::string le32(uint32_t value) {
    std::string bytes(4, '\0');
    writeLE32(reinterpret_cast<uint8_t*>(bytes.data()), value);
    return bytes;
}

inline std::string le64(uint64_t value) {
    return le32(uint32_t(value)) + le32(uint32_t(value >> 32));
}

// A chunk: id, the declared size (the payload's length unless given), the payload, and a zero
// pad byte after an odd payload unless `pad` is false.
inline std::string chunk(const std::string& id, const std::string& payload, bool pad = true,
                         std::optional<uint32_t> declared = std::nullopt) {
    std::string bytes = id + le32(declared.value_or(uint32_t(payload.size()))) + payload;
    if (pad && payload.size() % 2) bytes += '\0';
    return bytes;
}

// A file header before `body` (the chunks); the size field is correct unless given.
inline std::string riff(const std::string& body, const std::string& kind = "RIFF",
                        std::optional<uint32_t> declared = std::nullopt) {
    return kind + le32(declared.value_or(uint32_t(body.size() + 4))) + "WAVE" + body;
}

inline std::string fmtPayload(uint16_t channels, uint32_t rate, uint16_t bits, uint16_t tag = 1) {
    std::string p(16, '\0');
    auto* b = reinterpret_cast<uint8_t*>(p.data());
    const uint16_t blockAlign = uint16_t(channels * bits / 8);
    writeLE16(b, tag);
    writeLE16(b + 2, channels);
    writeLE32(b + 4, rate);
    writeLE32(b + 8, rate * blockAlign);
    writeLE16(b + 12, blockAlign);
    writeLE16(b + 14, bits);
    return p;
}

// A `ds64` payload: RIFF size, data size, sample count and a table of (id, size) entries.
inline std::string ds64Payload(uint64_t riffSize, uint64_t dataSize, uint64_t samples,
                               const std::string& tableId = "", uint64_t tableSize = 0) {
    std::string p = le64(riffSize) + le64(dataSize) + le64(samples);
    if (tableId.empty()) return p + le32(0);
    return p + le32(1) + tableId + le64(tableSize);
}

}  // namespace vorlane::test
