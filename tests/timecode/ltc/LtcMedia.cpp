#include "timecode/ltc/LtcMedia.h"

#include <gtest/gtest.h>

#include <cmath>

#include "mediagen/Signals.h"
#include "timecode/TCHelper.h"
#include "timecode/ltc/LtcDecoding.h"

namespace vorlane::test {

using namespace mediagen;

LtcSignal writeLtcFile(const std::filesystem::path& path, const LtcFile& file) {
    std::string error;
    std::optional<LtcSignal> signal = generateLtc(file.ltc, &error);
    EXPECT_TRUE(signal) << error;
    if (!signal) return {};
    const size_t length = signal->samples.size();
    std::vector<Samples> channels;
    for (int c = 0; c < file.channels; ++c) {
        channels.push_back(c == file.ltcChannel
                               ? signal->samples
                               : chords(length, file.ltc.sampleRate, -30.0, int64_t(c) * 4800));
    }
    AudioFileOptions options;
    options.path = path;
    options.format = file.format;
    options.sampleRate = file.ltc.sampleRate;
    options.channels = std::move(channels);
    EXPECT_TRUE(writeAudioFile(options, &error)) << error;
    return *signal;
}

void writeChannels(const std::filesystem::path& path, const std::vector<Samples>& channels,
                   SampleFormat format, int sampleRate) {
    AudioFileOptions options;
    options.path = path;
    options.format = format;
    options.sampleRate = sampleRate;
    options.channels = channels;
    std::string error;
    EXPECT_TRUE(writeAudioFile(options, &error)) << error;
}

std::string shownTimecode(double seconds, const Rate& rate) {
    return TCHelper::timecodeStringWithTime(CMTimeMakeWithSeconds(seconds, 480000),
                                            TCHelper::quantizedFrameRate(rate.fps()),
                                            rate.dropFrame, TCOptionWrap24h);
}

std::shared_ptr<AssetMediaFile> readLtc(const std::filesystem::path& path,
                                        const AudioTimecodeRequest& request) {
    MediaFile::installAudioTimecodeDecoder(decodeAudioTimecode);
    std::shared_ptr<AssetMediaFile> file = AssetMediaFile::open(path);
    EXPECT_TRUE(file) << path;
    if (file) file->readAudioTimecodeAtFrameRate(request);
    return file;
}

}  // namespace vorlane::test
