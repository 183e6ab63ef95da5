// In-memory media files for the sync and export tests: cameras and sound recorders with tracks,
// timecodes, creation dates and device metadata, and pool snapshots made from them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "media/MediaFile.h"
#include "media/MediaPool.h"
#include "platform/CMTime.h"
#include "sync/MediaComposition.h"
#include "sync/MediaSyncIndex.h"
#include "timecode/TCHelper.h"

namespace vorlane::test {

// A date in the local time zone.
MetadataDate localDate(int year, int month, int day, int hour, int minute, int second);

// A file timecode from its text ("10:00:00:00") at the rate.
std::shared_ptr<TCHelper> fileTimecode(const std::string& text, double rate = 25.0,
                                       bool dropFrame = false);

struct CameraPlan {
    std::string name = "A001C001.mov";
    std::string timecode = "10:00:00:00";  // empty: no timecode
    double rate = 25.0;
    bool dropFrame = false;
    int64_t frames = 1500;      // picture length in frames
    uint32_t audioTracks = 1;   // camera sound tracks (2 channels, 48 kHz, 24 bit)
    int64_t audioSamples = -1;  // length of each sound track; -1: as long as the picture
    double width = 1920;
    double height = 1080;
    std::string model = "FX6";
    std::string serial = "100";
    std::optional<MetadataDate> created = std::nullopt;
};
std::shared_ptr<MediaFile> makeCamera(const CameraPlan& plan);

struct RecorderPlan {
    std::string name = "T001.wav";
    // Start on the timecode axis in samples since midnight (what a BWF time reference holds);
    // negative: no timecode.
    int64_t startSample = 0;
    int64_t samples = 48000 * 60;
    int32_t sampleRate = 48000;
    uint32_t channels = 2;
    uint32_t tracks = 1;
    double timecodeRate = 25.0;
    bool dropFrame = false;
    uint64_t timecodeChannels = 0;               // channel mask of channels carrying LTC
    std::vector<std::string> channelNames = {};  // recorder's names per channel (iXML)
    std::string model = "MixPre";
    std::string serial = "R1";  // empty: none
    std::optional<MetadataDate> created = std::nullopt;
};
std::shared_ptr<MediaFile> makeRecorder(const RecorderPlan& plan);

// Samples since midnight of a time of day at the rate.
int64_t samplesAt(int hours, int minutes, int seconds, int32_t sampleRate = 48000);

// A media pool holding the files (in this import order), their analysis done. With
// `setSyncGroups` the pool numbers the devices' groups as the application does before a sync.
std::shared_ptr<MediaPool> makeMediaPool(const std::vector<std::shared_ptr<MediaFile>>& files,
                                         bool setSyncGroups = false);
// A snapshot of such a pool.
std::shared_ptr<const MediaSyncIndex> makePool(const std::vector<std::shared_ptr<MediaFile>>& files,
                                               bool setSyncGroups = false);

}  // namespace vorlane::test
