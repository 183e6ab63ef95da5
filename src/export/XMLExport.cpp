#include "export/XMLExport.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <map>
#include <random>

#include "media/MediaFile.h"
#include "media/MediaText.h"
#include "platform/AtomicFileWriter.h"
#include "platform/Log.h"
#include "sync/MediaComposition.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

std::atomic<int64_t> uniqueIdCounter{0};

std::string randomUUID() {
    static std::mutex mutex;
    static std::mt19937_64 generator{std::random_device{}()};
    std::lock_guard lock(mutex);
    const uint64_t high = generator();
    const uint64_t low = generator();
    // Version 4, variant 1.
    return formatMediaText("%08X-%04X-4%03X-%04X-%012llX", unsigned(high >> 32),
                           unsigned((high >> 16) & 0xFFFF), unsigned(high & 0x0FFF),
                           unsigned(0x8000 | ((low >> 48) & 0x3FFF)),
                           static_cast<unsigned long long>(low & 0xFFFFFFFFFFFFull));
}

// A string hash that is the same in every run (FNV-1a).
uint64_t pathHash(const std::string& text) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ull;
    }
    return hash;
}

const char* boolText(bool value) {
    return value ? "TRUE" : "FALSE";
}

std::shared_ptr<MediaFile> sourceFileOf(const MediaSegment& segment) {
    return sourceMediaFileOfSegment(segment);
}

bool isTimecodeChannel(const MediaTrack& sourceTrack, int64_t channel) {
    return channel < 64 && (sourceTrack.getAudioChannelMask() >> channel) & 1;
}

// A Broadcast WAVE set of several files: its segments are written per file.
bool isMultiFileWaveSet(const MediaFile& file) {
    return file.referencedFilesCount() > 1 && file.fileContainerType() == MediaFileContainerBWF;
}

}  // namespace

XMLExport::XMLExport(const UserDefaults& defaults) : MediaExport(defaults) {
    rootNode_.setAttribute("version", "4");
}

// Identifiers.

std::string XMLExport::uniqueIdWithName(const std::string& name, const std::string& type) {
    return formatMediaText("%s_%s_%lld", nameWithoutExtension(name).c_str(), type.c_str(),
                           static_cast<long long>(uniqueIdCounter++));
}

std::string XMLExport::uniqueFileIdWithMediaFile(const MediaFile& file) {
    return formatMediaText("%s_%llu_%llu_file", nameWithoutExtension(file.name()).c_str(),
                           static_cast<unsigned long long>(pathHash(file.sourceURLPath().string())),
                           static_cast<unsigned long long>(file.filesize()));
}

int64_t XMLExport::clipIndexOfSegment(const MediaSegment& segment, const MediaTrack& track) {
    if (segment.isEmpty()) return kNotFound;
    const std::shared_ptr<MediaTrack> source = segment.sourceTrack();
    const CMTimeMapping& mapping = segment.timeMapping();
    int64_t count = 0;
    for (const MediaSegment& candidate : track.segments()) {
        if (candidate.isEmpty()) continue;
        ++count;
        const CMTimeMapping& other = candidate.timeMapping();
        if (candidate.sourceTrack() == source && CMTimeRangeEqual(other.source, mapping.source) &&
            CMTimeRangeEqual(other.target, mapping.target))
            return count;
    }
    return kNotFound;
}

int64_t XMLExport::audioTrackIndexOfTrack(const MediaTrack& track, int64_t channelOffset) {
    return 1 + int64_t(track.totalAudioChannelStart()) + channelOffset;
}

