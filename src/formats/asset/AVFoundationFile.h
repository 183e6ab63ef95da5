// A file read through the platform media layer (platform/media: FFmpeg's demuxers and decoders
// behind the asset interface the design names after AVFoundation): QuickTime and MPEG-4 movies,
// MPEG streams, AIFF, MP3 and AVCHD. It makes one track per video and audio track of the asset,
// one timecode track per QuickTime timecode track, and a 160 × 90 thumbnail. Readers that add
// container-specific metadata derive from it (MP3File, AVCHDFile, the QuickTime reader).
//
// The asset is opened on first need and released when analysis finishes; playback, export and
// LTC reading open it again through bufferedAsset().
//
// The media layer decodes 10-bit 4:2:2 H.264 itself, so such files are played and thumbnailed
// from their own file like any other; no rewrapped reference movie is made for them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "media/MediaFile.h"
#include "platform/media/AssetTypes.h"

namespace vorlane {

class MediaAsset;

// The picture shown when no frame of a video file could be decoded.
inline constexpr char kVideoCodecUnavailableImage[] = "videocodec_unavailable.png";

class AVFoundationFile : public MediaFile {
  public:
    explicit AVFoundationFile(std::filesystem::path url);  // initWithURL:
    ~AVFoundationFile() override;

    // The type identifiers the media layer opens as audiovisual media.
    static const std::vector<std::string>& audiovisualTypes();
    // The file system's type identifier is one of audiovisualTypes(), or the extension is M2T.
    static bool isSupportedURL(const std::filesystem::path& url);
    // Container kind by type identifier, else by extension (MTS, M2T); 0 when neither tells.
    static int32_t containerTypeForURL(const std::filesystem::path& url);
    // A codec name for a video format: "H.264/MPEG-4" (or "H.264 10bit 4:2:2" for the High 4:2:2
    // profile 122) for 'avc1', else the format's name, else its code; NUL characters removed.
    static std::string videoCodecName(const FormatDescription& format,
                                      std::optional<uint8_t> h264Profile);
    // An audio codec name: the code's characters with everything but letters, digits and '-'
    // cut from both ends, upper-cased ('lpcm' LPCM, '.mp3' MP3, 'aac ' AAC).
    static std::string audioCodecName(uint32_t subType);

    // The frame of a file at a time, at most thumbnail size, decoded by the media layer.
    static std::optional<Image> pictureOfFile(const std::filesystem::path& url, CMTime time);

    int32_t maxAudioTrackCount() const;
    void setMaxAudioTrackCount(int32_t count);

    // Opens the asset of mediaURL unless it is open; whether an asset exists.
    bool loadAsset();
    void unloadAsset();
    // The asset, opened first when needed; nullptr when the file cannot be opened.
    std::shared_ptr<MediaAsset> bufferedAsset();
    // The asset if it is open.
    std::shared_ptr<MediaAsset> avAsset() const;

    void analyzeVideoTracks();
    void analyzeAudioTracks();
    // Adds the first sample of every timecode track as a file timecode, unless the file has one.
    void analyzeTimecodeTracks();
    // The thumbnail: the picture of "OriginalThumbnailURL" when given, else the video frame at
    // one second, else the unavailable picture; files without video get the audio picture.
    // Posts "UpdateMediaFile" after storing a video picture.
    void makeThumbnail();

    // The first item with the key in that metadata format, or nothing.
    std::optional<MetadataItem> avMetadataItemForKey(const std::string& key,
                                                     const std::string& metadataFormat) const;
    // Every item of every metadata format of the asset.
    std::vector<MetadataItem> avMetadataItems() const;
    // One line per format and per item: identifier and value (data values as a short preview).
    std::string metadataDescription() const;

    void analyzeWithOptions(const MetadataDictionary& options) override;
    void setAnalyzingFinished() override;
    std::string extendedMetaDescription(int32_t level) const override;
    std::string className() const override { return "AVFoundationFile"; }

  private:
    // The asset, opened on demand also from const operations (the information text).
    std::shared_ptr<MediaAsset> openedAsset() const;

    mutable std::shared_ptr<MediaAsset> asset_;
    int32_t maxAudioTrackCount_ = 256;
};

}  // namespace vorlane
