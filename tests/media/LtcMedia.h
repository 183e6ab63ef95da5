// Media with linear timecode for the LTC tests, made by the independent generator, and a minimal
// media file whose tracks are set up from what the asset layer reports.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "media/MediaFile.h"
#include "mediagen/AudioFileWriter.h"
#include "mediagen/LtcGenerator.h"

namespace vorlane::test {

// Audio and video tracks as the asset layer reports them, nothing else read.
class AssetMediaFile : public MediaFile {
  public:
    // Nothing when the asset layer cannot open the file.
    static std::shared_ptr<AssetMediaFile> open(const std::filesystem::path& path);

    explicit AssetMediaFile(std::filesystem::path url) : MediaFile(std::move(url)) {}
    std::string className() const override { return "AssetMediaFile"; }
};

// An audio file with LTC on one channel; the other channels carry quiet music-like chords.
struct LtcFile {
    mediagen::LtcOptions ltc;
    int channels = 1;
    int ltcChannel = 0;
    mediagen::SampleFormat format = mediagen::SampleFormat::Pcm24;
};

// Writes the file and answers the signal written (its frames are the truth). Fails the current
// test when the generator refuses.
mediagen::LtcSignal writeLtcFile(const std::filesystem::path& path, const LtcFile& file);
// Writes channels as they are.
void writeChannels(const std::filesystem::path& path,
                   const std::vector<mediagen::Samples>& channels,
                   mediagen::SampleFormat format = mediagen::SampleFormat::Pcm16,
                   int sampleRate = 48000);

// The label libltc's encoder gave the frame in progress at the signal's first sample.
std::string labelAtSampleZero(const mediagen::LtcSignal& signal);

// Opens the file through the asset layer and reads its LTC with the request; fails the current
// test when the file cannot be opened.
std::shared_ptr<AssetMediaFile> readLtc(const std::filesystem::path& path,
                                        const AudioTimecodeRequest& request = {});

}  // namespace vorlane::test
