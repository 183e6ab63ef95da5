// Our reader of the header blocks of RED R3D clips: the first block ("RED1" or "RED2") with the
// picture size and frame rate, the camera's metadata directory (start timecode, camera, reel,
// take, dates, lens, ...), and the clip's frame count from its closing index block or, without
// one, from its video blocks. Pictures are never decoded.
//
// Layout, as public format notes describe it (all integers big-endian): the file is a run of
// blocks, each starting with a 32-bit size and a four-character type. The first block holds,
// for version 2, the count of 24-byte "rdi" records at 0x40, width and height as 32-bit values at
// 0x4c and 0x50 and the rate as three 16-bit values (denominator, numerator high and low) at
// 0x56; the metadata directory follows the last record as a 16-bit length and items of a 16-bit
// length (header included), a 16-bit tag whose top four bits name the value's format, and the
// value. Version 1 keeps size and rate at 0x36, 0x3a and 0x3e, the sound channel count at 0x42,
// and its directory at 0x22 of the second block. A clip may end with an index block ("REOB",
// "REOF" or "REOS", 56 bytes) that counts its video blocks at offset 24.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vorlane {

class FileReader;

struct R3DHeader {
    int version = 0;  // 1 or 2
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t rateNumerator = 0;
    uint32_t rateDenominator = 0;
    uint64_t frameCount = 0;
    uint32_t audioChannelCount = 0;
    // The directory's items that this reader knows, in file order: a key and the value as text.
    std::vector<std::pair<std::string, std::string>> metadata;

    double frameRate() const {
        return rateDenominator == 0 ? 0.0 : double(rateNumerator) / double(rateDenominator);
    }
    // The value of a key; nothing when the clip has no such item.
    std::optional<std::string> metadataValue(const std::string& key) const;
};

class R3DHeaderReader {
  public:
    // The largest first block read: real headers are a few kilobytes.
    static constexpr uint32_t kMaxHeaderBlockSize = 1 << 20;
    // Blocks counted when a clip has no index block.
    static constexpr uint64_t kMaxCountedBlocks = 10'000'000;

    // The header of the clip; nothing when the source is no R3D clip or its first block is
    // damaged. Frame count 0 means the clip's frames could not be counted.
    static std::optional<R3DHeader> read(FileReader& reader);

  private:
    static bool readFirstBlock(FileReader& reader, R3DHeader& header);
    static void readDirectory(const std::vector<uint8_t>& block, size_t position, size_t end,
                              R3DHeader& header);
    static uint64_t countFrames(FileReader& reader, uint64_t firstBlockSize);
};

}  // namespace vorlane
