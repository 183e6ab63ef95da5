// An AVCHD stream (.MTS): the tracks read through the media layer, plus what the stream itself
// carries at its start: the H.264 parameter sets (made into an 'avcC' record that gives picture
// size, frame rate, profile and level) and the camera metadata that AVCHD cameras write into a
// user-data SEI message marked "MDPM" (timecode, recording date, maker, model).
//
// The stream is made of 192-byte units: a 4-byte time stamp and a 188-byte transport packet.
// The video is the packet stream 0x1011.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "formats/asset/AVFoundationFile.h"

namespace vorlane {

class FileReader;

class AVCHDFile : public AVFoundationFile {
  public:
    // Bytes from the start of the file searched for the parameter sets and camera metadata.
    static constexpr size_t kVideoPayloadSearchSize = 4096;

    explicit AVCHDFile(std::filesystem::path url);  // initWithURL:

    // The extension is MTS (any case).
    static bool isSupportedURL(const std::filesystem::path& url);

    // The video elementary stream within the first `size` bytes of the source (all of it when
    // the file is shorter): the payloads of the video packets in order, with adaptation fields
    // and PES headers left out, emulation prevention bytes kept. Empty when no run of five
    // 192-byte units is found; nothing when the source cannot be read.
    static std::optional<MetadataBytes> readMTSVideoPayload(FileReader& reader, size_t size);
    std::optional<MetadataBytes> readMTSVideoPayloadOfSize(size_t size) const;
    // An 'avcC' record of the first SPS and PPS in the payload.
    static std::optional<MetadataBytes> avcCDataWithPayload(std::span<const uint8_t> payload);
    // The camera metadata: the bytes after the first "MDPM" user-data marker, without emulation
    // prevention bytes; nothing when there is no marker.
    static std::optional<MetadataBytes> seiDataWithPayload(std::span<const uint8_t> payload);
    // Applies the camera metadata: a count, then that many tags of an identifier and four bytes.
    void h264SEIExtractionWithData(std::span<const uint8_t> data);
    void analyzeMTSMetadata();

    void analyzeWithOptions(const MetadataDictionary& options) override;
    std::string extendedMetaDescription(int32_t level) const override;
    std::string className() const override { return "AVCHDFile"; }
};

}  // namespace vorlane
