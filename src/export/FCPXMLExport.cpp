#include "export/FCPXMLExport.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>

#include "media/MediaFile.h"
#include "media/MediaText.h"
#include "platform/AtomicFileWriter.h"
#include "platform/DefaultsKeys.h"
#include "platform/Log.h"
#include "platform/Process.h"
#include "sync/MediaComposition.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

// The event's name ends with a clapperboard.
constexpr const char* kEventSymbol = "\xF0\x9F\x8E\xAC";

std::string timeText(CMTime time) {
    return formatMediaText("%" PRId64 "/%ds", time.value, int(time.timescale));
}

bool isPositive(CMTime time) {
    return time.isValid() && time > kCMTimeZero;
}

__extension__ typedef __int128 Int128;

enum class GridRounding { Down, Nearest, Up };

// The time on the frame grid of the rate: the frame boundary at or before it, the nearest one
// or the one at or after it; unchanged without a rate.
CMTime onFrameGrid(CMTime time, double frameRate, GridRounding rounding = GridRounding::Nearest) {
    if (!time.isValid() || !(frameRate > 0.0)) return time;
    const CMTime frame = TCHelper(frameRate, false).preciseFrameDuration();
    if (!frame.isValid() || frame.value <= 0) return time;
    // time / frame = (value * frame timescale) / (timescale * frame value), counted exactly.
    const Int128 dividend = Int128(time.value) * frame.timescale;
    const Int128 divisor = Int128(time.timescale) * frame.value;
    Int128 frames = dividend / divisor;
    Int128 rest = dividend % divisor;
    if (rest < 0) {
        --frames;
        rest += divisor;
    }
    if ((rounding == GridRounding::Up && rest != 0) ||
        (rounding == GridRounding::Nearest && 2 * rest >= divisor))
        ++frames;
    return CMTimeMultiply(frame, int64_t(frames));
}

// The timecode's time on its own frame grid.
CMTime roundedTimecodeTime(const TCHelper& timecode) {
    return onFrameGrid(timecode.time(), timecode.frameRate());
}

// The file timecode's time without the user's offset, when the file has a usable one.
CMTime usableFileTimecodeTime(const MediaFile& file) {
    if (!FCPXMLExport::hasFileUsableTimecode(file)) return kCMTimeZero;
    return file.fileTimecode()->timeWithoutOffset();
}

// The known names of Final Cut Pro's frame formats.
const std::set<std::string>& knownVideoFormats() {
    static const std::set<std::string> formats = [] {
        const std::vector<std::string> progressive = {"p2398", "p24", "p25",   "p2997",
                                                      "p30",   "p50", "p5994", "p60"};
        std::vector<std::string> progressiveAndInterlaced = progressive;
        progressiveAndInterlaced.insert(progressiveAndInterlaced.end(), {"i50", "i5994"});
        const std::vector<std::pair<std::string, std::vector<std::string>>> sizes = {
            {"1080", progressiveAndInterlaced},
            {"720", progressive},
            {"1280x1080", progressiveAndInterlaced},
            {"1440x1080", progressiveAndInterlaced},
            {"2048x1024", progressive},
            {"2048x1080", progressive},
            {"2048x1152", progressive},
            {"2048x1536", progressive},
            {"2048x1556", progressive},
            {"3840x2160", progressive},
            {"4096x2048", progressive},
            {"4096x2160", progressive},
            {"4096x2304", progressive},
            {"4096x3112", progressive},
            {"5120x2160", progressive},
            {"5120x2560", progressive},
            {"5120x2700", progressive},
            {"960x720", progressive},
            {"960x540", {"p2398", "p24", "p25", "p2997", "p30"}},
            {"640x480", {"p2398", "p24", "p25", "p2997", "p30"}},
            {"640x360", {"p2997"}},
            {"720x576", {"p25", "i50", "p25_16x9", "i50_16x9"}},
            {"720x486", {"p2398", "p2997", "i5994", "p2398_16x9", "p2997_16x9", "i5994_16x9"}},
            {"DV720x480", {"p2398", "p2997", "i5994", "p2398_16x9", "p2997_16x9", "i5994_16x9"}},
            {"DV720x576", {"i50", "i50_16x9"}},
        };
        std::set<std::string> names = {"FFVideoFormatRateUndefined"};
        for (const auto& [size, rates] : sizes)
            for (const std::string& rate : rates)
                names.insert("FFVideoFormat" + size + rate);
        return names;
    }();
    return formats;
}

// Rates that the conform-rate element can name.
const std::set<std::string>& conformableRates() {
    static const std::set<std::string> rates = {"23.98", "24",    "25", "29.97", "30",
                                                "60",    "47.95", "48", "50",    "59.94"};
    return rates;
}

std::string conformRateText(double rate) {
    if (rate == std::floor(rate)) return formatMediaText("%.0f", rate);
    return formatMediaText("%.2f", rate);
}

std::optional<int64_t> numberIn(const MetadataValue* value) {
    if (!value) return std::nullopt;
    if (const auto number = value->integer()) return number;
    if (const std::string* text = value->string()) {
        char* end = nullptr;
        const long long parsed = std::strtoll(text->c_str(), &end, 10);
        if (end != text->c_str()) return parsed;
    }
    return std::nullopt;
}

const MetadataValue* entryValue(const MetadataValue& entry, const char* key) {
    const MetadataDictionary* dictionary = entry.dictionary();
    if (!dictionary) return nullptr;
    const auto found = dictionary->find(key);
    return found == dictionary->end() ? nullptr : &found->second;
}