std::string XMLExport::clipItemId(const MediaSegment& segment, int64_t channel, int64_t clipIndex) {
    const std::shared_ptr<MediaTrack> source = segment.sourceTrack();
    const std::string name = nameWithoutExtension(segment.sourceName());
    std::string id;
    if (source && source->type() == MediaTrackTypeVideo) {
        int64_t position = 1;
        if (const auto owner = source->mediaObject()) {
            const auto tracks = owner->videoTracks();
            position += std::find(tracks.begin(), tracks.end(), source) - tracks.begin();
        }
        id = formatMediaText("%s_V%lld_%lld", name.c_str(), static_cast<long long>(position),
                             static_cast<long long>(clipIndex));
    } else if (source && source->type() == MediaTrackTypeAudio) {
        id = formatMediaText("%s_A%lld_%lld", name.c_str(),
                             static_cast<long long>(audioTrackIndexOfTrack(*source, channel)),
                             static_cast<long long>(clipIndex));
    } else {
        id = randomUUID();
    }
    const std::string base = id;
    for (int64_t number = 2; !clipItemIds_.insert(id).second; ++number)
        id = formatMediaText("%s-%lld", base.c_str(), static_cast<long long>(number));
    return id;
}

// Small elements.

ExportXMLElement& XMLExport::addBin(const std::string& name, ExportXMLElement& node) {
    ExportXMLElement& bin = node.appendChild("bin");
    bin.appendChild("name", name);
    bin.appendChild("updatebehavior", "add");
    bin.appendChild("uuid", randomUUID());
    return bin.appendChild("children");
}

void XMLExport::addFrameRate(double rate, ExportXMLElement& node) const {
    ExportXMLElement& element = node.appendChild("rate");
    element.appendChild("ntsc", boolText(rate != std::floor(rate)));
    element.appendChild("timebase", formatMediaText("%d", int(std::lround(rate))));
}

void XMLExport::addTimeElementWithName(const std::string& name, CMTime time, double rate,
                                       ExportXMLElement& node) const {
    node.appendChild(
        name,
        formatMediaText("%lld", static_cast<long long>(TCHelper::frameCountOfTime(time, rate))));
}

void XMLExport::addName(const std::string& name, double rate, CMTime duration,
                        ExportXMLElement& node) const {
    node.appendChild("name", nameWithoutExtension(name));
    addFrameRate(rate, node);
    addTimeElementWithName("duration", duration, rate, node);
}

ExportXMLElement& XMLExport::addTimecode(const std::shared_ptr<TCHelper>& timecode,
                                         ExportXMLElement& node) const {
    const std::shared_ptr<TCHelper> value = validateTimecode(timecode);
    ExportXMLElement& element = node.appendChild("timecode");
    addFrameRate(value->frameRate(), element);
    element.appendChild("string", value->timecodeString(TCOptionWrap24h));
    element.appendChild(
        "frame",
        formatMediaText("%lld", static_cast<long long>(value->legalFrameCount(TCOptionWrap24h))));
    element.appendChild("source", "source");
    element.appendChild("displayformat", value->dropFrameString());
    return element;
}

void XMLExport::addAudioLevel(double level, double pan, ExportXMLElement& node) const {
    const auto addFilter = [&](const char* name, const char* id, const char* parameter,
                               const char* parameterId, const char* minimum, const char* maximum,
                               double value) {
        ExportXMLElement& effect = node.appendChild("filter").appendChild("effect");
        effect.appendChild("name", name);
        effect.appendChild("effectid", id);
        effect.appendChild("effectcategory", id);
        effect.appendChild("effecttype", id);
        effect.appendChild("mediatype", "audio");
        ExportXMLElement& element = effect.appendChild("parameter");
        element.appendChild("name", parameter);
        element.appendChild("parameterid", parameterId);
        element.appendChild("valuemin", minimum);
        element.appendChild("valuemax", maximum);
        element.appendChild("value", formatMediaText("%2.2f", value));
    };
    if (level != 1.0)
        addFilter("Audio Levels", "audiolevels", "Level", "level", "0", "3.98109", level);
    if (pan != 0.0) addFilter("Audio Pan", "audiopan", "Pan", "pan", "-1", "1", pan);
}

