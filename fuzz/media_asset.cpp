// Opens arbitrary bytes as a media asset and uses what it offers: tracks, metadata items,
// format descriptions, the first timecode sample and a little decoded audio.
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/media/AssetAudioDecoder.h"
#include "platform/media/MediaAsset.h"

namespace {

// Touches every byte of the values so the sanitizers see any bad one.
size_t touch(const vorlane::MetadataItem& item) {
    size_t sum = item.key.size() + item.identifier.size() + item.commonKey.size();
    if (item.stringValue) sum += item.stringValue->size();
    if (item.dataValue) sum += item.dataValue->size();
    return sum;
}

size_t touch(const vorlane::FormatDescription& format) {
    size_t sum = format.formatName.size() + format.mediaSubType + format.codecTag;
    for (const auto& [type, payload] : format.extensionAtoms) {
        sum += type.size();
        for (const uint8_t byte : payload)
            sum += byte;
    }
    if (format.timecode) sum += format.timecode->sourceReferenceName.size();
    return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto asset = vorlane::MediaAsset::assetWithBytes(std::span(data, size));
    if (!asset) return 0;
    volatile size_t sink = 0;
    for (const auto& item : asset->metadata())
        sink = sink + touch(item);
    asset->availableMetadataFormats();
    asset->creationDate();
    for (const vorlane::AssetTrack& track : asset->tracks()) {
        for (const auto& item : track.metadata)
            sink = sink + touch(item);
        if (track.formatDescription) sink = sink + touch(*track.formatDescription);
        if (track.mediaType == vorlane::AssetMediaType::Timecode) {
            asset->firstTimecodeFrameNumber(track.trackID);
        }
        if (track.mediaType == vorlane::AssetMediaType::Audio) {
            // A few frames' worth of sound from the start and from a later point.
            for (const int64_t start : {0, 3}) {
                const vorlane::CMTimeRange range{vorlane::CMTimeMake(start, 10),
                                                 vorlane::CMTimeMake(1, 10)};
                if (const auto audio =
                        vorlane::decodeAudioTrack(*asset, track.trackID, range, 16)) {
                    for (const uint8_t byte : audio->samples)
                        sink = sink + byte;
                }
            }
        }
    }
    sink = sink + asset->bytesRead();
    return 0;
}
