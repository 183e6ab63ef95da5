// Generated shooting days of in-memory files for the benchmarks: per take (a minute apart from
// 08:00) a recorder file and one or two camera files of two camera models; every twentieth
// camera file of the first camera has no timecode. Analysed by a real media pool.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <vector>

#include "media/MediaFile.h"
#include "media/MediaPool.h"
#include "platform/DefaultsKeys.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "timecode/TCHelper.h"

namespace vorlane::bench {

inline constexpr int32_t kSampleRate = 48000;

inline std::shared_ptr<MediaTrack> addAudio(MediaFile& file, CMTime length) {
    auto track = file.addTrackWithMediaType(MediaTrackTypeAudio, 0);
    track->setCodecName("Linear PCM");
    track->setAudioChannelCount(2);
    track->setAudioBitDepth(24);
    track->setAudioSampleRate(kSampleRate);
    track->setTimeRange({kCMTimeZero, length});
    return track;
}

inline std::shared_ptr<MediaFile> camera(int take, int cameraIndex, bool timed) {
    auto file = std::make_shared<MediaFile>("/day/cam" + std::to_string(cameraIndex) + "/C" +
                                            std::to_string(take) + ".mov");
    auto video = file->addTrackWithMediaType(MediaTrackTypeVideo, 0);
    video->setCodecName("H.264");
    video->setVideoSize({1920, 1080});
    video->setVideoFrameRate(25.0);
    const CMTime length = CMTimeMake(25 * 30 + take % 50, 25);
    video->setTimeRange({kCMTimeZero, length});
    addAudio(*file, length);
    file->setMetaDataValue(kModel, cameraIndex == 0 ? "FX6" : "FX9");
    file->setMetaDataValue(kSerialNumber, std::to_string(cameraIndex));
    if (timed) {
        // Takes a minute apart from 08:00, the cameras rolling a little after the sound.
        const int64_t frame =
            (8 * 3600 + 60 * int64_t(take)) * 25 + 25 * (2 + cameraIndex) + take % 7;
        auto value = TCHelper::helperWithFrameCount(frame, 25.0, false);
        value->setType(TCTypeFile);
        file->addTimecodeTrackWithTCHelper(value);
    }
    return file;
}

inline std::shared_ptr<MediaFile> recorder(int take) {
    auto file = std::make_shared<MediaFile>("/day/sound/T" + std::to_string(take) + ".wav");
    addAudio(*file, CMTimeMake(kSampleRate * 40 + take, kSampleRate));
    file->setMetaDataValue(kModel, "MixPre");
    auto value = TCHelper::helperWithTime(
        CMTimeMake((8 * 3600 + 60 * int64_t(take)) * kSampleRate + 13 * take, kSampleRate), 25.0,
        false);
    value->setType(TCTypeFile);
    file->addTimecodeTrackWithTCHelper(value);
    return file;
}

// A pool of about `count` files: per take a recorder file and one or two camera files; every
// twentieth camera file has no timecode.
struct GeneratedPool {
    UserDefaults defaults{"/nonexistent/vorlane-bench-defaults.json"};
    NotificationCenter center;
    std::shared_ptr<MediaPool> pool;

    explicit GeneratedPool(int count) {
        defaults.setBool(true, DefaultsKey::automaticallySetSyncGroups);
        pool = MediaPool::create(
            [](const std::filesystem::path&, MediaPool&) {
                return MediaReaderChoice{nullptr, {}, "in-memory files only"};
            },
            defaults, center);
        std::vector<std::shared_ptr<MediaFile>> files;
        for (int take = 0; int(files.size()) < count; ++take) {
            files.push_back(recorder(take));
            files.push_back(camera(take, 0, take % 20 != 7));
            if (take % 3 != 0 && int(files.size()) < count) files.push_back(camera(take, 1, true));
        }
        pool->analyzeItemsInBackground(files);
        MainQueue::runUntil([this] { return !pool->hasPendingAnalysis(); },
                            std::chrono::minutes(5));
        MainQueue::drain();
        pool->enumerateSyncGroups();
    }
};

inline GeneratedPool& poolOfSize(int count) {
    static std::map<int, std::unique_ptr<GeneratedPool>> pools;
    auto& slot = pools[count];
    if (!slot) slot = std::make_unique<GeneratedPool>(count);
    return *slot;
}

}  // namespace vorlane::bench