void XMLExport::scaleFilterForSegment(const MediaSegment& segment, ExportXMLElement& node) const {
    const std::shared_ptr<MediaTrack> source = segment.sourceTrack();
    if (!source) return;
    const double ratio = scaleRatioForSize(source->videoSize().width, source->videoSize().height);
    if (ratio == 1.0) return;
    ExportXMLElement& effect = node.appendChild("filter").appendChild("effect");
    effect.appendChild("name", "Basic Motion");
    effect.appendChild("effectid", "basic");
    effect.appendChild("effectcategory", "motion");
    effect.appendChild("effecttype", "motion");
    effect.appendChild("mediatype", "video");
    ExportXMLElement& parameter = effect.appendChild("parameter");
    parameter.appendChild("name", "Scale");
    parameter.appendChild("parameterid", "scale");
    parameter.appendChild("valuemin", "0");
    parameter.appendChild("valuemax", "1000");
    parameter.appendChild("value", formatMediaText("%2.2f", ratio * 100));
}

void XMLExport::addFCP7CodecSpecificDataToNode(ExportXMLElement& node) const {
    ExportXMLElement& codec = node.appendChild("codec");
    codec.appendChild("name", "Apple ProRes 422");
    ExportXMLElement& data = codec.appendChild("appspecificdata");
    data.appendChild("appname", "Final Cut Pro");
    data.appendChild("appmanufacturer", "Apple Inc.");
    data.appendChild("appversion", "7.0");
    ExportXMLElement& qtcodec = data.appendChild("data").appendChild("qtcodec");
    qtcodec.appendChild("codecname", "Apple ProRes 422");
    qtcodec.appendChild("codectypename", "Apple ProRes 422");
    qtcodec.appendChild("codectypecode", "apcn");
    qtcodec.appendChild("codecvendorcode", "appl");
    qtcodec.appendChild("spatialquality", "1024");
    qtcodec.appendChild("temporalquality", "0");
    qtcodec.appendChild("keyframerate", "0");
    qtcodec.appendChild("datarate", "0");
}

void XMLExport::addAudioGroup(int32_t index, ExportXMLElement& node) const {
    ExportXMLElement& group = node.appendChild("group");
    group.appendChild("index", std::to_string(index));
    group.appendChild("numchannels", "1");
    group.appendChild("downmix", "0");
    group.appendChild("channel").appendChild("index", std::to_string(index));
}

// Files.

void XMLExport::addFileNode(const MediaFile& file, ExportXMLElement& node) {
    const std::string id = uniqueFileIdWithMediaFile(file);
    ExportXMLElement& element = node.appendChild("file");
    element.setAttribute("id", id);
    if (!fileCache_.insert(id).second) return;
    const double rate = rateOrProject(file.frameRate());
    element.appendChild("name", file.name());
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(file.sourceURLPath(), error);
    element.appendChild(
        "pathurl", "file://localhost" +
                       percentEscapedPath(
                           (error ? file.sourceURLPath() : absolute).lexically_normal().string()));
    addTimeElementWithName("duration", file.duration(), rate, element);
    addFrameRate(rate, element);
    ExportXMLElement& timecode = addTimecode(file.fileTimecode(), element);
    if (const auto reel = file.reel()) timecode.appendChild("reel").appendChild("name", *reel);
    ExportXMLElement& media = element.appendChild("media");
    if (xmlEncoding_ == EncodingMergedSequences &&
        file.fileContainerType() == MediaFileContainerRedcode)
        media.setAttribute("hasDiscreteStreams", "true");
    for (const std::shared_ptr<MediaTrack>& track : file.videoTracks()) {
        ExportXMLElement& video = media.appendChild("video");
        const MediaSegment* segment = track->firstNonEmptySegment();
        addTimeElementWithName("duration",
                               segment ? segment->timeMapping().source.duration : kCMTimeZero,
                               rateOrProject(track->videoFrameRate()), video);
        ExportXMLElement& characteristics = video.appendChild("samplecharacteristics");
        characteristics.appendChild("width", formatMediaText("%d", int(track->videoSize().width)));
        characteristics.appendChild("height",
                                    formatMediaText("%d", int(track->videoSize().height)));
    }
    if (file.hasAudio()) addAudioInfo(file, media);
}