// The source file of the track's first segment with material.
std::shared_ptr<MediaFile> firstSourceFile(const MediaTrack& track) {
    const MediaSegment* segment = track.firstNonEmptySegment();
    return segment ? sourceMediaFileOfSegment(*segment) : nullptr;
}

// Where a segment's material starts on its own timeline: its source start, on the file's
// timecode when the file has a usable one.
CMTime exactSourceStart(const MediaSegment& segment) {
    const std::shared_ptr<MediaFile> file = sourceMediaFileOfSegment(segment);
    const CMTime start = segment.timeMapping().source.start;
    return file ? start + usableFileTimecodeTime(*file) : start;
}

bool isSound(const MediaSegment& segment) {
    const std::shared_ptr<MediaFile> file = sourceMediaFileOfSegment(segment);
    return file && !file->hasVideo();
}

}  // namespace

// The timeline a composition's story is written on. Composition time zero lies at the
// composition's timecode; story elements go on the frame grid of the container's format: the
// composition's start and end rounded outward, so that no sound is cut, the boundaries between
// elements to the nearest frame. A picture that moves onto the grid (the sync map's cuts leave
// takes anywhere) carries its sound along: sound keeps its exact distance to the picture it
// plays with, the first one it overlaps, to the sample.
class FCPXMLExport::StoryTimeline {
  public:
    StoryTimeline(const MediaComposition& composition, const TCHelper& timecode, double frameRate)
        : origin_(timecode.time()),
          frameRate_(frameRate),
          end_(composition.duration()),
          gapStart_(oneHourWithTC(TCHelper(frameRate, false))) {
        for (const std::shared_ptr<MediaTrack>& track : composition.videoTracks()) {
            std::vector<std::pair<CMTimeRange, CMTime>>& shifts = pictureShifts_.emplace_back();
            for (const MediaSegment& segment : track->segments()) {
                if (segment.isEmpty() || !sourceMediaFileOfSegment(segment)) continue;
                const CMTimeRange target = segment.timeMapping().target;
                const CMTime moved = boundary(target.start) - (origin_ + target.start);
                const CMTime start = exactSourceStart(segment);
                shifts.emplace_back(target, moved - (pictureStart(start) - start));
            }
        }
    }

    double frameRate() const { return frameRate_; }
    // The frame boundaries at or before the composition's start and at or after its end.
    CMTime start() const { return boundary(kCMTimeZero); }
    CMTime end() const { return boundary(end_); }

    // A storyline element over a range of the composition: from boundary to boundary; a gap's
    // own timeline begins an hour in, a picture's at its first frame on the grid.
    Placement storylinePlacement(CMTimeRange range, const MediaSegment* segment) const {
        const CMTime offset = boundary(range.start);
        return {offset, boundary(range.end()) - offset,
                segment ? pictureStart(exactSourceStart(*segment)) : gapStart_};
    }

    // An element anchored to a parent: a picture on the grid; sound at its exact place moved
    // with its picture, for whole frames. The offset lies on the parent's own timeline.
    Placement anchoredPlacement(const MediaSegment& segment, const Placement& parent) const {
        const CMTimeRange target = segment.timeMapping().target;
        Placement placement = storylinePlacement(target, &segment);
        if (isSound(segment)) {
            placement = {origin_ + target.start + soundShift(target),
                         onFrameGrid(target.duration, frameRate_, GridRounding::Up),
                         exactSourceStart(segment)};
        }
        placement.offset = parent.start + (placement.offset - parent.offset);
        return placement;
    }

  private:
    CMTime boundary(CMTime time) const {
        const GridRounding rounding = time <= kCMTimeZero ? GridRounding::Down
                                      : time >= end_      ? GridRounding::Up
                                                          : GridRounding::Nearest;
        return onFrameGrid(origin_ + time, frameRate_, rounding);
    }

    CMTime pictureStart(CMTime start) const { return onFrameGrid(start, frameRate_); }

    // How far the first picture that the range overlaps moved: its place on the grid less its
    // exact place, less what its first frame moved within its file.
    CMTime soundShift(CMTimeRange range) const {
        for (const auto& shifts : pictureShifts_) {
            const auto found = std::partition_point(
                shifts.begin(), shifts.end(),
                [&](const auto& shift) { return shift.first.end() <= range.start; });
            if (found != shifts.end() && found->first.start < range.end()) return found->second;
        }
        return kCMTimeZero;
    }

    CMTime origin_;
    double frameRate_;
    CMTime end_;
    CMTime gapStart_;
    // The pictures of each picture track in order: their ranges and how far they moved.
    std::vector<std::vector<std::pair<CMTimeRange, CMTime>>> pictureShifts_;
};

// Creation and the document skeleton.

std::unique_ptr<FCPXMLExport> FCPXMLExport::initWithURL(const std::filesystem::path& url,
                                                        double version,
                                                        const UserDefaults& defaults) {
    if (!(version > 1.0)) return nullptr;
    return std::make_unique<FCPXMLExport>(url, version, defaults);
}

FCPXMLExport::FCPXMLExport(std::filesystem::path url, double version, const UserDefaults& defaults)
    : MediaExport(defaults),
      url_(std::move(url)),
      version_(version),
      subRolePrefix_(defaults.stringForKey(DefaultsKey::fcpxSubRolePrefix).value_or("Trk")) {
    formatCache_.reserve(10);
    formatRates_.reserve(10);
    resourceCache_.reserve(10);
    keywordCache_.reserve(10);
    rootNode_.setAttribute("version", formatMediaText("%1.1f", version_));
    resourcesNode_ = &rootNode_.appendChild("resources");
    libraryNode_ = &rootNode_.appendChild("library");
    eventNode_ = &libraryNode_->appendChild("event");
    eventNode_->setAttribute("name", url_.stem().string() + " " + kEventSymbol);
}

