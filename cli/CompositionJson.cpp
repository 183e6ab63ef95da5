#include "CompositionJson.h"

#include <cmath>

#include "MediaJson.h"
#include "media/MediaText.h"
#include "platform/Text.h"
#include "timecode/TCHelper.h"

namespace vorlane::cli {

namespace {

nlohmann::ordered_json seconds(CMTime time) {
    const double value = CMTimeGetSeconds(time);
    return std::isfinite(value) ? nlohmann::ordered_json(value) : nlohmann::ordered_json();
}

nlohmann::ordered_json pathJson(const std::optional<std::filesystem::path>& path) {
    return path ? nlohmann::ordered_json(path->string()) : nlohmann::ordered_json();
}

std::string trackKind(const MediaTrack& track) {
    switch (track.type()) {
        case MediaTrackTypeVideo:
            return "video";
        case MediaTrackTypeAudio:
            return "audio";
        case MediaTrackTypeTimecode:
            return "timecode";
        default:
            return "unknown";
    }
}

// A length as a timecode duration at the rate (seconds mode without a rate).
std::string lengthText(CMTime length, const std::shared_ptr<TCHelper>& rate) {
    const double frameRate = rate ? rate->frameRate() : 0.0;
    return TCHelper::timecodeStringWithTime(length, frameRate, rate && rate->dropFrame(),
                                            TCOptionNone);
}

std::string secondsText(CMTime time) {
    return formatMediaText("%.6f s", CMTimeGetSeconds(time));
}

}  // namespace

nlohmann::ordered_json rationalJson(CMTime time) {
    if (!time.isValid()) return nullptr;
    return formatMediaText("%lld/%d", (long long)time.value, int(time.timescale));
}

nlohmann::ordered_json segmentJson(const MediaSegment& segment) {
    const CMTimeMapping& mapping = segment.timeMapping();
    const bool gap = segment.isEmpty();
    nlohmann::ordered_json rational = {
        {"sourceStart", gap ? nlohmann::ordered_json() : rationalJson(mapping.source.start)},
        {"targetStart", rationalJson(mapping.target.start)},
        {"duration", rationalJson(mapping.target.duration)}};
    return {{"source", gap ? nlohmann::ordered_json() : pathJson(segment.sourceURL())},
            {"sourceStart", gap ? nlohmann::ordered_json() : seconds(mapping.source.start)},
            {"targetStart", seconds(mapping.target.start)},
            {"duration", seconds(mapping.target.duration)},
            {"rational", rational}};
}

namespace {

// A segment showing a recording split over several files is listed as the pieces of the files
// it shows, so that every source is a file on disk.
std::vector<MediaSegment> segmentsOfFiles(const MediaSegment& segment) {
    const auto file = std::dynamic_pointer_cast<MediaFile>(segment.sourceFile());
    if (segment.isEmpty() || !file || file->referencedFilesCount() < 2) return {segment};
    return segment.subSegments();
}

}  // namespace

nlohmann::ordered_json compositionTracksJson(const MediaComposition& composition) {
    nlohmann::ordered_json tracks = nlohmann::ordered_json::array();
    for (const std::shared_ptr<MediaTrack>& track : composition.tracks()) {
        if (track->segments().empty()) continue;
        nlohmann::ordered_json segments = nlohmann::ordered_json::array();
        for (const MediaSegment& segment : track->segments())
            for (const MediaSegment& piece : segmentsOfFiles(segment))
                segments.push_back(segmentJson(piece));
        tracks.push_back({{"kind", trackKind(*track)},
                          {"number", track->trackNumber()},
                          {"id", track->sourceTrackID()},
                          {"segments", segments}});
    }
    return tracks;
}

std::shared_ptr<TCHelper> clipStartTimecode(const MediaSyncComposition& clip) {
    const std::shared_ptr<MediaFile> master = clip.masterFile();
    const std::shared_ptr<TCHelper> masterTimecode = master ? master->timecode() : nullptr;
    if (!masterTimecode || !clip.xmlSyncTime().isValid()) return nullptr;
    auto start = TCHelper::helperWithTime(clip.xmlSyncTime(), masterTimecode->frameRate(),
                                          masterTimecode->dropFrame());
    start->setType(masterTimecode->type());
    start->setSource(masterTimecode->source());
    return start;
}

nlohmann::ordered_json syncClipJson(const MediaSyncComposition& clip) {
    const std::shared_ptr<MediaFile> master = clip.masterFile();
    nlohmann::ordered_json files = nlohmann::ordered_json::array();
    for (const std::shared_ptr<MediaFile>& file : clip.correspondingFiles())
        files.push_back(file->sourceURLPath().string());
    return {{"master", master ? nlohmann::ordered_json(master->sourceURLPath().string()) : nullptr},
            {"name", clip.name()},
            {"status", clip.syncInformation()},
            {"timecode", timecodeJson(clipStartTimecode(clip))},
            {"duration", seconds(clip.duration())},
            {"files", files},
            {"tracks", compositionTracksJson(clip)}};
}

nlohmann::ordered_json layoutJson(const MediaLayoutComposition& layout) {
    nlohmann::ordered_json cuts = nlohmann::ordered_json::array();
    for (const CMTimeRange& range : layout.cutRanges())
        cuts.push_back(
            {{"start", seconds(range.start)},
             {"duration", seconds(range.duration)},
             {"rational",
              {{"start", rationalJson(range.start)}, {"duration", rationalJson(range.duration)}}}});
    return {{"name", layout.name()},
            {"duration", seconds(layout.duration())},
            {"timecode", timecodeJson(layout.timecode())},
            {"tracks", compositionTracksJson(layout)},
            {"cutRanges", cuts}};
}

void printCompositionTracks(std::ostream& out, const MediaComposition& composition,
                            const CompositionClock& clock) {
    const std::shared_ptr<TCHelper> rate = composition.timecode();
    for (const std::shared_ptr<MediaTrack>& track : composition.tracks()) {
        if (track->segments().empty()) continue;
        out << "  " << printableText(track->name()) << " (" << trackKind(*track) << ", id "
            << track->sourceTrackID() << ")\n";
        for (const MediaSegment& segment : track->segments()) {
            const CMTimeMapping& mapping = segment.timeMapping();
            const std::string at = "at " + clock(mapping.target.start) + " (" +
                                   secondsText(mapping.target.start) + ")";
            const std::string length = "length " + lengthText(mapping.target.duration, rate) +
                                       " (" + secondsText(mapping.target.duration) + ")";
            if (segment.isEmpty()) {
                out << "    (gap)  " << at << "  " << length << "\n";
                continue;
            }
            const std::shared_ptr<MediaFile> file = sourceMediaFileOfSegment(segment);
            const std::shared_ptr<TCHelper> fileTimecode = file ? file->timecode() : nullptr;
            const std::string sourceTimecode = fileTimecode
                                                   ? fileTimecode->timecodeStringWithDisplayOffset(
                                                         mapping.source.start, TCOptionWrap24h)
                                                   : lengthText(mapping.source.start, rate);
            out << "    " << printableText(segment.sourceName()) << "  from " << sourceTimecode
                << " (" << secondsText(mapping.source.start) << " into the file)  " << at << "  "
                << length << "\n";
        }
    }
}

}  // namespace vorlane::cli
