// One imported file: its identity (where it is, its size and kind), its tracks, the metadata the
// readers found, the user's corrections (timecode offset, audio/video shift) and the readable
// summaries of the file list. Every reader is a subclass that fills this same record, so the
// pool, the sync engine and the exporters treat all files alike.
//
// Thread safety: analysis fills a file on the analysis queue while the user interface reads its
// summaries, thumbnail and metadata. Every field below is read and written under the file's own
// lock (`mutex()`); getters answer copies. The track list is changed under the same lock (by
// analysis, and by the LTC decoder while it replaces the audio timecode tracks), so code on
// another thread that walks `tracks()` holds `mutex()` meanwhile; the file's own operations take
// it themselves.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "media/LtcReadingRanges.h"
#include "media/MediaObject.h"
#include "platform/CMTime.h"
#include "platform/MetadataValue.h"
#include "timecode/ltc/LtcReadingAlgorithm.h"

namespace vorlane {

class TCHelper;

// Container kinds (`fileContainerType`).
enum MediaFileContainerType : int32_t {
    MediaFileContainerUnknown = 0,
    MediaFileContainerQuicktime = 1,
    MediaFileContainerMP4 = 2,
    MediaFileContainerAVCHD = 3,
    MediaFileContainerMXF = 4,
    MediaFileContainerRedcode = 5,
    MediaFileContainerMPEG = 6,
    MediaFileContainerWAVE = 7,
    MediaFileContainerBWF = 8,
    MediaFileContainerAIFF = 9,
    MediaFileContainerMP3 = 16,
    MediaFileContainerCinemaDNG = 17,
    MediaFileContainerCanonCRM = 18,
};

// Units of the user offset (`offsetType`).
enum MediaFileOffsetType : int32_t {
    MediaFileOffsetSeconds = 0,
    MediaFileOffsetFrames = 1,
    MediaFileOffsetTimecode = 2,
};

// Keys of a file's metadata dictionary, shared by all readers and writers (declaration order).
inline constexpr char kFileCreationDate[] = "FileCreationDate";
inline constexpr char kOriginalCreationDate[] = "OriginalCreationDate";
inline constexpr char kOriginalFilename[] = "OriginalFilename";
inline constexpr char kFileUUID[] = "FileUUID";
inline constexpr char kOriginalThumbnailURL[] = "OriginalThumbnailURL";
inline constexpr char kExifData[] = "ExifData";
inline constexpr char kXMLMetaDataURL[] = "XMLMetaDataURL";
inline constexpr char kXMLRawData[] = "XMLRawData";
inline constexpr char kMFSEIData[] = "kMFSEIData";
inline constexpr char kMFRedMetaData[] = "kMFRedMetaData";
inline constexpr char kProxyURL[] = "ProxyURL";
inline constexpr char kFCPXImported[] = "FCPXImported";
inline constexpr char kFCPXUUID[] = "FCPXUUID";
inline constexpr char kFCPXVideoRole[] = "FCPXVideoRole";
inline constexpr char kFCPXAudioRole[] = "FCPXAudioRole";
inline constexpr char kFCPXAudioChannelSources[] = "FCPXAudioChannelSources";
inline constexpr char kAVShifted[] = "AVShifted";
inline constexpr char kReferencedBySpannedMedia[] = "ReferencedBySpannedMedia";
inline constexpr char kSoftware[] = "Software";
inline constexpr char kScene[] = "Scene";
inline constexpr char kTake[] = "Take";
inline constexpr char kCameraName[] = "CameraName";
inline constexpr char kReel[] = "Reel";
inline constexpr char kAngle[] = "Angle";
inline constexpr char kNote[] = "Note";
inline constexpr char kMaker[] = "Maker";
inline constexpr char kModel[] = "Model";
inline constexpr char kFirmware[] = "Firmware";
inline constexpr char kEncoder[] = "Encoder";
inline constexpr char kSerialNumber[] = "SerialNumber";
inline constexpr char kLensModel[] = "LensModel";
inline constexpr char kLensSerialNumber[] = "LensSerialNumber";
inline constexpr char kBWFbext[] = "BWFbext";
inline constexpr char kBWFOriginator[] = "BWFOriginator";
inline constexpr char kBWFiXML[] = "BWFiXML";
inline constexpr char kBWFFileSetTotalFiles[] = "BWFFileSetTotalFiles";
inline constexpr char kBWFFileSetFamilyUID[] = "BWFFileSetFamilyUID";
inline constexpr char kMFBWFReferencedByCinemaDNG[] = "kMFBWFReferencedByCinemaDNG";

// Analysis options (the dictionary passed to analyzeWithOptions; values are bools).
inline constexpr char kAnalyzeReadAudioTc[] = "ReadAudioTc";
inline constexpr char kAnalyzeCreateThumbnail[] = "CreateThumbnail";
inline constexpr char kAnalyzeSyncOperation[] = "SyncOperation";
inline constexpr char kAnalyzeApplyAVShift[] = "ApplyAVShift";

// Notification posted when a file's displayed state changed; object: the file.
inline constexpr char kUpdateMediaFileNotification[] = "UpdateMediaFile";

// The parameters of one LTC read (readAudioTimecodeAtFrameRate:track:channel:offset:
// readingRanges:readingAlgorithm:). Track and channel −1 mean every track and every channel.
struct AudioTimecodeRequest {
    double frameRate = 0.0;
    int32_t track = -1;
    int32_t channel = -1;
    int32_t offset = 0;
    LtcReadingRanges readingRanges = LtcReadingRanges::MiddleSecond;
    LtcReadingAlgorithm readingAlgorithm = LtcReadingAlgorithm::AdaptiveThresholds;
};

class MediaFile : public MediaObject {
  public:
    explicit MediaFile(std::filesystem::path url);  // initWithURL:
    ~MediaFile() override;