std::string FCPXMLExport::xmlString() {
    addKeywordCollection();
    rootNode_.setLeadingComments({vorlaneVersion(), vorlaneSettings()});
    return exportXMLDocumentText(R"(version="1.0" encoding="UTF-8" standalone="no")", rootNode_);
}

bool FCPXMLExport::exportXML() {
    const std::string text = xmlString();
    const auto writer = AtomicFileWriter::create(url_);
    if (!writer) {
        Log::writef("FCPXMLExport: cannot create %s: %s", url_.c_str(),
                    AtomicFileWriter::lastFailure().c_str());
        return false;
    }
    if (!writer->write({reinterpret_cast<const uint8_t*>(text.data()), text.size()}) ||
        !writer->commit()) {
        Log::writef("FCPXMLExport: cannot write %s: %s", url_.c_str(),
                    AtomicFileWriter::lastFailure().c_str());
        return false;
    }
    return true;
}

bool FCPXMLExport::openInFCPX() const {
    const auto result = runProcess({"xdg-open", url_.string()});
    return result && result->exitStatus == 0;
}

// Formats.

std::string FCPXMLExport::videoFormatWithFrameRate(double frameRate, MediaSize size,
                                                   bool interlaced) {
    if (frameRate == 0.0) return "FFVideoFormatRateUndefined";
    const char* scan = interlaced ? "i" : "p";
    const double rate = interlaced ? 2.0 * frameRate : frameRate;
    const double whole = std::floor(rate);
    const std::string rateText = rate == whole
                                     ? formatMediaText("%s%02d", scan, int(whole))
                                     : formatMediaText("%s%02d%02d", scan, int(whole),
                                                       int(std::round((rate - whole) * 100)));
    std::string name;
    if (size.width == 1920 && size.height == 1080)
        name = "FFVideoFormat1080" + rateText;
    else if (size.width == 1280 && size.height == 720)
        name = "FFVideoFormat720" + rateText;
    else
        name = formatMediaText("FFVideoFormat%0.0fx%0.0f%s", size.width, size.height,
                               rateText.c_str());
    if (knownVideoFormats().count(name) != 0) return name;
    return formatMediaText("CustomVideoFormat%0.0fx%0.0f%s%f", size.width, size.height, scan,
                           frameRate);
}

size_t FCPXMLExport::addFormatNodeWithFrameRate(double frameRate, MediaSize size, bool interlaced) {
    const std::string name = videoFormatWithFrameRate(frameRate, size, interlaced);
    if (const auto found = formatPositions_.find(name); found != formatPositions_.end())
        return found->second;
    const size_t position = formatCache_.size();
    ExportXMLElement& format = resourcesNode_->appendChild("format");
    format.setAttribute("id", formatMediaText("format_%zu", position));
    if (name.starts_with("FFVideoFormat")) format.setAttribute("name", name);
    if (name != "FFVideoFormatRateUndefined") {
        format.setAttribute("frameDuration",
                            timeText(TCHelper(frameRate, false).preciseFrameDuration()));
        format.setAttribute("width", formatMediaText("%0.0f", size.width));
        format.setAttribute("height", formatMediaText("%0.0f", size.height));
        if (isVersion17()) format.setAttribute("colorSpace", "1-1-1 (Rec. 709)");
    }
    formatCache_.push_back(name);
    formatRates_.push_back(name == "FFVideoFormatRateUndefined" ? 0.0 : frameRate);
    formatPositions_.emplace(name, position);
    return position;
}

size_t FCPXMLExport::addFormatNodeForMediaFile(const MediaFile* file) {
    if (file && file->hasVideo()) {
        const std::shared_ptr<MediaTrack> video = file->firstVideoTrack();
        return addFormatNodeWithFrameRate(file->frameRate(), video->videoSize(),
                                          video->videoFieldCount() == 2);
    }
    if (file && file->hasAudio() && hasFileUsableTimecode(*file))
        return addFormatNodeWithFrameRate(file->fileTimecode()->frameRate(), {1280, 720}, false);
    return addFormatNodeWithFrameRate(0.0, {}, false);
}

size_t FCPXMLExport::addFormatNodeForTimecode(const TCHelper* timecode) {
    return addFormatNodeWithFrameRate(timecode ? timecode->frameRate() : 0.0, {1280, 720}, false);
}

size_t FCPXMLExport::addProjectFormatNode() {
    return addFormatNodeWithFrameRate(
        projectFramerate(), {projectVideoWidth(), projectVideoHeight()}, projectInterlaced());
}

// Assets.

bool FCPXMLExport::hasFileUsableTimecode(const MediaFile& file) {
    const std::shared_ptr<TCHelper> timecode = file.fileTimecode();
    if (!timecode) return false;
    const std::string source = timecode->source();
    return source != "XAVC-S Meta" && source != "SEI Metadata" && source != "ID3 Metadata";
}