void XMLExport::addAudioInfo(const MediaFile& file, ExportXMLElement& node) const {
    const auto tracks = file.audioTracks();
    const MediaTrack& first = *tracks.front();
    const auto addCharacteristics = [&](ExportXMLElement& audio) {
        ExportXMLElement& characteristics = audio.appendChild("samplecharacteristics");
        characteristics.appendChild("samplerate",
                                    formatMediaText("%d", int(first.audioSampleRate())));
        characteristics.appendChild("depth", std::to_string(first.audioBitDepth()));
    };
    const bool allMono = std::all_of(tracks.begin(), tracks.end(), [](const auto& track) {
        return track->audioChannelCount() <= 1;
    });
    const bool oneStereoTrack = tracks.size() == 1 && first.audioChannelCount() == 2;
    if (xmlEncoding_ == EncodingMergedSequences &&
        (oneStereoTrack || (allMono && first.audioChannelCount() == 1))) {
        ExportXMLElement& audio = node.appendChild("audio");
        addCharacteristics(audio);
        audio.appendChild("channelcount", std::to_string(file.audioTotalChannelCount()));
        return;
    }
    for (const std::shared_ptr<MediaTrack>& track : tracks) {
        for (uint32_t channel = 0; channel < track->audioChannelCount(); ++channel) {
            ExportXMLElement& audio = node.appendChild("audio");
            addCharacteristics(audio);
            audio.appendChild("channelcount", "1");
            audio.appendChild("layout", "mono");
            ExportXMLElement& audioChannel = audio.appendChild("audiochannel");
            audioChannel.appendChild(
                "sourcechannel",
                formatMediaText("%lld",
                                static_cast<long long>(audioTrackIndexOfTrack(*track, channel))));
            audioChannel.appendChild("channellabel", "discrete");
        }
    }
}

// Clip items.

ExportXMLElement& XMLExport::createClipItemForVideoSegment(const ClipItemPlace& place,
                                                           ExportXMLElement& node) {
    const MediaSegment& segment = *place.segment;
    const std::shared_ptr<MediaFile> file = sourceFileOf(segment);
    const std::shared_ptr<MediaTrack> source = segment.sourceTrack();
    const std::shared_ptr<TCHelper> timecode = validateTimecode(file->fileTimecode());
    const CMTimeMapping& mapping = segment.timeMapping();
    ExportXMLElement& item = node.appendChild("clipitem");
    item.setAttribute("id", clipItemId(segment, 0, place.clipIndex));
    item.appendChild("name", nameWithoutExtension(segment.sourceName()));
    addTimeElementWithName("duration", place.compositionTrack->timeRange().duration,
                           rateOrProject(source->videoFrameRate()), item);
    addFrameRate(timecode->frameRate(), item);
    addTimeElementWithName("in", mapping.source.start, timecode->frameRate(), item);
    addTimeElementWithName("out", mapping.source.end(), timecode->frameRate(), item);
    addTimeElementWithName("start", mapping.target.start, projectFramerate(), item);
    addTimeElementWithName("end", mapping.target.end(), projectFramerate(), item);
    item.appendChild("pixelaspectratio", "Square");
    item.appendChild("anamorphic", "FALSE");
    item.appendChild("alphatype", "none");
    addFileNode(*file, item);
    scaleFilterForSegment(segment, item);
    item.appendChild("fielddominance", projectInterlaced() ? "lower" : "none");
    item.appendChild("sourcetrack").appendChild("mediatype", "video");
    return item;
}

