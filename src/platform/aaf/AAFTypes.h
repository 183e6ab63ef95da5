// The values of AAF files: AUIDs (class, property, type and definition identifiers), mob IDs,
// rationals, time stamps and the result codes of the object layer's operations.
//
// An AUID is kept in the layout the AAF toolkits use ({Data1-Data2-Data3-Data4}: 32-bit, 16-bit,
// 16-bit, 8 bytes) and stored little-endian: Data1, Data2 and Data3 byte-swapped, Data4 as is.
// Identifiers taken from SMPTE labels ("060e2b34..." in Data4) are written here as the AAF
// specifications print them.
#pragma once

#include <array>
#include <chrono>
#include <compare>
#include <cstdint>
#include <initializer_list>
#include <string>

namespace vorlane::aaf {

struct AUID {
    uint32_t data1 = 0;
    uint16_t data2 = 0;
    uint16_t data3 = 0;
    std::array<uint8_t, 8> data4{};

    // The 16 bytes as stored in a file.
    std::array<uint8_t, 16> storedBytes() const;
    // "{0d010101-0101-3400-060e2b34-02060101}".
    std::string text() const;
    bool isNull() const { return *this == AUID{}; }
    // A new, random (version 4) identifier.
    static AUID generate();

    auto operator<=>(const AUID&) const = default;
};

// An AUID from its printed form: Data1, Data2, Data3 and Data4 as one 64-bit number
// (0x060e2b3402060101 for the bytes 06 0e 2b 34 02 06 01 01).
constexpr AUID makeAUID(uint32_t data1, uint16_t data2, uint16_t data3, uint64_t data4) {
    AUID id{data1, data2, data3, {}};
    for (int index = 0; index < 8; ++index)
        id.data4[size_t(index)] = uint8_t(data4 >> (56 - 8 * index));
    return id;
}

// A mob's identity: a 32-byte basic SMPTE UMID (12-byte label, length, instance number, and a
// 16-byte material number stored like an AUID).
struct MobID {
    std::array<uint8_t, 32> bytes{};

    // A new, unique mob ID: a basic UMID whose material number is a random (version 4) UUID.
    static MobID generate();
    bool isNull() const { return *this == MobID{}; }
    auto operator<=>(const MobID&) const = default;
};

struct Rational {
    int32_t numerator = 0;
    int32_t denominator = 1;
    auto operator<=>(const Rational&) const = default;
};

// A date and time of day in UTC, with hundredths of a second.
struct TimeStamp {
    int16_t year = 1970;
    uint8_t month = 1;
    uint8_t day = 1;
    uint8_t hour = 0;
    uint8_t minute = 0;
    uint8_t second = 0;
    uint8_t fraction = 0;

    static TimeStamp ofTime(std::chrono::system_clock::time_point time);
};

// Results of the object layer's operations, in the style of the AAF toolkits: zero is success,
// negative values are failures.
using AAFResult = int32_t;
inline constexpr AAFResult kAAFResultSuccess = 0;
inline constexpr AAFResult kAAFResultNullParam = int32_t(0x80120164);
inline constexpr AAFResult kAAFResultObjectNotFound = int32_t(0x80120160);
inline constexpr AAFResult kAAFResultAlreadyRegistered = int32_t(0x80120161);
inline constexpr AAFResult kAAFResultPropertyNotDefined = int32_t(0x80120162);
inline constexpr AAFResult kAAFResultWrongType = int32_t(0x80120163);
inline constexpr AAFResult kAAFResultAbstractClass = int32_t(0x80120165);
inline constexpr AAFResult kAAFResultWrongClass = int32_t(0x80120166);
inline constexpr AAFResult kAAFResultAlreadyAttached = int32_t(0x80120167);
inline constexpr AAFResult kAAFResultDuplicateKey = int32_t(0x80120168);
inline constexpr AAFResult kAAFResultValueTooLong = int32_t(0x80120169);
inline constexpr AAFResult kAAFResultNotOpen = int32_t(0x8012016a);
inline constexpr AAFResult kAAFResultFileWriteFailed = int32_t(0x8012016b);
inline constexpr AAFResult kAAFResultFileNotCreated = int32_t(0x8012016c);
inline constexpr AAFResult kAAFResultBadValue = int32_t(0x8012016d);

inline bool AAFFailed(AAFResult result) {
    return result < 0;
}

// The first failure among the results of several steps (all of them taken), or success.
inline AAFResult AAFFirstFailure(std::initializer_list<AAFResult> results) {
    for (const AAFResult result : results)
        if (AAFFailed(result)) return result;
    return kAAFResultSuccess;
}

}  // namespace vorlane::aaf