size_t FCPXMLExport::addResourceNodeForMediaFile(const MediaFile& file) {
    const std::string key = file.sourceURLPath().string();
    if (const auto found = resourcePositions_.find(key); found != resourcePositions_.end())
        return found->second;
    const size_t format = addFormatNodeForMediaFile(&file);
    const size_t position = resourceCache_.size();
    ExportXMLElement& asset = resourcesNode_->appendChild("asset");
    asset.setAttribute("id", formatMediaText("asset_%zu", position));
    if (const auto uid = file.metaDataString(kFCPXUUID)) asset.setAttribute("uid", *uid);
    asset.setAttribute("name", nameWithoutExtension(file.name()));
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(file.sourceURLPath(), error);
    asset.setAttribute(
        "src",
        "file://" + percentEscapedPath(
                        (error ? file.sourceURLPath() : absolute).lexically_normal().string()));
    asset.setAttribute("format", formatMediaText("format_%zu", format));
    asset.setAttribute("duration", timeText(file.duration()));
    asset.setAttribute("start", hasFileUsableTimecode(file) ? timeText(usableFileTimecodeTime(file))
                                                            : std::string("0/1s"));
    if (file.hasVideo()) asset.setAttribute("hasVideo", "1");
    if (file.hasAudio()) {
        uint32_t channels = 1;
        double sampleRate = 32000;
        for (const std::shared_ptr<MediaTrack>& track : file.audioTracks()) {
            channels = std::max(channels, track->audioChannelCount());
            sampleRate = std::max(sampleRate, track->audioSampleRate());
        }
        asset.setAttribute("hasAudio", "1");
        asset.setAttribute("audioSources", std::to_string(file.audioTrackCount()));
        asset.setAttribute("audioChannels", std::to_string(channels));
        asset.setAttribute("audioRate", formatMediaText("%0.0f", sampleRate));
    }
    if (const auto device = file.deviceName()) {
        ExportXMLElement& md = asset.appendChild("metadata").appendChild("md");
        md.setAttribute("key", "com.apple.proapps.mio.cameraName");
        md.setAttribute("value", *device);
    }
    resourceCache_.push_back(key);
    resourcePositions_.emplace(key, position);
    return position;
}

// Story elements.

ExportXMLElement& FCPXMLExport::storyElementNode(ExportXMLElement& parent,
                                                 const std::string& element,
                                                 const std::optional<std::string>& name,
                                                 CMTime offset, CMTime duration, CMTime start) {
    ExportXMLElement& node = parent.appendChild(element);
    if (name) node.setAttribute("name", *name);
    if (offset.isValid()) node.setAttribute("offset", timeText(offset));
    if (duration.isValid()) node.setAttribute("duration", timeText(duration));
    if (start.isValid()) node.setAttribute("start", timeText(start));
    return node;
}

CMTime FCPXMLExport::oneHourWithTC(const TCHelper& timecode) {
    const double rate = timecode.frameRate();
    if (rate > 0.0 && timecode.isNTSC()) {
        const double rounded = std::round(rate);
        return CMTimeMake(int64_t(std::llround(rate * 3600)) * 1001, CMTimeScale(rounded * 1000));
    }
    const CMTime frame = TCHelper(rate, false).preciseFrameDuration();
    if (!frame.isValid()) return CMTimeMake(3600, 1);
    return CMTimeMake(int64_t(frame.timescale) * 3600, frame.timescale);
}

FCPXMLExport::StoryElement FCPXMLExport::gapNodeForEmptySegment(ExportXMLElement& parent,
                                                                const MediaSegment& segment,
                                                                const StoryTimeline& timeline) {
    const Placement placement = timeline.storylinePlacement(segment.timeMapping().target, nullptr);
    if (!isPositive(placement.duration)) return {};
    return {&storyElementNode(parent, "gap", std::string("Pause"), placement.offset,
                              placement.duration, placement.start),
            placement};
}

FCPXMLExport::StoryElement FCPXMLExport::assetNodeForSegment(ExportXMLElement& parent,
                                                             const MediaSegment& segment,
                                                             const StoryTimeline& timeline,
                                                             const StoryElement* anchor) {
    const std::shared_ptr<MediaFile> file = sourceMediaFileOfSegment(segment);
    if (!file) return {};
    const Placement placement =
        anchor ? timeline.anchoredPlacement(segment, anchor->placement)
               : timeline.storylinePlacement(segment.timeMapping().target, &segment);
    if (!isPositive(placement.duration)) return {};
    return {&clipNodeWithFile(parent, *file, placement, timeline.frameRate()), placement};
}