ExportXMLElement& XMLExport::createClipItemForAudioSegment(const ClipItemPlace& place,
                                                           int64_t channel,
                                                           ExportXMLElement& node) {
    const MediaSegment& segment = *place.segment;
    const std::shared_ptr<MediaFile> file = sourceFileOf(segment);
    const std::shared_ptr<MediaTrack> source = segment.sourceTrack();
    const std::shared_ptr<TCHelper> timecode = validateTimecode(file->timecode());
    const double rate = timecode->frameRate();
    const CMTimeMapping& mapping = segment.timeMapping();
    ExportXMLElement& item = node.appendChild("clipitem");
    item.setAttribute("id", clipItemId(segment, channel, place.clipIndex));
    item.appendChild("name", nameWithoutExtension(segment.sourceName()));
    addTimeElementWithName("duration", place.compositionTrack->timeRange().duration, rate, item);
    addFrameRate(rate, item);
    addTimeElementWithName("in", mapping.source.start, rate, item);
    addTimeElementWithName("out", mapping.source.end(), rate, item);
    addTimeElementWithName("start", mapping.target.start, projectFramerate(), item);
    addTimeElementWithName("end", mapping.target.end(), projectFramerate(), item);
    addFileNode(*file, item);
    ExportXMLElement& sourceTrack = item.appendChild("sourcetrack");
    sourceTrack.appendChild("mediatype", "audio");
    sourceTrack.appendChild(
        "trackindex",
        formatMediaText("%lld", static_cast<long long>(audioTrackIndexOfTrack(*source, channel))));
    return item;
}

// Sequences.

void XMLExport::addClip(const std::shared_ptr<MediaComposition>& composition,
                        ExportXMLElement& node) {
    if (xmlEncoding_ == EncodingMergedSequences)
        addSequenceInternal(composition, true, node);
    else
        addClipFCP(composition, node);
}

void XMLExport::addSequence(const std::shared_ptr<MediaComposition>& composition,
                            ExportXMLElement& node) {
    addSequenceInternal(composition, false, node);
}

void XMLExport::addSequenceInternal(const std::shared_ptr<MediaComposition>& composition,
                                    bool isMergedClip, ExportXMLElement& node) {
    if (!composition) return;
    const std::string name = composition->name();
    ExportXMLElement& sequence = node.appendChild("sequence");
    sequence.setAttribute("id", uniqueIdWithName(name, "seq"));
    if (isMergedClip) sequence.setAttribute("BE.Sequence.IsMergedClip", "true");
    sequence.appendChild("updatebehavior", "add");
    sequence.appendChild("name", name);
    const std::shared_ptr<TCHelper> timecode = validateTimecode(composition->timecode());
    addTimeElementWithName("duration", composition->duration(), timecode->frameRate(), sequence);
    addFrameRate(timecode->frameRate(), sequence);
    addTimecode(timecode, sequence);
    sequence.appendChild("in", "-1");
    sequence.appendChild("out", "-1");
    ExportXMLElement& media = sequence.appendChild("media");

    if (composition->hasVideo()) {
        ExportXMLElement& video = media.appendChild("video");
        ExportXMLElement& characteristics =
            video.appendChild("format").appendChild("samplecharacteristics");
        characteristics.appendChild("width", formatMediaText("%0.0f", projectVideoWidth()));
        characteristics.appendChild("height", formatMediaText("%0.0f", projectVideoHeight()));
        characteristics.appendChild("anamorphic", "FALSE");
        characteristics.appendChild("pixelaspectratio", "Square");
        characteristics.appendChild("fielddominance", projectInterlaced() ? "lower" : "none");
        addFrameRate(projectFramerate(), characteristics);
        characteristics.appendChild("colordepth", "24");
        if (!isMergedClip) addFCP7CodecSpecificDataToNode(characteristics);
        for (const std::shared_ptr<MediaTrack>& track : composition->videoTracks()) {
            ExportXMLElement& trackNode = video.appendChild("track");
            int64_t clipIndex = 0;
            for (const MediaSegment& segment : track->segments()) {
                if (segment.isEmpty()) continue;
                ++clipIndex;
                if (!sourceFileOf(segment)) continue;
                createClipItemForVideoSegment({&segment, track.get(), clipIndex}, trackNode);
            }
            trackNode.appendChild("enabled", "TRUE");
            trackNode.appendChild("locked", "FALSE");
        }
    }
    if (composition->hasAudio()) addSequenceAudio(*composition, media);
    addLinkInformationToMediaNode(media);
}

