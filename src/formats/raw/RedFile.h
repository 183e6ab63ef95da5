// RED clips (.R3D), read through the RED library interface of the platform layer (RedSDK): one
// video track with the clip's picture size, rate and frame count, the sound format when the
// header tells it, the camera's metadata items, and the start timecode. The clip is open only
// while it is analysed. Pictures cannot be decoded here, so the thumbnail is the "codec
// unavailable" picture.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "media/MediaFile.h"

namespace vorlane {

class RedClip;

class RedFile : public MediaFile {
  public:
    explicit RedFile(std::filesystem::path url);  // initWithURL:
    ~RedFile() override;

    // The library, once per process; false (and logged) when it cannot be initialised.
    static bool initSDK();
    static std::string getSDKVersion();
    static void freeSDK();

    // The extension, upper-cased, is R3D.
    static bool isSupportedURL(const std::filesystem::path& url);
    // A clip the camera split into several files (_001.R3D, _002.R3D, ...) in a folder named
    // after the clip: the R3D files of the folder whose names start with the folder's name
    // without its extension, in name order. Nothing for a folder named otherwise or a single
    // file.
    static std::optional<std::vector<std::filesystem::path>> spannedFilesForURL(
        const std::filesystem::path& url);

    // Opens the clip (logged and false when it cannot be opened); unloadClip closes it.
    bool loadClip();
    void unloadClip();

    void analyzeWithOptions(const MetadataDictionary& options) override;
    void analyzeTracks();
    void analyzeMetadata();
    void analyzeTimecode();
    void makeThumbnail();
    // The clip's sound is not searched for LTC: the read is only marked as done.
    void readAudioTimecodeAtFrameRate(const AudioTimecodeRequest& request) override;
    std::string extendedMetaDescription(int32_t level) const override;
    std::string className() const override { return "RedFile"; }

    // Bytes read from the clip by its analysis.
    uint64_t bytesRead() const;

  private:
    std::unique_ptr<RedClip> redClip_;
    uint64_t bytesRead_ = 0;
};

}  // namespace vorlane