ExportXMLElement& FCPXMLExport::clipNodeWithFile(ExportXMLElement& parent, const MediaFile& file,
                                                 const Placement& placement, double timelineRate) {
    ExportXMLElement& clip =
        storyElementNode(parent, "clip", nameWithoutExtension(file.name()), placement.offset,
                         placement.duration, placement.start);
    if (hasFileUsableTimecode(file))
        clip.setAttribute("tcFormat", file.fileTimecode()->dropFrameString());
    const std::string ref = formatMediaText("asset_%zu", addResourceNodeForMediaFile(file));

    ExportXMLElement* anchor = nullptr;
    if (file.hasVideo()) {
        ExportXMLElement& video = storyElementNode(clip, "video", std::nullopt, placement.start,
                                                   placement.duration, placement.start);
        video.setAttribute("ref", ref);
        if (const auto role = file.metaDataString(kFCPXVideoRole))
            video.setAttribute("role", *role);
        const double rate = file.frameRate();
        if (rate > 0.0 && rate != timelineRate) {
            // Only the rates that the format can name are conformed; others play as they are.
            const std::string rateText = conformRateText(rate);
            if (conformableRates().count(rateText) != 0) {
                ExportXMLElement& conform = video.appendChild("conform-rate");
                conform.setAttribute("srcFrameRate", rateText);
                conform.setAttribute("scaleEnabled", "0");
                clip.setAttribute("tcFormat", "NDF");
            }
        }
        anchor = &video;
    }
    int32_t lane = 1;
    const auto audioTracks = file.audioTracks();
    for (size_t index = 0; index < audioTracks.size(); ++index) {
        const MediaTrack& track = *audioTracks[index];
        const uint64_t mask = track.getAudioChannelMask();
        for (uint32_t channel = 0; channel < track.audioChannelCount(); ++channel) {
            if (muteAudioTimecode() && channel < 64 && (mask >> channel) & 1) continue;
            ExportXMLElement& audio = storyElementNode(
                anchor ? *anchor : clip, "audio", std::nullopt, placement.start + file.shiftTime(),
                placement.duration, placement.start);
            if (anchor) audio.setAttribute("lane", formatMediaText("-%d", lane++));
            audio.setAttribute("ref", ref);
            if (index != 0) audio.setAttribute("srcID", std::to_string(index + 1));
            audio.setAttribute("srcCh", std::to_string(channel + 1));
            if (isVersion15()) audio.setAttribute("role", getRoleForAudioTrack(track, channel));
            if (!anchor) anchor = &audio;
        }
    }
    return clip;
}

// Roles and channels.

std::optional<std::string> FCPXMLExport::uniqueAudioChannelNameForTrack(const MediaTrack& track,
                                                                        int32_t channelNumber) {
    const auto found = track.metaData().find(kAudioChannelList);
    if (found == track.metaData().end() || !found->second.list()) return std::nullopt;
    const MetadataList& entries = *found->second.list();
    std::optional<std::string> name;
    for (const MetadataValue& entry : entries) {
        const MetadataValue* nameValue = entryValue(entry, kAudioChannelName);
        const std::string* text = nameValue ? nameValue->string() : nullptr;
        if (numberIn(entryValue(entry, kAudioInterleaveIndex)) == channelNumber && text &&
            !text->empty()) {
            name = *text;
            break;
        }
    }
    if (!name) return std::nullopt;
    int32_t sharing = 0;
    int32_t below = 0;
    for (const MetadataValue& entry : entries) {
        const MetadataValue* nameValue = entryValue(entry, kAudioChannelName);
        if (!nameValue || !nameValue->string() || *nameValue->string() != *name) continue;
        ++sharing;
        const auto index = numberIn(entryValue(entry, kAudioInterleaveIndex));
        if (index && *index < channelNumber) ++below;
    }
    if (sharing >= 2) return formatMediaText("%s-%d", name->c_str(), 1 + below);
    return name;
}

std::string FCPXMLExport::getRoleForAudioTrack(const MediaTrack& track, int32_t channel) const {
    const std::shared_ptr<MediaFile> file = firstSourceFile(track);
    const int64_t sourceChannel = int64_t(track.totalAudioChannelStart()) + channel + 1;
    if (file) {
        if (const auto sources = file->metaDataValue(kFCPXAudioChannelSources);
            sources && sources->list()) {
            for (const MetadataValue& entry : *sources->list()) {
                if (numberIn(entryValue(entry, "srcCh")) != sourceChannel) continue;
                const MetadataValue* role = entryValue(entry, "role");
                if (role && role->string()) return *role->string();
                break;
            }
        }
        if (file->type() == MediaTypeMovie) return "dialogue.Camera";
    }
    if (const auto name = uniqueAudioChannelNameForTrack(track, channel + 1))
        return "dialogue." + *name;
    return formatMediaText("dialogue.%s%lld", subRolePrefix_.c_str(),
                           static_cast<long long>(sourceChannel));
}

ExportXMLElement& FCPXMLExport::audioSourceNodeWithRole(ExportXMLElement& parent,
                                                        const std::string& role,
                                                        const std::string& srcCh, bool active) {
    if (isVersion15()) {
        ExportXMLElement& source = parent.appendChild("audio-source");
        const size_t dot = role.rfind('.');
        source.setAttribute("name", dot == std::string::npos ? role : role.substr(dot + 1));
        source.setAttribute("srcCh", srcCh);
        if (!active) source.setAttribute("enabled", "0");
        return source;
    }
    ExportXMLElement& source = parent.appendChild("audio-channel-source");
    source.setAttribute("role", role);
    source.setAttribute("srcCh", srcCh);
    if (!active) source.setAttribute("active", "0");
    return source;
}

void FCPXMLExport::addAudioChannelInfosOfMediaFile(const MediaFile& file, ExportXMLElement& node,
                                                   bool keepOriginal) {
    int32_t counter = 1;
    const bool camera = file.type() == MediaTypeMovie;
    for (const std::shared_ptr<MediaTrack>& track : file.audioTracks()) {
        const uint64_t mask = track->getAudioChannelMask();
        if (track->audioChannelCount() == 2 && camera && (mask == 0 || !muteAudioTimecode())) {
            const std::string role = getRoleForAudioTrack(*track, 0);
            audioSourceNodeWithRole(node, role, formatMediaText("%d, %d", counter, counter + 1),
                                    keepOriginal);
            counter += 2;
            continue;
        }
        for (uint32_t channel = 0; channel < track->audioChannelCount(); ++channel) {
            if (muteAudioTimecode() && channel < 64 && (mask >> channel) & 1) continue;
            const std::string role = getRoleForAudioTrack(*track, int32_t(channel));
            audioSourceNodeWithRole(node, role, std::to_string(counter), keepOriginal || !camera);
            ++counter;
        }
    }
}

