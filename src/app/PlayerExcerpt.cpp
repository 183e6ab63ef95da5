#include "app/PlayerExcerpt.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <vector>

#include "formats/wave/FloatWaveWriter.h"
#include "media/MediaText.h"
#include "platform/AtomicFileWriter.h"
#include "platform/media/CompositionAudioMixer.h"
#include "platform/media/CompositionVideoReader.h"
#include "platform/media/ImageEncoding.h"
#include "sync/MediaMapping.h"
#include "sync/SyncedClips.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

bool isSeparator(char c) {
    return c == ':' || c == ';' || c == '.' || c == ',';
}

// The digit groups of the text between separators, blanks around it ignored; nothing when any
// other character appears or a group is empty.
std::optional<std::vector<std::string>> digitGroups(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::nullopt;
    const auto last = text.find_last_not_of(" \t");
    std::vector<std::string> groups(1);
    for (const char c : text.substr(first, last - first + 1)) {
        if (isSeparator(c)) {
            groups.emplace_back();
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            groups.back() += c;
        } else {
            return std::nullopt;
        }
    }
    for (const auto& group : groups)
        if (group.empty()) return std::nullopt;
    return groups;
}

// The composition time at each frame of the player's grid.
CMTime frameTime(CMTime frameDuration, int64_t index) {
    return CMTimeMultiply(frameDuration, index);
}

}  // namespace

std::optional<TimecodeFields> timecodeFieldsOfText(const std::string& text) {
    auto groups = digitGroups(text);
    if (!groups) return std::nullopt;
    if (groups->size() == 1 && groups->front().size() == 8) {
        const std::string digits = groups->front();
        groups = std::vector<std::string>{digits.substr(0, 2), digits.substr(2, 2),
                                          digits.substr(4, 2), digits.substr(6, 2)};
    }
    if (groups->size() != 4) return std::nullopt;
    for (size_t index = 0; index < 4; ++index)
        if ((*groups)[index].size() > (index == 3 ? 3u : 2u)) return std::nullopt;
    TimecodeFields fields{std::stoi((*groups)[0]), std::stoi((*groups)[1]), std::stoi((*groups)[2]),
                          std::stoi((*groups)[3])};
    if (fields.minutes > 59 || fields.seconds > 59) return std::nullopt;
    return fields;
}

PlayerExcerpt::PlayerExcerpt(const std::shared_ptr<MediaFile>& master, MediaPool& pool) {
    clip_ = syncedClipForPlayback(master, pool);
    playable_ = MediaMapping::avCompositionForMediaObject(clip_, MediaMappingPlayback);
}

std::string PlayerExcerpt::timecodeText(CMTime time) const {
    return clip_->timeStringForCompositionTime(time);
}

// The player steps by the frames of the composition's timecode; without one, by its pictures'.
CMTime PlayerExcerpt::frameDuration() const {
    if (const std::shared_ptr<TCHelper> timecode = clip_->timecode()) {
        const CMTime duration = timecode->frameDuration();
        if (duration.isValid() && duration > kCMTimeZero) return duration;
    }
    return CompositionVideoReader(playable_).frameDuration();
}

std::optional<CMTime> PlayerExcerpt::timeOfTimecode(const TimecodeFields& fields,
                                                    bool endIncluded) const {
    const CMTime step = frameDuration();
    const CMTime end = clip_->duration();
    for (int64_t index = 0; frameTime(step, index) < end; ++index) {
        const CMTime time = frameTime(step, index);
        if (timecodeFieldsOfText(timecodeText(time)) == fields) return time;
    }
    if (endIncluded && timecodeFieldsOfText(timecodeText(end)) == fields) return end;
    return std::nullopt;
}

std::string PlayerExcerpt::timecodeSpanText() const {
    const CMTime step = frameDuration();
    const CMTime end = clip_->duration();
    const auto frames = int64_t(std::ceil(CMTimeGetSeconds(end) / CMTimeGetSeconds(step)));
    return timecodeText(kCMTimeZero) + " to " +
           timecodeText(frameTime(step, std::max<int64_t>(frames - 1, 0)));
}

ExcerptResult PlayerExcerpt::writeStill(CMTime time,
                                        const std::filesystem::path& destination) const {
    CompositionVideoReader reader(playable_);
    if (reader.duration() <= kCMTimeZero) return {false, "the composition has no picture"};
    const auto frame = reader.frameAtTime(time);
    if (!frame) return {false, "the composition has no picture at that time"};
    const auto image = imageOfFrame(*frame, frame->width, frame->height);
    const auto png = image ? encodePNG(*image) : std::nullopt;
    if (!png) return {false, "the picture could not be converted to PNG"};
    auto file = AtomicFileWriter::create(destination);
    if (!file || !file->write(*png) || !file->commit())
        return {false,
                "cannot write " + destination.string() + ": " + AtomicFileWriter::lastFailure()};
    const std::string source = frame->black ? std::string("black, no picture under this time")
                                            : frame->sourceURL.filename().string();
    return {true, formatMediaText("%dx%d, %s", image->width, image->height, source.c_str())};
}

ExcerptResult PlayerExcerpt::writeSound(CMTime from, CMTime to,
                                        const std::filesystem::path& destination) const {
    CompositionAudioMixer mixer(playable_);
    if (mixer.channelCount() == 0) return {false, "the composition has no sound"};
    const int32_t rate = mixer.sampleRate();
    const auto frameAt = [rate](CMTime time) {
        return CMTimeConvertScale(time, rate, CMTimeRoundingMethod::RoundHalfAwayFromZero).value;
    };
    const int64_t first = frameAt(from);
    const int64_t last = frameAt(to);
    auto writer = FloatWaveWriter::create(destination, mixer.channelCount(), rate);
    if (!writer)
        return {false, "cannot write " + destination.string() + ": " + FloatWaveWriter::failure()};
    std::vector<float> samples;
    for (int64_t at = first; at < last; at += rate) {
        mixer.mix(at, std::min<int64_t>(rate, last - at), samples);
        if (!writer->append(samples))
            return {false,
                    "cannot write " + destination.string() + ": " + FloatWaveWriter::failure()};
    }
    if (!writer->commit())
        return {false, "cannot write " + destination.string() + ": " + FloatWaveWriter::failure()};
    return {true, formatMediaText("%.6f s, %d channels, %d Hz, 32-bit float",
                                  double(last - first) / rate, mixer.channelCount(), rate)};
}

}  // namespace vorlane
