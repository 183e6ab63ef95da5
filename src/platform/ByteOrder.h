// Fixed-width integer reads and writes in big- and little-endian byte order. Callers check
// bounds first; these helpers never look past the bytes they are given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vorlane {

inline uint16_t readBE16(const uint8_t* p) {
    return uint16_t(p[0] << 8 | p[1]);
}
inline uint32_t readBE24(const uint8_t* p) {
    return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
}
inline uint32_t readBE32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
inline uint64_t readBE64(const uint8_t* p) {
    return uint64_t(readBE32(p)) << 32 | readBE32(p + 4);
}

inline uint16_t readLE16(const uint8_t* p) {
    return uint16_t(p[1] << 8 | p[0]);
}
inline uint32_t readLE24(const uint8_t* p) {
    return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}
inline uint32_t readLE32(const uint8_t* p) {
    return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}
inline uint64_t readLE64(const uint8_t* p) {
    return uint64_t(readLE32(p + 4)) << 32 | readLE32(p);
}

inline void writeBE16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v >> 8);
    p[1] = uint8_t(v);
}
inline void writeBE32(uint8_t* p, uint32_t v) {
    writeBE16(p, uint16_t(v >> 16));
    writeBE16(p + 2, uint16_t(v));
}
inline void writeBE64(uint8_t* p, uint64_t v) {
    writeBE32(p, uint32_t(v >> 32));
    writeBE32(p + 4, uint32_t(v));
}
inline void writeLE16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void writeLE32(uint8_t* p, uint32_t v) {
    writeLE16(p, uint16_t(v));
    writeLE16(p + 2, uint16_t(v >> 16));
}
inline void writeLE64(uint8_t* p, uint64_t v) {
    writeLE32(p, uint32_t(v));
    writeLE32(p + 4, uint32_t(v >> 32));
}

// A four-character code with the first character in the most significant byte.
constexpr uint32_t fourCC(const char (&code)[5]) {
    return uint32_t(uint8_t(code[0])) << 24 | uint32_t(uint8_t(code[1])) << 16 |
           uint32_t(uint8_t(code[2])) << 8 | uint32_t(uint8_t(code[3]));
}

// The four characters of a code; bytes outside printable ASCII show as '.'.
inline std::string fourCCString(uint32_t code) {
    std::string text(4, ' ');
    for (int i = 0; i < 4; ++i) {
        const char c = char((code >> (24 - 8 * i)) & 0xff);
        text[size_t(i)] = (c >= 0x20 && c < 0x7f) ? c : '.';
    }
    return text;
}

}  // namespace vorlane