// Metadata and keywords.

void FCPXMLExport::addMetadata(const MetadataDictionary* metadata, ExportXMLElement& node) {
    if (metadata) {
        if (const auto note = metadataString(*metadata, kNote)) node.prependChild("note", *note);
    }
    ExportXMLElement& element = node.appendChild("metadata");
    if (!metadata) return;
    static const std::pair<const char*, const char*> kKeys[] = {
        {kReel, "com.apple.proapps.studio.reel"},
        {kScene, "com.apple.proapps.studio.scene"},
        {kTake, "com.apple.proapps.studio.shot"},
        {kAngle, "com.apple.proapps.studio.angle"},
    };
    for (const auto& [key, mdKey] : kKeys) {
        const auto value = metadataString(*metadata, key);
        if (!value) continue;
        ExportXMLElement& md = element.appendChild("md");
        md.setAttribute("key", mdKey);
        md.setAttribute("value", *value);
    }
}

void FCPXMLExport::addKeyword(const std::optional<std::string>& keyword, ExportXMLElement& node,
                              CMTimeRange range) {
    if (!keyword) return;
    if (keywords_.insert(*keyword).second) keywordCache_.push_back(*keyword);
    ExportXMLElement& element = node.appendChild("keyword");
    if (range.duration.isValid()) element.setAttribute("duration", timeText(range.duration));
    if (range.start.isValid()) element.setAttribute("start", timeText(range.start));
    element.setAttribute("value", *keyword);
}

void FCPXMLExport::addKeywordCollection() {
    if (keywordCollectionsAdded_) return;
    keywordCollectionsAdded_ = true;
    for (const std::string& keyword : keywordCache_)
        eventNode_->appendChild("keyword-collection").setAttribute("name", keyword);
}

// Compositions.

std::shared_ptr<TCHelper> FCPXMLExport::compositionTimecode(
    const std::shared_ptr<MediaComposition>& composition) const {
    for (const auto& shifted : shiftedCompositions_)
        if (shifted.first == composition) return shifted.second;
    return validateTimecode(composition->timecode());
}

// The first segment of the first picture track is made to end on the frame grid by a gap at
// the head of every track; picture and sound move together so that they stay in sync. A
// composition is moved once, however often it is added.
void FCPXMLExport::shiftCompToMatchFrameGrid(const std::shared_ptr<MediaComposition>& composition,
                                             const TCHelper& timecode) {
    for (const auto& shifted : shiftedCompositions_)
        if (shifted.first == composition) return;
    // The timecode is taken before the move: the gaps put in front change which file a
    // composition takes its timecode from.
    shiftedCompositions_.emplace_back(composition, validateTimecode(composition->timecode()));
    const std::shared_ptr<MediaTrack> video = composition->firstVideoTrack();
    if (!video || video->segments().empty()) return;
    const double rate = timecode.frameRate();
    const CMTime end = video->segments().front().timeMapping().target.duration;
    const CMTime excess = end - onFrameGrid(end, rate);
    if (!excess.isValid() || excess == kCMTimeZero) return;
    const CMTime lead = excess > kCMTimeZero ? TCHelper(rate, false).preciseFrameDuration() - excess
                                             : kCMTimeZero - excess;
    for (const std::shared_ptr<MediaTrack>& track : composition->tracks())
        if (track->isAudioVisual()) track->insertEmptyTimeRange({kCMTimeZero, lead});
}

FCPXMLExport::ConnectableTrack FCPXMLExport::connectableTrack(const MediaTrack& track, bool audio) {
    return {
        &track,
        audio ? formatMediaText("-%d", track.trackNumber()) : std::to_string(track.trackNumber()),
        track.segmentsIncludingSubSegments()};
}

void FCPXMLExport::addChannelsAndMetadata(const MediaFile& file, ExportXMLElement& clip) {
    addAudioChannelInfosOfMediaFile(file, clip, keepOriginalAudio());
    const MetadataDictionary metadata = file.metaData();
    addMetadata(&metadata, clip);
}

void FCPXMLExport::connectSegments(const StoryElement& mainElement, const MediaSegment& mainSegment,
                                   const std::vector<ConnectableTrack>& tracks,
                                   const StoryTimeline& timeline) {
    const CMTimeRange range = mainSegment.timeMapping().target;
    const std::optional<std::filesystem::path> mainURL = mainSegment.sourceURL();
    for (const ConnectableTrack& track : tracks) {
        const std::vector<MediaSegment>& segments = track.segments;
        // Segments follow each other: the first that may start inside the range is found by
        // its start.
        const auto first = std::lower_bound(segments.begin(), segments.end(), range.start,
                                            [](const MediaSegment& segment, CMTime time) {
                                                return segment.timeMapping().target.start < time;
                                            });
        for (auto at = first; at != segments.end(); ++at) {
            const MediaSegment& segment = *at;
            if (!CMTimeRangeContainsTime(range, segment.timeMapping().target.start)) break;
            if (segment.isEmpty() || segment.sourceURL() == mainURL) continue;
            if (!usedSegments_.insert({track.track, size_t(at - segments.begin())}).second)
                continue;
            const StoryElement clip =
                assetNodeForSegment(*mainElement.node, segment, timeline, &mainElement);
            if (!clip.node) continue;
            clip.node->setAttribute("lane", track.lane);
            addChannelsAndMetadata(*sourceMediaFileOfSegment(segment), *clip.node);
        }
    }
}

