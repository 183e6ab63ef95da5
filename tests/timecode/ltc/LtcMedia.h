// Media with linear timecode for the decoder's tests, made by the independent generator, and the
// truth it states: the timecode at the file's time zero.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "mediagen/AudioFileWriter.h"
#include "mediagen/LtcGenerator.h"
#include "timecode/ltc/AssetMediaFile.h"

namespace vorlane::test {

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

// The text a timecode value at the rate shows for a true time in seconds since midnight (wrapped
// at 24 hours): the generator's truth put through the display rule of timecode values.
std::string shownTimecode(double seconds, const mediagen::Rate& rate);

// Opens the file through the asset layer and runs one LTC request on it through the installed
// decoder; fails the current test when the file cannot be opened.
std::shared_ptr<AssetMediaFile> readLtc(const std::filesystem::path& path,
                                        const AudioTimecodeRequest& request = {});

}  // namespace vorlane::test
