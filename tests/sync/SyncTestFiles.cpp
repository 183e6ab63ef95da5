#include "sync/SyncTestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>

#include "platform/ByteOrder.h"
#include "platform/DefaultsKeys.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "support/TestSupport.h"

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

std::shared_ptr<MediaFile> makeCamera(const CameraPlan& plan) {
    auto file = std::make_shared<MediaFile>("/shoot/camera/" + plan.name);
    auto video = file->addTrackWithMediaType(MediaTrackTypeVideo, 0);
    video->setFourCC(fourCC("avc1"));
    video->setCodecName("H.264");
    video->setVideoSize({plan.width, plan.height});
    video->setVideoFrameRate(plan.rate);
    const CMTime frame = TCHelper::helperWithFrameRate(plan.rate, false)->frameDuration();
    video->setTimeRange({kCMTimeZero, CMTimeMultiply(frame, plan.frames)});
    const CMTime pictureLength = video->timeRange().duration;
    const int64_t samples =
        plan.audioSamples >= 0
            ? plan.audioSamples
            : CMTimeConvertScale(pictureLength, 48000, CMTimeRoundingMethod::RoundTowardZero).value;
    for (uint32_t track = 0; track < plan.audioTracks; ++track)
        addSoundTrack(*file, 2, 48000, samples);
    if (!plan.timecode.empty())
        file->addTimecodeTrackWithTCHelper(fileTimecode(plan.timecode, plan.rate, plan.dropFrame));
    file->setMetaDataValue(kMaker, "Sony");
    file->setMetaDataValue(kModel, plan.model);
    file->setMetaDataValue(kSerialNumber, plan.serial);
    if (plan.created) file->setMetaDataValue(kFileCreationDate, *plan.created);
    return file;
}

std::shared_ptr<MediaFile> makeRecorder(const RecorderPlan& plan) {
    auto file = std::make_shared<MediaFile>("/shoot/sound/" + plan.name);
    for (uint32_t track = 0; track < plan.tracks; ++track) {
        auto sound = addSoundTrack(*file, plan.channels, plan.sampleRate, plan.samples);
        sound->setAudioChannelMask(plan.timecodeChannels);
        MetadataList entries;
        for (size_t index = 0; index < plan.channelNames.size(); ++index) {
            entries.emplace_back(
                MetadataDictionary{{kAudioInterleaveIndex, std::to_string(index + 1)},
                                   {kAudioChannelName, plan.channelNames[index]}});
        }
        if (!entries.empty()) sound->metaData()[kAudioChannelList] = entries;
    }
    if (plan.startSample >= 0) {
        auto value = TCHelper::helperWithTime(CMTimeMake(plan.startSample, plan.sampleRate),
                                              plan.timecodeRate, plan.dropFrame);
        value->setType(TCTypeFile);
        file->addTimecodeTrackWithTCHelper(value);
    }
    file->setMetaDataValue(kMaker, "Sound Devices");
    file->setMetaDataValue(kModel, plan.model);
    if (!plan.serial.empty()) file->setMetaDataValue(kSerialNumber, plan.serial);
    if (plan.created) file->setMetaDataValue(kFileCreationDate, *plan.created);
    return file;
}

int64_t samplesAt(int hours, int minutes, int seconds, int32_t sampleRate) {
    return (int64_t(hours) * 3600 + int64_t(minutes) * 60 + seconds) * sampleRate;
}

namespace {

struct PoolSettings {
    ScratchFolder folder;
    UserDefaults plain{folder / "plain.json"};
    UserDefaults grouping{folder / "grouping.json"};
    NotificationCenter center;
    PoolSettings() { grouping.setBool(true, DefaultsKey::automaticallySetSyncGroups); }
};

PoolSettings& poolSettings() {
    static PoolSettings settings;
    return settings;
}

}  // namespace

std::shared_ptr<MediaPool> makeMediaPool(const std::vector<std::shared_ptr<MediaFile>>& files,
                                         bool setSyncGroups) {
    PoolSettings& settings = poolSettings();
    auto pool = MediaPool::create(
        [](const std::filesystem::path&, MediaPool&) {
            return MediaReaderChoice{nullptr, {}, "in-memory files only"};
        },
        setSyncGroups ? settings.grouping : settings.plain, settings.center);
    pool->analyzeItemsInBackground(files);
    EXPECT_TRUE(
        MainQueue::runUntil([&] { return !pool->hasPendingAnalysis(); }, std::chrono::seconds(60)));
    MainQueue::drain();
    pool->enumerateSyncGroups();
    return pool;
}

std::shared_ptr<const MediaSyncIndex> makePool(const std::vector<std::shared_ptr<MediaFile>>& files,
                                               bool setSyncGroups) {
    return MediaSyncIndex::indexWithMediaPool(*makeMediaPool(files, setSyncGroups));
}

}  // namespace vorlane::test