    // The files of a recording that the container split into several files; none here.
    static std::optional<std::vector<std::filesystem::path>> spannedFilesForURL(
        const std::filesystem::path& url);
    // A fixed-length byte field as ASCII text, cut at the first NUL byte.
    static std::string cStringConvert(const uint8_t* bytes, size_t length);

    std::recursive_mutex& mutex() const { return mutex_; }

    // Identity.
    std::filesystem::path sourceURLPath() const;
    std::optional<std::filesystem::path> sourceURL() const override;
    std::optional<std::filesystem::path> mediaURL() const override;
    void setMediaURL(std::filesystem::path url);
    uint64_t filesize() const;
    void setFilesize(uint64_t size);
    std::string fileUTI() const;
    void setFileUTI(std::string uti);
    std::string fileTypeDescription() const;
    void setFileTypeDescription(std::string description);
    int32_t fileContainerType() const;
    void setFileContainerType(int32_t type);
    std::string fileContainerString() const;
    bool isMediaFile() const override { return true; }
    std::string className() const override { return "MediaFile"; }

    // Pool state.
    uint32_t syncGroup() const;
    void setSyncGroup(uint32_t group);
    bool linkedAudioFile() const;
    void setLinkedAudioFile(bool linked);
    bool hasBeenAnalyzed() const;
    bool audioTimecodeFirst() const;
    void setAudioTimecodeFirst(bool audioFirst);
    bool audioTimecodeHasBeenRead() const;
    void setAudioTimecodeHasBeenRead(bool read);
    virtual int32_t referencedFilesCount() const { return 1; }

    // Metadata (copies in and out, under the lock).
    MetadataDictionary metaData() const;
    std::optional<MetadataValue> metaDataValue(const std::string& key) const;
    std::optional<std::string> metaDataString(const std::string& key) const;
    void setMetaDataValue(const std::string& key, MetadataValue value);
    void removeMetaDataValue(const std::string& key);
    std::optional<std::string> reel() const;
    std::optional<std::string> scene() const;
    std::optional<std::string> take() const;
    std::optional<std::string> note() const;  // none for an empty text
    std::optional<std::string> software() const;
    std::optional<std::string> manufacturer() const;
    std::optional<std::string> modelname() const;
    std::optional<std::string> firmware() const;
    std::optional<std::string> serialnumber() const;
    std::optional<MetadataDate> creationDate() const;