void FCPXMLExport::addComposition(const std::shared_ptr<MediaComposition>& composition,
                                  const std::optional<std::string>& name, int32_t encodingType) {
    if (!composition) return;
    if (name) composition->setName(*name);
    usedSegments_.clear();
    const std::shared_ptr<TCHelper> timecode = compositionTimecode(composition);
    if (!composition->hasVideo()) {
        composition->addTrackWithMediaType(MediaTrackTypeVideo, 1);
        composition->fillUpWithEmptySegments();
    }
    const std::shared_ptr<MediaTrack> mainTrack =
        composition->hasVideo() ? composition->firstVideoTrack() : composition->firstAudioTrack();
    const std::string clipName = composition->name();

    // The container's format gives the frame grid of its story.
    std::shared_ptr<TCHelper> containerTimecode = timecode;
    size_t format = 0;
    switch (encodingType) {
        case EncodingSyncedClip: {
            const std::shared_ptr<MediaFile> file = firstSourceFile(*mainTrack);
            if (file && !file->timecode() && file->frameRate() > 0.0)
                containerTimecode = TCHelper::helperWithFrameRate(file->frameRate(), false);
            format = file ? addFormatNodeForMediaFile(file.get())
                          : addFormatNodeForTimecode(containerTimecode.get());
            break;
        }
        case EncodingProject:
        case EncodingAllInOne:
            shiftCompToMatchFrameGrid(composition, *timecode);
            format = addProjectFormatNode();
            break;
        default:
            return;
    }
    const StoryTimeline timeline(*composition, *timecode, frameRateOfFormat(format));
    const CMTime start =
        onFrameGrid(containerTimecode->time(), timeline.frameRate(), GridRounding::Down);
    const CMTime duration = timeline.end() - timeline.start();
    const std::string formatText = formatMediaText("format_%zu", format);

    ExportXMLElement* container = nullptr;
    ExportXMLElement* keywordNode = nullptr;
    if (encodingType == EncodingProject) {
        ExportXMLElement& project = eventNode_->appendChild("project");
        project.setAttribute("name", clipName);
        container = &project.appendChild("sequence");
        container->setAttribute("duration", timeText(duration));
        container->setAttribute("format", formatText);
        container->setAttribute("tcStart", timeText(start));
        container->setAttribute("tcFormat", timecode->dropFrameString());
        container->setAttribute("audioLayout", "stereo");
        container->setAttribute("audioRate",
                                formatMediaText("%gk", projectAudioSampleRate() / 1000.0));
        if (isVersion16()) container->setAttribute("renderColorSpace", "Rec. 709");
    } else {
        container = &storyElementNode(*eventNode_, syncedClipElementName(), clipName,
                                      kCMTimeInvalid, duration, start);
        container->setAttribute("format", formatText);
        container->setAttribute("tcFormat", containerTimecode->dropFrameString());
        keywordNode = container;
    }

    ExportXMLElement& spine = container->appendChild("spine");
    std::vector<ConnectableTrack> connected;
    for (const std::shared_ptr<MediaTrack>& track : composition->audioTracks())
        connected.push_back(connectableTrack(*track, true));
    // A project also shows the further picture tracks above the main one.
    if (encodingType == EncodingProject) {
        for (const std::shared_ptr<MediaTrack>& track : composition->videoTracks())
            if (track != mainTrack) connected.push_back(connectableTrack(*track, false));
    }
    for (const MediaSegment& segment : mainTrack->segmentsIncludingSubSegments()) {
        const StoryElement element = segment.isEmpty()
                                         ? gapNodeForEmptySegment(spine, segment, timeline)
                                         : assetNodeForSegment(spine, segment, timeline, nullptr);
        if (!element.node) continue;
        connectSegments(element, segment, connected, timeline);
        const std::shared_ptr<MediaFile> file =
            segment.isEmpty() ? nullptr : sourceMediaFileOfSegment(segment);
        if (file && file->type() == MediaTypeMovie) {
            const bool keep = encodingType == EncodingSyncedClip
                                  ? !composition->successfullySynced() || keepOriginalAudio()
                                  : keepOriginalAudio();
            addAudioChannelInfosOfMediaFile(*file, *element.node, keep);
        }
        if (file) {
            const MetadataDictionary metadata = file->metaData();
            addMetadata(&metadata, *element.node);
        } else {
            addMetadata(nullptr, *element.node);
        }
    }

    const std::string status = composition->syncInformation();
    if (!keywordNode) {
        container->setAttribute("keywords", status);
        return;
    }
    const CMTimeRange synced = composition->syncedTimeRange();
    addKeyword(status, *keywordNode, {timecode->time() + synced.start, synced.duration});
    const MetadataDictionary merged = composition->mergedMetadata();
    addMetadata(&merged, *keywordNode);
}

