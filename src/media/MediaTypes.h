// Kinds shared by the whole media model: the media type of an object (a small bit set), the
// kinds of tracks, the picture size of a video track and the keys of track metadata.
#pragma once

#include <cstdint>

namespace vorlane {

// Media type of an object: bit 0 audio, bit 1 video.
enum MediaType : int32_t {
    MediaTypeUnknown = 0,
    MediaTypeAudio = 1,
    MediaTypeVideo = 2,
    MediaTypeMovie = 3,
};

// Kind of a track.
enum MediaTrackType : int32_t {
    MediaTrackTypeVideo = 1,
    MediaTrackTypeAudio = 2,
    MediaTrackTypeTimecode = 3,
};

// Picture size of a video track.
struct MediaSize {
    double width = 0.0;
    double height = 0.0;
};

// Keys of a track's metadata, shared by the readers and the writers.
// Number: the Avid resolution identifier of a DNxHD video track.
inline constexpr char kVideoAvidResolutionID[] = "VideoAvidResolutionID";
// Bytes: the AVC decoder configuration record of the stream.
inline constexpr char kVideoAVCC[] = "VideoAVCC";
// Numbers, read as unsigned 8-bit values: the H.264 profile and level indications.
inline constexpr char kVideoH264Profile[] = "VideoH264Profile";
inline constexpr char kVideoH264Level[] = "VideoH264Level";
// Text: the codec name that a camera's clip document gives.
inline constexpr char kVideoOriginalCodecName[] = "VideoOriginalCodecName";
// List of dictionaries, one per recorded channel, with the four text values below.
inline constexpr char kAudioChannelList[] = "AudioChannelList";
inline constexpr char kAudioChannelIndex[] = "AudioChannelIndex";
inline constexpr char kAudioInterleaveIndex[] = "AudioInterleaveIndex";
inline constexpr char kAudioChannelName[] = "AudioChannelName";
inline constexpr char kAudioChannelRouting[] = "AudioChannelRouting";
// The MXF essence descriptor set of the track.
inline constexpr char kMXFDescriptor[] = "MXFDescriptor";
// Number: the MXF track number of the essence.
inline constexpr char kMXFTrackNumber[] = "MXFTrackNumber";
// Number: the track's duration in edit units.
inline constexpr char kMFMXFTrackEditUnits[] = "kMFMXFTrackEditUnits";

}  // namespace vorlane
