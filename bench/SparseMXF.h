// A multi-gigabyte MXF file for the benchmarks that costs no disk space: the shared D-10
// sample's header partition and footer (metadata, index segment, random index pack) around one
// essence item of the given length that is a hole in a sparse file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/ByteOrder.h"

namespace vorlane::bench {

inline std::filesystem::path sharedD10Sample() {
    return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "shared" /
           "testdata" / "mxf" / "bmx_d10_sample.mxf";
}

// False when the sample is absent or the file cannot be written.
inline bool writeSparseMXF(const std::filesystem::path& path, uint64_t essenceLength) {
    // Layout of the sample: header partition up to the body partition's essence, footer
    // partition (with its index segment and the random index pack) to the end.
    constexpr size_t kEssenceStart = 0x1600;
    constexpr size_t kFooterStart = 0x87600;
    constexpr size_t kHeaderFooterOffset = 0x2A;
    constexpr size_t kFooterThisOffset = 0x1A;
    constexpr size_t kFooterFooterOffset = 0x2A;
    constexpr size_t kRandomIndexFooterEntry = 0x42D;

    std::ifstream in(sharedD10Sample(), std::ios::binary);
    std::vector<uint8_t> sample{std::istreambuf_iterator<char>(in), {}};
    if (sample.size() <= kFooterStart + kRandomIndexFooterEntry + 8) return false;
    // One picture element with an 8-byte length holds all the essence.
    std::vector<uint8_t> essenceHeader = {0x06, 0x0E, 0x2B, 0x34, 0x01, 0x02, 0x01, 0x01, 0x0D,
                                          0x01, 0x03, 0x01, 0x05, 0x01, 0x01, 0x00, 0x88};
    essenceHeader.resize(essenceHeader.size() + 8);
    writeBE64(essenceHeader.data() + 17, essenceLength);
    const uint64_t footer = kEssenceStart + essenceHeader.size() + essenceLength;

    std::vector<uint8_t> head(sample.begin(), sample.begin() + kEssenceStart);
    writeBE64(head.data() + kHeaderFooterOffset, footer);
    std::vector<uint8_t> tail(sample.begin() + kFooterStart, sample.end());
    writeBE64(tail.data() + kFooterThisOffset, footer);
    writeBE64(tail.data() + kFooterFooterOffset, footer);
    writeBE64(tail.data() + kRandomIndexFooterEntry, footer);

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(head.data()), std::streamsize(head.size()));
    out.write(reinterpret_cast<const char*>(essenceHeader.data()),
              std::streamsize(essenceHeader.size()));
    out.seekp(std::streamoff(footer));  // the essence stays a hole
    out.write(reinterpret_cast<const char*>(tail.data()), std::streamsize(tail.size()));
    return bool(out);
}

}  // namespace vorlane::bench
