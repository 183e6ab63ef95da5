#include "platform/aaf/AAFTypes.h"

#include <cstdio>
#include <ctime>
#include <random>

namespace vorlane::aaf {

std::array<uint8_t, 16> AUID::storedBytes() const {
    std::array<uint8_t, 16> bytes{};
    for (int index = 0; index < 4; ++index)
        bytes[size_t(index)] = uint8_t(data1 >> (8 * index));
    bytes[4] = uint8_t(data2);
    bytes[5] = uint8_t(data2 >> 8);
    bytes[6] = uint8_t(data3);
    bytes[7] = uint8_t(data3 >> 8);
    for (size_t index = 0; index < 8; ++index)
        bytes[8 + index] = data4[index];
    return bytes;
}

std::string AUID::text() const {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "{%08x-%04x-%04x-%02x%02x%02x%02x-%02x%02x%02x%02x}",
                  unsigned(data1), unsigned(data2), unsigned(data3), data4[0], data4[1], data4[2],
                  data4[3], data4[4], data4[5], data4[6], data4[7]);
    return buffer;
}

AUID AUID::generate() {
    thread_local std::mt19937_64 generator{std::random_device{}()};
    const uint64_t high = generator();
    const uint64_t low = generator();
    AUID id;
    id.data1 = uint32_t(high >> 32);
    id.data2 = uint16_t(high >> 16);
    id.data3 = uint16_t((high & 0x0fff) | 0x4000);  // version 4
    for (int index = 0; index < 8; ++index)
        id.data4[size_t(index)] = uint8_t(low >> (56 - 8 * index));
    id.data4[0] = uint8_t((id.data4[0] & 0x3f) | 0x80);  // RFC 4122 variant
    return id;
}

MobID MobID::generate() {
    // SMPTE 330M basic UMID: the UMID label for a material type not identified, material number
    // made by the UUID method, no instance number.
    static constexpr std::array<uint8_t, 13> kLabelAndLength = {
        0x06, 0x0a, 0x2b, 0x34, 0x01, 0x01, 0x01, 0x05, 0x01, 0x01, 0x0f, 0x20, 0x13};
    MobID id;
    for (size_t index = 0; index < kLabelAndLength.size(); ++index)
        id.bytes[index] = kLabelAndLength[index];
    const auto material = AUID::generate().storedBytes();
    for (size_t index = 0; index < material.size(); ++index)
        id.bytes[16 + index] = material[index];
    return id;
}

TimeStamp TimeStamp::ofTime(std::chrono::system_clock::time_point time) {
    const auto since = time.time_since_epoch();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm utc{};
    if (!gmtime_r(&seconds, &utc)) return {};
    const auto hundredths =
        std::chrono::duration_cast<std::chrono::milliseconds>(since).count() % 1000 / 10;
    return {int16_t(utc.tm_year + 1900),
            uint8_t(utc.tm_mon + 1),
            uint8_t(utc.tm_mday),
            uint8_t(utc.tm_hour),
            uint8_t(utc.tm_min),
            uint8_t(utc.tm_sec),
            uint8_t(hundredths < 0 ? 0 : hundredths)};
}

}  // namespace vorlane::aaf