    // Timecodes.
    std::shared_ptr<TCHelper> fileTimecode() const;
    std::shared_ptr<TCHelper> audioTimecode() const;
    int32_t fileTimecodeCount() const;
    int32_t audioTimecodeCount() const;
    bool hasFileTimecode() const;
    bool hasAudioTimecode() const;
    // Audio first (or file first) as the user chose; none without timecode.
    std::shared_ptr<TCHelper> timecode() const override;
    std::shared_ptr<TCHelper> creationDateTimecode() const;
    // The file's place on the timecode axis; invalid without timecode.
    CMTimeRange syncTimeRange() const;
    virtual void removeAllAudioTimecodeTracks();

    // User corrections.
    CMTime offset() const;
    int32_t offsetType() const;
    void setOffset(CMTime offset, int32_t offsetType);
    CMTime shiftTime() const;
    void setAvShift(CMTime shift);
    bool hasAvShiftSet() const;
    void setAutoShift();

    // LTC: the default request (the middle second, adaptive thresholds; GoPro files: windows 2
    // with slope edges), or the given one, read by an LtcReader. The audio timecodes found
    // replace the file's; the file must be held by a shared pointer to be read.
    void readAudioTimecode();
    virtual void readAudioTimecodeAtFrameRate(const AudioTimecodeRequest& request);
    virtual void copyAudioTimecodeUserBitsToMetadata();

    int32_t uniqueTrackIDForTrack(const MediaTrack& track) const;
    std::optional<std::string> deviceName() const;
    virtual std::string uniqueDeviceID() const;

    void setName(std::string name);
    std::string name() const override;
    // The first video track's duration, else the latest end of a sound track, else (a file of
    // timecode alone) of a timecode track.
    CMTime duration() const override;
    double frameRate() const override;

    // Analysis. Readers override and call the inherited operation first. Options are the
    // analysis option keys above. Analysing a file again gives the same tracks, not a second
    // set: the inherited operation removes the tracks that the earlier analysis added.
    virtual void analyzeWithOptions(const MetadataDictionary& options);
    virtual void setAnalyzingFinished();
    void updateReadableInfo();

    // Readable summaries.
    std::string readableFileInfo() const;
    std::string readableVideoInfo() const;
    std::string readableAudioInfo() const;
    std::string readableFileTimecodeInfo() const;
    std::string readableAudioTimecodeInfo() const;
    std::string infoText() const;
    void setInfoText(std::string text);
    int32_t highLightColor() const;
    void setHighLightColor(int32_t color);
    std::optional<std::string> alternativeName() const;

    std::string metaDescription(int32_t level) const;
    virtual std::string extendedMetaDescription(int32_t level) const;

  protected:
    // Convenience for readers: an option of the analysis dictionary, false when absent.
    static bool optionEnabled(const MetadataDictionary& options, const char* key);

  private:
    mutable std::recursive_mutex mutex_;
    const std::filesystem::path sourceURL_;
    std::filesystem::path mediaURL_;
    uint64_t filesize_ = 0;
    std::string fileUTI_;
    std::string fileTypeDescription_;
    int32_t fileContainerType_ = MediaFileContainerUnknown;
    uint32_t syncGroup_ = 0;
    bool linkedAudioFile_ = false;
    bool hasBeenAnalyzed_ = false;
    // The tracks when the first analysis began; none before it.
    std::optional<std::vector<std::shared_ptr<MediaTrack>>> tracksBeforeAnalysis_;
    bool audioTimecodeFirst_ = true;
    bool audioTimecodeHasBeenRead_ = false;
    CMTime offset_ = kCMTimeZero;
    int32_t offsetType_ = MediaFileOffsetFrames;
    CMTime shiftTime_ = kCMTimeZero;
    MetadataDictionary metaData_;
    std::optional<std::string> alternativeName_;
    std::string readableFileInfo_ = "no FileInfo";
    std::string readableVideoInfo_ = "no Video";
    std::string readableAudioInfo_ = "no Audio";
    std::string readableFileTimecodeInfo_ = "no File-Timecode";
    std::string readableAudioTimecodeInfo_ = "not read yet";
    std::string infoText_;
    int32_t highLightColor_ = 0;
};

}  // namespace vorlane