void XMLExport::addSequenceAudio(const MediaComposition& composition, ExportXMLElement& media) {
    ExportXMLElement& audio = media.appendChild("audio");
    audio.appendChild("format").appendChild("samplecharacteristics").appendChild("depth", "16");
    audio.child("format")
        ->child("samplecharacteristics")
        ->appendChild("samplerate", formatMediaText("%d", int(projectAudioSampleRate())));
    ExportXMLElement& outputs = audio.appendChild("outputs");
    addAudioGroup(1, outputs);
    addAudioGroup(2, outputs);
    audio.appendChild("in", "-1");
    audio.appendChild("out", "-1");
    for (const std::shared_ptr<MediaTrack>& track : composition.audioTracks()) {
        uint32_t channels = 0;
        for (const MediaSegment& segment : track->segments()) {
            const std::shared_ptr<MediaTrack> source = segment.sourceTrack();
            if (!segment.isEmpty() && source)
                channels = std::max(channels, source->audioChannelCount());
        }
        std::vector<ExportXMLElement*> tracks;
        for (uint32_t channel = 0; channel < channels; ++channel)
            tracks.push_back(&audio.appendChild("track"));
        int64_t clipIndex = 0;
        for (const MediaSegment& segment : track->segments()) {
            if (segment.isEmpty()) continue;
            ++clipIndex;
            const std::shared_ptr<MediaFile> file = sourceFileOf(segment);
            const std::shared_ptr<MediaTrack> source = segment.sourceTrack();
            if (!file || !source) continue;
            std::vector<MediaSegment> pieces;
            if (isMultiFileWaveSet(*file))
                pieces = segment.subSegments();
            else
                pieces.push_back(segment);
            for (uint32_t channel = 0; channel < source->audioChannelCount(); ++channel) {
                if (muteAudioTimecode() && isTimecodeChannel(*source, channel)) continue;
                for (const MediaSegment& piece : pieces) {
                    if (piece.isEmpty() || !sourceFileOf(piece)) continue;
                    createClipItemForAudioSegment({&piece, track.get(), clipIndex}, channel,
                                                  *tracks[channel]);
                }
            }
        }
        for (ExportXMLElement* trackNode : tracks)
            if (!trackNode->hasChildren()) audio.removeChild(*trackNode);
    }
}

void XMLExport::addLinkInformationToMediaNode(ExportXMLElement& media) const {
    struct Item {
        ExportXMLElement* element;
        const char* mediaType;
        size_t trackIndex;
        size_t clipIndex;
    };
    std::map<std::string, std::vector<Item>> byFile;
    std::vector<std::pair<std::string, Item>> items;
    for (const char* kind : {"video", "audio"}) {
        const ExportXMLElement* group = media.child(kind);
        if (!group) continue;
        const auto tracks = group->children("track");
        for (size_t trackIndex = 0; trackIndex < tracks.size(); ++trackIndex) {
            const auto clipItems = tracks[trackIndex]->children("clipitem");
            for (size_t clipIndex = 0; clipIndex < clipItems.size(); ++clipIndex) {
                const ExportXMLElement* file = clipItems[clipIndex]->child("file");
                const std::string* id = file ? file->attribute("id") : nullptr;
                if (!id) continue;
                byFile[*id].push_back({clipItems[clipIndex], kind, trackIndex + 1, clipIndex + 1});
            }
        }
    }
    for (auto& [id, group] : byFile) {
        if (group.size() < 2) continue;
        for (const Item& item : group) {
            for (const Item& linked : group) {
                ExportXMLElement& link = item.element->appendChild("link");
                link.appendChild("linkclipref", *linked.element->attribute("id"));
                link.appendChild("mediatype", linked.mediaType);
                link.appendChild("trackindex", std::to_string(linked.trackIndex));
                link.appendChild("clipindex", std::to_string(linked.clipIndex));
            }
        }
    }
}

