#include "sync/SyncTestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>

#include "platform/ByteOrder.h"

namespace vorlane::test {

MetadataDate localDate(int year, int month, int day, int hour, int minute, int second) {
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    parts.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&parts));
}

std::shared_ptr<TCHelper> fileTimecode(const std::string& text, double rate, bool dropFrame) {
    auto value = TCHelper::helperWithFrameRate(rate, dropFrame);
    EXPECT_TRUE(value->setTimecodeString(text)) << text;
    value->setType(TCTypeFile);
    return value;
}

namespace {

std::shared_ptr<MediaTrack> addSoundTrack(MediaFile& file, uint32_t channels, int32_t sampleRate,
                                          int64_t samples) {
    auto track = file.addTrackWithMediaType(MediaTrackTypeAudio, 0);
    track->setFourCC(fourCC("lpcm"));
    track->setCodecName("Linear PCM");
    track->setAudioChannelCount(channels);
    track->setAudioBitDepth(24);
    track->setAudioBytesPerFrame(3 * channels);
    track->setAudioSampleRate(sampleRate);
    track->setTimeRange({kCMTimeZero, CMTimeMake(samples, sampleRate)});
    return track;
}

}  // namespace

std::shared_ptr<MediaFile> makeCamera(const CameraSpec& spec) {
    auto file = std::make_shared<MediaFile>("/shoot/camera/" + spec.name);
    auto video = file->addTrackWithMediaType(MediaTrackTypeVideo, 0);
    video->setFourCC(fourCC("avc1"));
    video->setCodecName("H.264");
    video->setVideoSize({1920, 1080});
    video->setVideoFrameRate(spec.rate);
    const CMTime frame = TCHelper::helperWithFrameRate(spec.rate, false)->frameDuration();
    video->setTimeRange({kCMTimeZero, CMTimeMultiply(frame, spec.frames)});
    const CMTime pictureLength = video->timeRange().duration;
    const int64_t samples =
        spec.audioSamples >= 0
            ? spec.audioSamples
            : CMTimeConvertScale(pictureLength, 48000, CMTimeRoundingMethod::RoundTowardZero).value;
    for (uint32_t track = 0; track < spec.audioTracks; ++track)
        addSoundTrack(*file, 2, 48000, samples);
    if (!spec.timecode.empty())
        file->addTimecodeTrackWithTCHelper(fileTimecode(spec.timecode, spec.rate));
    file->setMetaDataValue(kMaker, "Sony");
    file->setMetaDataValue(kModel, spec.model);
    file->setMetaDataValue(kSerialNumber, spec.serial);
    if (spec.created) file->setMetaDataValue(kFileCreationDate, *spec.created);
    return file;
}

std::shared_ptr<MediaFile> makeRecorder(const RecorderSpec& spec) {
    auto file = std::make_shared<MediaFile>("/shoot/sound/" + spec.name);
    for (uint32_t track = 0; track < spec.tracks; ++track)
        addSoundTrack(*file, spec.channels, spec.sampleRate, spec.samples);
    if (spec.startSample >= 0) {
        auto value = TCHelper::helperWithTime(CMTimeMake(spec.startSample, spec.sampleRate),
                                              spec.timecodeRate, false);
        value->setType(TCTypeFile);
        file->addTimecodeTrackWithTCHelper(value);
    }
    file->setMetaDataValue(kMaker, "Sound Devices");
    file->setMetaDataValue(kModel, spec.model);
    file->setMetaDataValue(kSerialNumber, spec.serial);
    if (spec.created) file->setMetaDataValue(kFileCreationDate, *spec.created);
    return file;
}

int64_t samplesAt(int hours, int minutes, int seconds, int32_t sampleRate) {
    return (int64_t(hours) * 3600 + int64_t(minutes) * 60 + seconds) * sampleRate;
}

std::shared_ptr<const MediaSyncIndex> makePool(
    const std::vector<std::shared_ptr<MediaFile>>& files) {
    std::vector<std::shared_ptr<MediaFile>> sorted = files;
    auto seconds = [](const MediaFile& file) {
        const auto date = file.creationDate();
        return date ? date->time_since_epoch().count() : 0;
    };
    std::stable_sort(sorted.begin(), sorted.end(), [&](const auto& lhs, const auto& rhs) {
        if (lhs->syncGroup() != rhs->syncGroup()) return lhs->syncGroup() < rhs->syncGroup();
        if (seconds(*lhs) != seconds(*rhs)) return seconds(*lhs) < seconds(*rhs);
        return lhs->name() < rhs->name();
    });
    std::stable_partition(sorted.begin(), sorted.end(),
                          [](const auto& file) { return (file->type() & MediaTypeVideo) != 0; });
    std::optional<MetadataDate> earliest;
    for (const auto& file : files) {
        const MetadataDate date = file->creationDate().value_or(MetadataDate{});
        if (!earliest || date < *earliest) earliest = date;
    }
    return std::make_shared<MediaSyncIndex>(files, sorted, earliest);
}

CompositionSettings plainSettings() {
    return CompositionSettings{};
}

}  // namespace vorlane::test