// The multicam clip's angles lie on the clip's own timeline, which begins at its timecode. Sound
// goes into its angle anchored to a gap on the grid, so that it keeps its exact place.
size_t FCPXMLExport::addMulticamResourceForComposition(
    const std::shared_ptr<MediaComposition>& composition) {
    const std::string key = composition->description() + " " + composition->uuid();
    if (const auto found = resourcePositions_.find(key); found != resourcePositions_.end())
        return found->second;
    const std::shared_ptr<TCHelper> timecode = compositionTimecode(composition);
    shiftCompToMatchFrameGrid(composition, *validateTimecode(nullptr));
    const StoryTimeline timeline(*composition, *timecode, projectFramerate());

    const size_t position = resourceCache_.size();
    resourceCache_.push_back(key);
    resourcePositions_.emplace(key, position);
    ExportXMLElement& media = resourcesNode_->appendChild("media");
    media.setAttribute("id", formatMediaText("media_%zu", position));
    media.setAttribute("name", composition->name());
    ExportXMLElement& multicam = media.appendChild("multicam");
    multicam.setAttribute("format", formatMediaText("format_%zu", addProjectFormatNode()));
    multicam.setAttribute("tcStart", timeText(timeline.start()));
    multicam.setAttribute("tcFormat", timecode->dropFrameString());
    if (isVersion16()) multicam.setAttribute("renderColorSpace", "Rec. 709");

    const auto addAngle = [&](const MediaTrack& track, const char* kind, const char* idPrefix) {
        ExportXMLElement& angle = multicam.appendChild("mc-angle");
        angle.setAttribute("name", formatMediaText("%s Angle %d", kind, track.trackNumber()));
        angle.setAttribute("angleID", formatMediaText("%s%d", idPrefix, track.trackNumber()));
        for (const MediaSegment& segment : track.segmentsIncludingSubSegments()) {
            if (segment.isEmpty()) {
                gapNodeForEmptySegment(angle, segment, timeline);
                continue;
            }
            const std::shared_ptr<MediaFile> file = sourceMediaFileOfSegment(segment);
            if (!file) continue;
            StoryElement clip;
            if (isSound(segment)) {
                const StoryElement gap = gapNodeForEmptySegment(angle, segment, timeline);
                if (!gap.node) continue;
                clip = assetNodeForSegment(*gap.node, segment, timeline, &gap);
                if (clip.node) clip.node->setAttribute("lane", "-1");
            } else {
                clip = assetNodeForSegment(angle, segment, timeline, nullptr);
            }
            if (clip.node) addChannelsAndMetadata(*file, *clip.node);
        }
    };
    for (const std::shared_ptr<MediaTrack>& track : composition->videoTracks())
        addAngle(*track, "Video", "angle_v");
    for (const std::shared_ptr<MediaTrack>& track : composition->audioTracks())
        addAngle(*track, "Audio", "angle_a");
    return position;
}

void FCPXMLExport::addMulticamComposition(const std::shared_ptr<MediaComposition>& composition,
                                          const std::string& name) {
    if (!composition) return;
    composition->setName(name);
    const size_t resource = addMulticamResourceForComposition(composition);
    const std::shared_ptr<TCHelper> timecode = compositionTimecode(composition);
    const StoryTimeline timeline(*composition, *timecode, projectFramerate());
    ExportXMLElement& clip =
        storyElementNode(*eventNode_, "mc-clip", composition->name(), kCMTimeInvalid,
                         timeline.end() - timeline.start(), kCMTimeInvalid);
    clip.setAttribute("ref", formatMediaText("media_%zu", resource));
    ExportXMLElement& video = clip.appendChild("mc-source");
    video.setAttribute("angleID", "angle_v1");
    video.setAttribute("srcEnable", "video");
    for (int32_t index = 1; index <= composition->audioTrackCount(); ++index) {
        ExportXMLElement& audio = clip.appendChild("mc-source");
        audio.setAttribute("angleID", formatMediaText("angle_a%d", index));
        audio.setAttribute("srcEnable", "audio");
    }
    const CMTimeRange synced = composition->syncedTimeRange();
    addKeyword(composition->syncInformation(), clip,
               {timecode->time() + synced.start, synced.duration});
}

// Files that did not sync: a clip on the grid of the file's format.

void FCPXMLExport::addMediaFile(const std::shared_ptr<MediaFile>& file,
                                const std::optional<std::string>& name) {
    if (!file) return;
    const bool usable = hasFileUsableTimecode(*file);
    const size_t format = addFormatNodeForMediaFile(file.get());
    CMTime start = usable ? file->fileTimecode()->timeWithoutOffset() : kCMTimeZero;
    if (file->hasVideo()) start = onFrameGrid(start, file->frameRate());
    const CMTime duration =
        onFrameGrid(file->duration(), frameRateOfFormat(format), GridRounding::Up);
    const std::shared_ptr<TCHelper> fileTimecode = file->timecode();
    ExportXMLElement& clip = clipNodeWithFile(*eventNode_, *file, {kCMTimeInvalid, duration, start},
                                              validateTimecode(fileTimecode)->frameRate());
    if (name) clip.setAttribute("name", *name);
    clip.setAttribute("format", formatMediaText("format_%zu", format));
    CMTime keywordStart = start;
    // A timecode of another origin (decoded from the sound, say) becomes the clip's own.
    if (fileTimecode && !(usable && fileTimecode == file->fileTimecode())) {
        keywordStart = roundedTimecodeTime(*fileTimecode);
        clip.setAttribute("tcStart", timeText(keywordStart));
        clip.setAttribute("tcFormat", fileTimecode->dropFrameString());
    }
    if (file->hasVideo())
        addKeyword(std::string("remaining video"), clip, {keywordStart, duration});
    else if (file->hasAudio())
        addKeyword(std::string("remaining audio"), clip, {keywordStart, duration});
    addAudioChannelInfosOfMediaFile(*file, clip, file->hasVideo());
    const MetadataDictionary metadata = file->metaData();
    addMetadata(&metadata, clip);
}

}  // namespace vorlane