// Clips.

void XMLExport::addMasterClip(const std::shared_ptr<MediaFile>& file, ExportXMLElement& node) {
    if (!file) return;
    const std::shared_ptr<TCHelper> timecode = validateTimecode(file->timecode());
    const double rate = timecode->frameRate();
    const std::string id = uniqueIdWithName(file->name(), "clip");
    ExportXMLElement& clip = node.appendChild("clip");
    clip.setAttribute("id", id);
    addName(file->name(), rateOrProject(file->frameRate()), file->duration(), clip);
    addTimeElementWithName("in", kCMTimeZero, rate, clip);
    addTimeElementWithName("out", file->duration(), rate, clip);
    clip.appendChild("masterclipid", id);
    clip.appendChild("ismasterclip", "TRUE");
    ExportXMLElement& logging = clip.appendChild("logginginfo");
    logging.appendChild("scene", file->scene().value_or(""));
    logging.appendChild("shottake", file->take().value_or(""));
    logging.appendChild("lognote", file->note().value_or(""));

    ExportXMLElement& media = clip.appendChild("media");
    const auto addItem = [&](ExportXMLElement& track, const MediaTrack& source,
                             int64_t channel) -> ExportXMLElement& {
        ExportXMLElement& item = track.appendChild("clipitem");
        const MediaSegment* segment = source.firstNonEmptySegment();
        item.setAttribute("id", segment ? clipItemId(*segment, channel, 1) : randomUUID());
        item.appendChild("masterclipid", id);
        item.appendChild("name", nameWithoutExtension(file->name()));
        addFrameRate(rate, item);
        addTimeElementWithName("duration", source.timeRange().duration, rate, item);
        addFileNode(*file, item);
        return item;
    };
    if (file->hasVideo()) {
        ExportXMLElement& track = media.appendChild("video").appendChild("track");
        addItem(track, *file->firstVideoTrack(), 0);
    }
    if (!file->hasAudio()) return;
    ExportXMLElement& audio = media.appendChild("audio");
    for (const std::shared_ptr<MediaTrack>& source : file->audioTracks()) {
        for (uint32_t channel = 0; channel < source->audioChannelCount(); ++channel) {
            ExportXMLElement& item = addItem(audio.appendChild("track"), *source, channel);
            ExportXMLElement& sourceTrack = item.appendChild("sourcetrack");
            sourceTrack.appendChild("mediatype", "audio");
            sourceTrack.appendChild("trackindex",
                                    std::to_string(audioTrackIndexOfTrack(*source, channel)));
            if (muteAudioTimecode() && isTimecodeChannel(*source, channel))
                addAudioLevel(0.0, 0.0, item);
        }
    }
}

