// A cursor over value bytes of an MXF item with typed big-endian readers. Every read first checks
// that it stays inside the bytes ("MXFSeekCheck"), then reads and advances; a seek beyond the end
// raises "MXFSeekError". A reader may hand out a narrower reader over its next bytes (one local
// set item), sharing the same buffer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "formats/mxf/MXFIdentifier.h"
#include "formats/mxf/MXFValue.h"

namespace vorlane {

using MXFData = std::shared_ptr<const std::vector<uint8_t>>;

// The property type numbers of readDataOfType (the tag tables of sets use them).
enum MXFPropertyType : int32_t {
    MXFTypeUInt8 = 1,
    MXFTypeInt8 = 2,
    MXFTypeUInt16 = 3,
    MXFTypeInt16 = 4,
    MXFTypeUInt32 = 5,
    MXFTypeInt32 = 6,
    MXFTypeUInt64 = 7,
    MXFTypeInt64 = 8,
    MXFTypeBoolean = 9,
    MXFTypePosition = 10,
    MXFTypeLength = 11,
    MXFTypeUInt32Count = 12,
    MXFTypeAUID = 14,
    MXFTypeIDAU = 15,
    MXFTypeUMID = 16,
    MXFTypeUL = 17,
    MXFTypePackageID = 18,
    MXFTypeUUID = 19,
    MXFTypeStrongRef = 20,
    MXFTypeWeakRef = 21,
    MXFTypeRational = 22,
    MXFTypeTimestamp = 24,
    MXFTypeUTF16String = 25,
    MXFTypeVersion = 26,
    MXFTypeRawBytes = 27,
    MXFTypeRGBALayout = 28,
};

class MXFDataReader {
  public:
    MXFDataReader() = default;
    // A reader over all bytes of `data` (none when null).
    explicit MXFDataReader(MXFData data);

    // Number of bytes the cursor ranges over.
    uint64_t dataLength() const { return size_; }
    uint64_t dataLocation() const { return location_; }
    uint64_t remainingLength() const { return size_ - location_; }

    void seekAbsolute(uint64_t location);
    void seekRelative(int64_t offset);
    // Raises "MXFSeekCheck" when `count` more bytes are not there.
    void seekRelativeCheck(uint64_t count) const;
    bool reachedEnd() const { return location_ >= size_; }

    int8_t int8Value();
    uint8_t uint8Value();
    int16_t int16Value();
    uint16_t uint16Value();
    int32_t int32Value();
    uint32_t uint32Value();
    int64_t int64Value();
    uint64_t uint64Value();
    MetadataBytes rawBytesOfLength(uint64_t length);
    MXFIdentifier identifierWithType(MXFIdentifierType type, uint64_t length);
    MXFRational rationalValue();
    // int16 year, uint8 month, day, hour, minute, second and one skipped uint8 of quarter
    // milliseconds, as a UTC date; "no value" when the fields do not form a date.
    MXFValue timestamp();
    // UTF-16 big-endian text of `length` bytes, cut at the first NUL character.
    std::string utf16StringWithLength(uint64_t length);
    // "Major: %d, Minor: %d, Patch: %d, Build: %d, Release: %d" for lengths 8 to 10; other
    // lengths are skipped and give "???".
    std::string versionWithLength(uint64_t length);
    // 16 bytes of up to 8 component code and depth pairs ("R8G8B8", "Y_f16").
    std::string rgbaLayout();

    // One value of a property type; unknown types skip `length` bytes and give "?".
    MXFValue readDataOfType(int32_t type, uint64_t length);
    MXFValue readDataOfType(int32_t type) { return readDataOfType(type, 0); }
    // A batch within the next `length` bytes: uint32 count, uint32 element size, then `count`
    // values of the type, each read with the element size as length. A count of 0 gives no value
    // and consumes the 8 header bytes; a batch that cannot fit raises "MXFSeekCheck".
    MXFValue readArrayOfDataWithType(int32_t type, uint64_t length);

    // A reader over the next `length` bytes; the cursor moves past them.
    MXFDataReader subReader(uint64_t length);

  protected:
    void setData(MXFData data);
    const MXFData& data() const { return data_; }

  private:
    MXFDataReader(MXFData data, uint64_t begin, uint64_t size);
    // Checks, then answers the next `count` bytes and advances past them.
    const uint8_t* take(uint64_t count);

    MXFData data_;
    uint64_t begin_ = 0;
    uint64_t size_ = 0;
    uint64_t location_ = 0;
};

}  // namespace vorlane
