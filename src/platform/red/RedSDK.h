// What the system needs of the camera maker's R3D library, per process (initialise, version,
// release) and per clip (open by path; picture size, frame count and rate; sound format; the
// metadata items as key and text; the start timecode text). The maker's library is not available
// here; our own reader of the R3D header blocks (R3DHeader) answers instead. It decodes no
// pictures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/red/R3DHeader.h"

namespace vorlane {

enum class RedStatus {
    Ok,
    CannotOpenFile,
    NotAnR3DClip,
};

class RedSDK {
  public:
    // Once per process with the folder the library would load from; 0 on success.
    static int initialize(const std::filesystem::path& libraryFolder);
    static std::string version();
    static void release();
};

class RedClip {
  public:
    // Opens the clip and reads its header; the file is closed again before this returns.
    explicit RedClip(const std::filesystem::path& path);

    RedStatus status() const { return status_; }
    uint32_t width() const { return header_.width; }
    uint32_t height() const { return header_.height; }
    uint64_t videoFrameCount() const { return header_.frameCount; }
    // The rate as the clip states it (24000/1001 for 23.976).
    uint32_t videoRateNumerator() const { return header_.rateNumerator; }
    uint32_t videoRateDenominator() const { return header_.rateDenominator; }
    double videoFrameRate() const { return header_.frameRate(); }
    // R3D sound is linear PCM at 48 kHz and 24 bits; 0 channels for a clip without sound (or one
    // whose header does not count its channels).
    uint32_t audioChannelCount() const { return header_.audioChannelCount; }
    uint32_t audioBitDepth() const { return audioChannelCount() ? 24 : 0; }
    uint32_t audioSampleRate() const { return audioChannelCount() ? 48000 : 0; }
    const std::vector<std::pair<std::string, std::string>>& metadataItems() const {
        return header_.metadata;
    }
    // "HH:MM:SS:FF"; empty when the clip names none.
    std::string startTimecode() const;
    // Bytes read from the clip.
    uint64_t bytesRead() const { return bytesRead_; }

  private:
    RedStatus status_ = RedStatus::CannotOpenFile;
    R3DHeader header_;
    uint64_t bytesRead_ = 0;
};

}  // namespace vorlane
