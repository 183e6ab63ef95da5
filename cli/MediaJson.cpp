#include "MediaJson.h"

#include <cmath>
#include <mutex>

#include "export/ExportXMLElement.h"
#include "media/MediaTypes.h"
#include "media/SpannedMediaFile.h"
#include "platform/CMTime.h"
#include "platform/Text.h"

namespace vorlane::cli {

namespace {

// Numbers that JSON cannot hold (NaN from an invalid time) become null.
nlohmann::ordered_json number(double value) {
    return std::isfinite(value) ? nlohmann::ordered_json(value) : nlohmann::ordered_json();
}

const char* timecodeTypeWord(int32_t type) {
    switch (type) {
        case TCTypeFile:
            return "file";
        case TCTypeAudio:
            return "audio";
        default:
            return "plain";
    }
}

const char* trackKindWord(int32_t type) {
    switch (type) {
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

}  // namespace

std::string mediaTypeWord(int32_t type) {
    switch (type) {
        case MediaTypeAudio:
            return "audio";
        case MediaTypeVideo:
            return "video";
        case MediaTypeMovie:
            return "movie";
        default:
            return "unknown";
    }
}

std::string fourCCText(uint32_t code) {
    if (code == 0) return {};
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = char((code >> shift) & 0xff);
        text += (c >= 0x20 && c < 0x7f) ? c : '.';
    }
    return text;
}

nlohmann::ordered_json timecodeJson(const std::shared_ptr<TCHelper>& timecode) {
    if (!timecode) return nullptr;
    return {
        {"text", timecode->timecodeString(TCOptionWrap24h)},
        {"frameRate", number(timecode->frameRate())},
        {"dropFrame", timecode->dropFrame()},
        {"type", timecodeTypeWord(timecode->type())},
        {"source", timecode->source()},
        {"userBits", timecode->userBitsString()},
        {"seconds", number(CMTimeGetSeconds(timecode->time()))},
    };
}

nlohmann::ordered_json trackJson(const MediaTrack& track) {
    nlohmann::ordered_json json = {
        {"kind", trackKindWord(track.type())},
        {"number", track.trackNumber()},
        {"codec", track.codecName()},
        {"fourCC", fourCCText(track.fourCC())},
    };
    if (track.type() == MediaTrackTypeVideo) {
        json["width"] = number(track.videoSize().width);
        json["height"] = number(track.videoSize().height);
        json["frameRate"] = number(track.videoFrameRate());
    } else if (track.type() == MediaTrackTypeAudio) {
        json["channels"] = track.audioChannelCount();
        json["bitDepth"] = track.audioBitDepth();
        json["sampleRate"] = number(track.audioSampleRate());
        json["channelMask"] = track.getAudioChannelMask();
    } else if (track.type() == MediaTrackTypeTimecode) {
        json["timecode"] = timecodeJson(track.timecode());
    }
    return json;
}

nlohmann::ordered_json withPathURL(const nlohmann::ordered_json& object,
                                   const std::filesystem::path& path) {
    if (isValidUTF8(path.native())) return object;
    nlohmann::ordered_json result = nlohmann::ordered_json::object();
    for (const auto& [key, value] : object.items()) {
        result[key] = value;
        if (key == "path") result["url"] = "file://" + percentEscapedPath(path.native());
    }
    return result;
}

namespace {

// The files of a recording split over several files, with where each starts in it and the
// audio timecode it was given.
nlohmann::ordered_json partsJson(const SpannedMediaFile& file) {
    nlohmann::ordered_json parts = nlohmann::ordered_json::array();
    const std::vector<CMTime> starts = file.partStartTimes();
    const auto& files = file.referencedMediaFiles();
    for (size_t i = 0; i < files.size(); ++i)
        parts.push_back(
            withPathURL({{"path", files[i]->sourceURLPath().string()},
                         {"start", i < starts.size() ? number(CMTimeGetSeconds(starts[i]))
                                                     : nlohmann::ordered_json()},
                         {"duration", number(CMTimeGetSeconds(files[i]->duration()))},
                         {"audioTimecode", timecodeJson(files[i]->audioTimecode())}},
                        files[i]->sourceURLPath()));
    return parts;
}

}  // namespace

nlohmann::ordered_json mediaFileJson(const MediaFile& file, bool withSyncInfo) {
    std::lock_guard lock(file.mutex());
    nlohmann::ordered_json metadata = nlohmann::ordered_json::object();
    for (const auto& [key, value] : file.metaData())
        if (const std::string* text = value.string()) metadata[key] = *text;
    nlohmann::ordered_json tracks = nlohmann::ordered_json::array();
    for (const auto& track : file.tracks())
        tracks.push_back(trackJson(*track));
    const std::string syncInfo = file.infoText();
    nlohmann::ordered_json json = withPathURL(
        {
            {"path", file.sourceURLPath().string()},
            {"name", file.name()},
            {"container", file.fileContainerString()},
            {"mediaType", mediaTypeWord(file.type())},
            {"syncGroup", file.syncGroup()},
            {"linked", file.linkedAudioFile()},
            {"duration", number(CMTimeGetSeconds(file.duration()))},
            {"frameRate", number(file.frameRate())},
            {"timecode", timecodeJson(file.timecode())},
            {"fileTimecode", timecodeJson(file.fileTimecode())},
            {"audioTimecode", timecodeJson(file.audioTimecode())},
            {"metadata", metadata},
            {"tracks", tracks},
            {"info",
             {
                 {"file", file.readableFileInfo()},
                 {"video", file.readableVideoInfo()},
                 {"audio", file.readableAudioInfo()},
                 {"fileTimecode", file.readableFileTimecodeInfo()},
                 {"audioTimecode", file.readableAudioTimecodeInfo()},
             }},
            {"syncInfo",
             withSyncInfo && !syncInfo.empty() ? nlohmann::ordered_json(syncInfo) : nullptr},
        },
        file.sourceURLPath());
    if (const auto* spanned = dynamic_cast<const SpannedMediaFile*>(&file)) {
        json["parts"] = partsJson(*spanned);
        json["missingParts"] = spanned->missingParts();
    }
    return json;
}

}  // namespace vorlane::cli
