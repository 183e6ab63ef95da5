// Plain values that the media asset layer hands to the engine: track kinds, format descriptions
// (codec code, picture, audio stream and timecode descriptions), metadata items and tracks.
// They mirror the platform media framework the design names (CoreMedia format descriptions,
// AVFoundation tracks and metadata items) and carry no library types, so engine code can keep
// and copy them freely.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/CMTime.h"

namespace vorlane {

enum class AssetMediaType {
    Video,     // picture tracks ('vide')
    Audio,     // sound tracks ('soun')
    Timecode,  // QuickTime timecode tracks ('tmcd')
    Data,      // other timed data (metadata, chapters, unknown data streams)
    Subtitle,  // text and subtitle tracks
};

// Format flags of a linear PCM stream description, numbered as on the platform.
enum AudioFormatFlags : uint32_t {
    kAudioFormatFlagIsFloat = 1u << 0,
    kAudioFormatFlagIsBigEndian = 1u << 1,
    kAudioFormatFlagIsSignedInteger = 1u << 2,
    kAudioFormatFlagIsPacked = 1u << 3,
};

// The layout of an audio stream. Compressed formats report 0 bits per channel and 0 bytes per
// frame, and the number of frames in one compressed packet when it is fixed.
struct AudioStreamBasicDescription {
    double sampleRate = 0;
    uint32_t formatID = 0;  // the media subtype ('lpcm', 'aac ', '.mp3', 'ac-3', ...)
    uint32_t formatFlags = 0;
    uint32_t bytesPerPacket = 0;
    uint32_t framesPerPacket = 0;
    uint32_t bytesPerFrame = 0;
    uint32_t channelsPerFrame = 0;
    uint32_t bitsPerChannel = 0;
};

// Timecode flags of a timecode description, numbered as in the QuickTime sample description.
enum TimecodeFlags : uint32_t {
    kCMTimeCodeFlag_DropFrame = 1u << 0,
    kCMTimeCodeFlag_24HourMax = 1u << 1,
    kCMTimeCodeFlag_NegTimesOK = 1u << 2,
};

struct TimecodeFormatDescription {
    CMTime frameDuration = kCMTimeInvalid;  // timescale and frame duration of the description
    uint32_t timecodeFlags = 0;
    uint32_t frameQuanta = 0;         // frames per second counted by the timecode (30 for 29.97)
    std::string sourceReferenceName;  // the reel name of the 'name' atom; empty when absent

    bool dropFrame() const { return (timecodeFlags & kCMTimeCodeFlag_DropFrame) != 0; }
};

struct FormatDescription {
    AssetMediaType mediaType = AssetMediaType::Data;
    // The codec as the platform names media subtypes: 'avc1', 'hvc1', 'apcn', 'AVdn', 'mp4v' for
    // pictures; 'lpcm' for every linear PCM variant, 'aac ', '.mp3', 'ac-3' for sound; 'tmcd'.
    uint32_t mediaSubType = 0;
    // The container's own sample-description code when it has one ('sowt', 'in24', 'mp4a',
    // 'avc1'), else the QuickTime code of the codec; 0 when none is known.
    uint32_t codecTag = 0;
    // A readable codec name: the compressor name a QuickTime sample description carries, else
    // the decoding library's name of the codec.
    std::string formatName;

    // Pictures: encoded dimensions and field count (1 progressive, 2 interlaced; absent when
    // neither the container nor the stream says).
    int32_t width = 0;
    int32_t height = 0;
    std::optional<int32_t> fieldCount;
    // Sample description extension atoms by type, payload without the atom header: "avcC",
    // "hvcC", and the Avid atoms DNxHD sample descriptions carry ("ACLR", "APRG").
    std::map<std::string, std::vector<uint8_t>> extensionAtoms;
    // DNxHD and DNxHR: the compression ID that the 'ARES' atom holds at bytes 8 to 11, read from
    // the first frame's header (FFmpeg does not keep the 'ARES' atom of the sample description).
    std::optional<uint32_t> avidCompressionID;
    // Codec profile and level as the decoding library reports them; -99 when unknown.
    int32_t profile = -99;
    int32_t level = -99;

    // Sound: the stream description and a channel mask in WAVE speaker-position bits
    // (1 front left, 2 front right, 4 centre, ...); 0 when the layout has no mask.
    std::optional<AudioStreamBasicDescription> audio;
    uint64_t channelLayoutMask = 0;

    // Timecode tracks.
    std::optional<TimecodeFormatDescription> timecode;
};

// Metadata formats and key spaces, named as on the platform.
inline constexpr const char* kMetadataFormatQuickTimeMetadata = "com.apple.quicktime.mdta";
inline constexpr const char* kMetadataFormatQuickTimeUserData = "com.apple.quicktime.udta";
inline constexpr const char* kMetadataFormatiTunesMetadata = "com.apple.itunes";
inline constexpr const char* kMetadataFormatID3Metadata = "org.id3";
// Values the decoding library reads from container structures rather than metadata lists
// (handler names, language codes, brands, stream tags of other containers).
inline constexpr const char* kMetadataFormatContainer = "org.ffmpeg.container";

inline constexpr const char* kMetadataKeySpaceQuickTimeMetadata = "mdta";
inline constexpr const char* kMetadataKeySpaceQuickTimeUserData = "udta";
inline constexpr const char* kMetadataKeySpaceiTunes = "itsk";
inline constexpr const char* kMetadataKeySpaceID3 = "org.id3";
inline constexpr const char* kMetadataKeySpaceContainer = "lavf";

struct MetadataItem {
    std::string format;      // one of the kMetadataFormat values
    std::string keySpace;    // one of the kMetadataKeySpace values
    std::string key;         // "com.apple.quicktime.reel", "©nam", "TIT2", "handler_name"
    std::string identifier;  // key space and key: "mdta/com.apple.quicktime.reel", "udta/%A9nam"
    std::string commonKey;   // "title", "make", "creationDate", ...; empty when none applies
    std::optional<std::string> stringValue;
    std::optional<std::vector<uint8_t>> dataValue;  // binary items (cover pictures)
};

struct AssetTrack {
    // The container's own track number: the 'tkhd' track ID in QuickTime and MPEG-4 files, the
    // PID in MPEG transport and program streams, the track ID in MXF; for other containers (and
    // where those numbers are missing or repeated) the stream's position + 1.
    int32_t trackID = 0;
    AssetMediaType mediaType = AssetMediaType::Data;
    // Start and duration in asset time (see MediaAsset::duration()).
    CMTimeRange timeRange = kCMTimeRangeInvalid;
    float nominalFrameRate = 0;
    // The shortest sample duration in the track's sample table (1001/30000 for 29.97 video);
    // invalid when the container keeps no table and no constant rate is known.
    CMTime minFrameDuration = kCMTimeInvalid;
    // Display size of pictures (the encoded size stretched by the pixel aspect ratio).
    double naturalWidth = 0;
    double naturalHeight = 0;
    // Bytes of all samples together when the container's sample table tells; 0 otherwise.
    int64_t totalSampleDataLength = 0;
    std::string languageCode;  // ISO 639-2, empty when not set
    // Absent when the decoding library cannot describe the track's codec.
    std::optional<FormatDescription> formatDescription;
    std::vector<MetadataItem> metadata;
};

}  // namespace vorlane
