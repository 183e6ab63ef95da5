// A media file opened for reading: what the design calls the platform asset (AVURLAsset). Built
// on FFmpeg's demuxers, read through a FileReader so every byte the analysis reads is counted.
//
// Asset time: QuickTime, MPEG-4 and most containers place their samples on their own timeline
// from zero. MPEG program and transport streams run a free clock; there asset time zero is the
// earliest stream start, so ranges begin near zero as in every other container. All times and
// ranges of an asset, its tracks, the audio decoder and the image generator are asset times.
//
// An asset may be used from several threads; its operations take turns on one lock.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/CMTime.h"
#include "platform/MetadataValue.h"
#include "platform/media/AssetTypes.h"

namespace vorlane {

class AssetContext;

class MediaAsset {
  public:
    // Opens a file; nullptr when it cannot be read or no demuxer recognises it.
    static std::shared_ptr<MediaAsset> assetWithURL(const std::filesystem::path& url);
    // Opens a file to read its sound (AssetAudioDecoder.h) and nothing else: a QuickTime or
    // WAVE file's picture is not probed, so its picture tracks may lack their formats.
    static std::shared_ptr<MediaAsset> assetForSoundWithURL(const std::filesystem::path& url);
    // Opens a copy of bytes held in memory (fuzzing, tests).
    static std::shared_ptr<MediaAsset> assetWithBytes(std::span<const uint8_t> bytes);

    ~MediaAsset();
    MediaAsset(const MediaAsset&) = delete;
    MediaAsset& operator=(const MediaAsset&) = delete;

    const std::filesystem::path& url() const { return url_; }
    // The demuxer's short name ("mov,mp4,m4a,3gp,3g2,mj2", "wav", "mpegts", ...).
    const std::string& containerName() const { return containerName_; }
    // The longest track end, exact at the track's own timescale; the container's duration
    // (microseconds) when no track knows its length; invalid when neither is known.
    CMTime duration() const { return duration_; }

    // All tracks in container order, and those of one kind.
    const std::vector<AssetTrack>& tracks() const { return tracks_; }
    std::vector<AssetTrack> tracksWithMediaType(AssetMediaType mediaType) const;
    const AssetTrack* trackWithTrackID(int32_t trackID) const;

    // Container-level metadata items, and the formats among them.
    const std::vector<MetadataItem>& metadata() const { return metadata_; }
    std::vector<std::string> availableMetadataFormats() const;
    std::vector<MetadataItem> metadataForFormat(const std::string& format) const;
    // The first item with that key in that format, or nothing.
    std::optional<MetadataItem> metadataItemForKey(const std::string& key,
                                                   const std::string& format) const;
    // The container's creation date ('mvhd' in QuickTime files, creation-date metadata).
    std::optional<MetadataDate> creationDate() const { return creationDate_; }

    // The bytes of the track's first sample that holds any; nothing when the track has none or
    // it cannot be read.
    std::optional<std::vector<uint8_t>> copyFirstSampleData(int32_t trackID) const;
    // The counter of a timecode track's first sample: a 32-bit big-endian frame number for
    // 'tmcd' and 'cn32', 64 bits for 'tc64' and 'cn64'.
    std::optional<int64_t> firstTimecodeFrameNumber(int32_t trackID) const;

    // Bytes read from the file so far, by opening and by every later read.
    uint64_t bytesRead() const;

    // For the decoders of this layer.
    AssetContext& context() const { return *context_; }

  private:
    MediaAsset(std::unique_ptr<AssetContext> context, std::filesystem::path url);

    std::unique_ptr<AssetContext> context_;
    std::filesystem::path url_;
    std::string containerName_;
    CMTime duration_ = kCMTimeInvalid;
    std::vector<AssetTrack> tracks_;
    std::vector<MetadataItem> metadata_;
    std::optional<MetadataDate> creationDate_;
};

}  // namespace vorlane
