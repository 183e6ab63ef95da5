#include "app/CompositionSummary.h"

#include "media/MediaTrack.h"
#include "sync/MediaComposition.h"

namespace vorlane {

namespace {

const char* kindOfTrack(int32_t type) {
    switch (type) {
        case MediaTrackTypeVideo:
            return "Video";
        case MediaTrackTypeAudio:
            return "Audio";
        case MediaTrackTypeTimecode:
            return "Timecode";
        default:
            return "Other";
    }
}

}  // namespace

CompositionSummary CompositionSummary::ofComposition(const MediaComposition& composition) {
    CompositionSummary summary;
    summary.name = composition.name();
    summary.status = composition.syncInformation();
    for (const auto& track : composition.tracks()) {
        Track shown{kindOfTrack(track->type()), {}};
        for (const MediaSegment& segment : track->segments()) {
            if (segment.isEmpty()) continue;
            const auto source = segment.sourceTrack();
            const auto owner = source ? source->mediaObject() : nullptr;
            shown.clips.push_back({owner ? owner->name() : std::string(),
                                   CMTimeGetSeconds(segment.timeMapping().target.start),
                                   CMTimeGetSeconds(segment.timeMapping().target.duration)});
        }
        summary.tracks.push_back(std::move(shown));
    }
    return summary;
}

}  // namespace vorlane
