// The byte layouts in which AAF keeps objects in structured storage: every object is a storage
// whose class ID is the object's class, holding a "properties" stream (the property index: one
// entry per property with its local ID, stored form and length, then the values); strong
// references name sub-storages, collections of them add an index stream beside their elements,
// and weak references point into a collection through the file's table of referenced property
// paths ("referenced properties" in the root storage). All integers are little-endian.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/aaf/AAFTypes.h"

namespace vorlane::aaf {

using Bytes = std::vector<uint8_t>;

// How a property's value is kept.
enum class StoredForm : uint16_t {
    Data = 0x82,
    DataStream = 0x42,
    StrongReference = 0x22,
    StrongReferenceVector = 0x32,
    StrongReferenceSet = 0x3a,
    WeakReference = 0x02,
    WeakReferenceVector = 0x12,
    WeakReferenceSet = 0x1a,
};

namespace StoredFormat {

inline constexpr uint8_t kLittleEndian = 0x4c;  // 'L'
inline constexpr uint8_t kPropertyIndexVersion = 0x20;
inline constexpr uint32_t kNoFreeKey = 0xffffffff;
inline constexpr char kPropertiesStreamName[] = "properties";
inline constexpr char kReferencedPropertiesStreamName[] = "referenced properties";
// Structured-storage names hold at most 31 characters.
inline constexpr size_t kStorageNameLimit = 32;
// Collection names leave room for "{<local key in hex>}" after them.
inline constexpr size_t kCollectionNameLimit = kStorageNameLimit - 10;

struct PropertyEntry {
    uint16_t pid = 0;
    StoredForm form = StoredForm::Data;
    Bytes value;
};

// The "properties" stream: byte order, version, entry count, the entries (pid, form, length) and
// the values in entry order. False (nothing written) when a value is longer than 65535 bytes or
// there are more than 65535 entries.
bool encodePropertyIndex(const std::vector<PropertyEntry>& entries, Bytes& out);

// The index stream of a strong-reference vector: count, next free key, last free key, then the
// local key of each element in order.
Bytes encodeVectorIndex(std::span<const uint32_t> localKeys, uint32_t nextFreeKey);

struct SetIndexEntry {
    uint32_t localKey = 0;
    Bytes key;  // the element's unique identifier as stored (16 or 32 bytes)
};
// The index stream of a strong-reference set: count, next free key, last free key, the pid of
// the elements' unique identifier, its size, then per element its local key, a reference count
// of 1 and the key.
Bytes encodeSetIndex(const std::vector<SetIndexEntry>& entries, uint32_t nextFreeKey,
                     uint16_t keyPid, uint8_t keySize);

// A weak reference: the tag (the position of the target collection's path in the referenced
// properties table), the pid of the target's unique identifier, its size, and the key.
Bytes encodeWeakReference(uint16_t tag, uint16_t keyPid, std::span<const uint8_t> key);

// The "referenced properties" stream: byte order, the number of paths, the number of pids
// including one terminating zero per path, then each path's pids and its zero.
Bytes encodeReferencedProperties(const std::vector<std::vector<uint16_t>>& paths);

// Text as UTF-16LE with a terminating zero character. Bytes that are not UTF-8 become U+FFFD.
Bytes encodeString(const std::string& utf8);

// The name of a sub-storage or collection for a property: "<name>-<pid in hex>", the name cut in
// its middle (the cut marked "-") so that the whole stays below `limit` characters.
std::string mangledName(const std::string& propertyName, uint16_t pid, size_t limit);
// The storage of a collection's element: "<collection>{<local key in hex>}".
std::string elementName(const std::string& collectionName, uint32_t localKey);

// Little-endian appends.
void appendUInt8(Bytes& out, uint8_t value);
void appendUInt16(Bytes& out, uint16_t value);
void appendUInt32(Bytes& out, uint32_t value);
void appendUInt64(Bytes& out, uint64_t value);

// Values of data properties.
template <class Integer>
Bytes encodeInteger(Integer value) {
    static_assert(std::is_integral_v<Integer>);
    using Unsigned = std::make_unsigned_t<Integer>;
    Bytes out;
    for (size_t index = 0; index < sizeof(Integer); ++index)
        out.push_back(uint8_t(Unsigned(value) >> (8 * index)));
    return out;
}
inline Bytes encodeBoolean(bool value) {
    return {uint8_t(value ? 1 : 0)};
}
Bytes encodeAUID(const AUID& id);
Bytes encodeMobID(const MobID& id);
// Numerator, then denominator, each a 32-bit signed integer.
Bytes encodeRational(const Rational& value);
// Year (16 bits), month, day, hour, minute, second, hundredths (8 bits each).
Bytes encodeTimeStamp(const TimeStamp& value);
// The elements one after the other, without a count.
Bytes encodeInt32Array(std::span<const int32_t> values);
// An indirect value: byte order, the AUID of its type, the value.
Bytes encodeIndirect(const AUID& type, const Bytes& value);

}  // namespace StoredFormat
}  // namespace vorlane::aaf