void XMLExport::addClipFCP(const std::shared_ptr<MediaComposition>& composition,
                           ExportXMLElement& node) {
    if (!composition) return;
    const std::shared_ptr<TCHelper> timecode = validateTimecode(composition->timecode());
    const std::string name = composition->name();
    const std::string id = uniqueIdWithName(name, "clip");
    ExportXMLElement& clip = node.appendChild("clip");
    clip.setAttribute("id", id);
    addName(name, timecode->frameRate(), composition->duration(), clip);
    clip.appendChild("masterclipid", id);
    clip.appendChild("ismasterclip", "TRUE");
    ExportXMLElement& media = clip.appendChild("media");

    // One clip item of a segment: the source's rate, duration and range, the place in the clip.
    const auto addItem = [&](ExportXMLElement& track, const MediaSegment& segment, int64_t channel,
                             int64_t clipIndex, bool audio) -> ExportXMLElement& {
        const std::shared_ptr<MediaFile> file = sourceFileOf(segment);
        const std::shared_ptr<TCHelper> source =
            validateTimecode(audio ? file->timecode() : file->fileTimecode());
        const CMTimeMapping& mapping = segment.timeMapping();
        ExportXMLElement& item = track.appendChild("clipitem");
        item.setAttribute("id", clipItemId(segment, channel, clipIndex));
        item.appendChild("masterclipid", id);
        addName(file->name(), source->frameRate(), file->duration(), item);
        addTimeElementWithName("in", mapping.source.start, source->frameRate(), item);
        addTimeElementWithName("out", mapping.source.end(), source->frameRate(), item);
        addTimeElementWithName("start", mapping.target.start, projectFramerate(), item);
        addTimeElementWithName("end", mapping.target.end(), projectFramerate(), item);
        addFileNode(*file, item);
        return item;
    };
    if (composition->hasVideo()) {
        ExportXMLElement& track = media.appendChild("video").appendChild("track");
        int64_t clipIndex = 0;
        for (const MediaSegment& segment : composition->firstVideoTrack()->segments()) {
            if (segment.isEmpty()) continue;
            ++clipIndex;
            if (sourceFileOf(segment)) addItem(track, segment, 0, clipIndex, false);
        }
    }
    if (!composition->hasAudio()) return;
    ExportXMLElement& audio = media.appendChild("audio");
    for (const std::shared_ptr<MediaTrack>& compositionTrack : composition->audioTracks()) {
        for (uint32_t channel = 0; channel < compositionTrack->audioChannelCount(); ++channel) {
            ExportXMLElement& track = audio.appendChild("track");
            int64_t clipIndex = 0;
            for (const MediaSegment& segment : compositionTrack->segments()) {
                if (segment.isEmpty()) continue;
                ++clipIndex;
                const std::shared_ptr<MediaTrack> source = segment.sourceTrack();
                if (!sourceFileOf(segment) || !source || channel >= source->audioChannelCount())
                    continue;
                ExportXMLElement& item = addItem(track, segment, channel, clipIndex, true);
                ExportXMLElement& sourceTrack = item.appendChild("sourcetrack");
                sourceTrack.appendChild("mediatype", "audio");
                sourceTrack.appendChild("trackindex",
                                        std::to_string(audioTrackIndexOfTrack(*source, channel)));
                if (muteAudioTimecode() && isTimecodeChannel(*source, channel))
                    addAudioLevel(0.0, 0.0, item);
            }
        }
    }
}

// Writing.

void XMLExport::moveFileDefinitionsFirst() {
    std::map<std::string, ExportXMLElement*> first;
    std::vector<ExportXMLElement*> pending = {&rootNode_};
    // Depth first, in document order.
    while (!pending.empty()) {
        ExportXMLElement* element = pending.back();
        pending.pop_back();
        if (element->name() == "file") {
            if (const std::string* id = element->attribute("id")) {
                const auto [at, inserted] = first.emplace(*id, element);
                if (!inserted && !at->second->hasChildren() && element->hasChildren())
                    at->second->takeContentOf(*element);
            }
            continue;
        }
        const auto children = element->children();
        for (auto child = children.rbegin(); child != children.rend(); ++child)
            pending.push_back(*child);
    }
}

std::string XMLExport::xmlString() {
    moveFileDefinitionsFirst();
    rootNode_.setLeadingComments({vorlaneVersion(), vorlaneSettings()});
    return exportXMLDocumentText(R"(version="1.0" encoding="UTF-8")", rootNode_);
}

bool XMLExport::exportToURL(const std::filesystem::path& url) {
    const std::string text = xmlString();
    const auto writer = AtomicFileWriter::create(url);
    if (!writer) {
        Log::writef("XMLExport: cannot create %s: %s", url.c_str(),
                    AtomicFileWriter::lastFailure().c_str());
        return false;
    }
    if (!writer->write({reinterpret_cast<const uint8_t*>(text.data()), text.size()}) ||
        !writer->commit()) {
        Log::writef("XMLExport: cannot write %s: %s", url.c_str(),
                    AtomicFileWriter::lastFailure().c_str());
        return false;
    }
    return true;
}

}  // namespace vorlane
