// Edit units of MXF files that ffmpeg writes, read through the index tables and compared with the
// packets ffmpeg's own MXF demuxer gives for the same files (Adler-32 of each packet, `framecrc`,
// which starts the sum at 0), the 29.97 sound cadence and what reading costs before the essence is
// asked for.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "formats/mxf/FFmpegMXFFiles.h"
#include "formats/mxf/MXFFile.h"
#include "formats/mxf/MXFTrackOutput.h"
#include "media/MediaTrack.h"
#include "platform/Log.h"
#include "platform/Process.h"
#include "support/TestSupport.h"

namespace vorlane {
namespace {

struct Packet {
    uint64_t size = 0;
    uint32_t adler = 0;
    bool operator==(const Packet&) const = default;
};

std::string hexText(uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

uint32_t adler32(const std::vector<uint8_t>& bytes, uint32_t adler = 1) {
    uint32_t a = adler & 0xFFFF, b = adler >> 16;
    for (uint8_t byte : bytes) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

// ffmpeg's packets of the first stream of a kind ("v" or "a"), copied without decoding.
std::vector<Packet> ffmpegPackets(const std::filesystem::path& path, const std::string& kind) {
    std::istringstream lines(
        test::runTool({"ffmpeg", "-v", "error", "-i", path.string(), "-map", "0:" + kind + ":0",
                       "-c", "copy", "-f", "framecrc", "-"}));
    std::vector<Packet> packets;
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> fields;
        std::istringstream columns(line);
        for (std::string field; std::getline(columns, field, ',');)
            fields.push_back(field);
        if (fields.size() < 6) continue;
        packets.push_back({std::stoull(fields[4]), uint32_t(std::stoul(fields[5], nullptr, 16))});
    }
    return packets;
}

std::shared_ptr<MXFFile> analysedFileAt(const std::filesystem::path& path) {
    auto file = MXFFile::initWithURL(path);
    EXPECT_NE(file, nullptr) << path;
    if (file) {
        EXPECT_TRUE(file->analyzeMXF()) << path;
    }
    return file;
}

std::shared_ptr<MXFFile> analysedFile(const std::string& name) {
    return analysedFileAt(test::ffmpegMXFFile(name));
}

std::unique_ptr<MXFTrackOutput> outputOfKind(const MXFFile& file, int32_t type,
                                             bool referenceOutput = false) {
    const auto tracks = file.tracksWithType(type);
    EXPECT_FALSE(tracks.empty());
    return tracks.empty() ? nullptr
                          : MXFTrackOutput::outputWithMediaTrack(*tracks.front(), referenceOutput);
}

std::vector<MXFEssenceSample> allSamples(MXFTrackOutput& output) {
    std::vector<MXFEssenceSample> samples;
    while (auto sample = output.nextSampleBuffer())
        samples.push_back(std::move(*sample));
    EXPECT_TRUE(output.finished());
    EXPECT_FALSE(output.failed());
    return samples;
}

// Every edit unit of a track against ffmpeg's packets of the first stream of that kind.
void expectEditUnitsAsFFmpeg(const MXFFile& file, int32_t type, const std::string& kind,
                             bool clipWrapped) {
    const auto output = outputOfKind(file, type);
    ASSERT_NE(output, nullptr) << kind;
    EXPECT_EQ(output->clipWrapped(), clipWrapped);
    std::vector<Packet> read;
    for (const MXFEssenceSample& sample : allSamples(*output)) {
        EXPECT_EQ(sample.data.size(), sample.size);
        read.push_back({sample.size, adler32(sample.data, 0)});
    }
    EXPECT_EQ(read, ffmpegPackets(file.sourceURLPath(), kind)) << kind;
}

TEST(MXFTrackOutputTest, EditUnitsAreFFmpegsPackets) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    for (const std::string name :
         {"op1a_mpeg2.mxf", "op1a_2997.mxf", "dnxhd_2997.mxf", "atom_video.mxf"}) {
        SCOPED_TRACE(name);
        const auto file = analysedFile(name);
        ASSERT_NE(file, nullptr);
        // ffmpeg wraps OP-Atom essence in one element per clip.
        expectEditUnitsAsFFmpeg(*file, MediaTrackTypeVideo, "v", name.starts_with("atom"));
        if (file->hasAudio()) expectEditUnitsAsFFmpeg(*file, MediaTrackTypeAudio, "a", false);
    }
    // Another writer's D-10 pictures (ffmpeg turns its AES3 sound into PCM, so not the sound).
    VORLANE_REQUIRE_TESTDATA(testdata);
    const auto d10 = analysedFileAt(testdata / "mxf" / "bmx_d10_sample.mxf");
    ASSERT_NE(d10, nullptr);
    expectEditUnitsAsFFmpeg(*d10, MediaTrackTypeVideo, "v", false);
}

TEST(MXFTrackOutputTest, SoundAt2997FollowsTheFiveFrameCadence) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    // Frame-wrapped stereo 24-bit: 1602 and 1601 samples are 9612 and 9606 bytes.
    const auto op1a = analysedFile("op1a_2997.mxf");
    ASSERT_NE(op1a, nullptr);
    const auto frames = outputOfKind(*op1a, MediaTrackTypeAudio);
    ASSERT_NE(frames, nullptr);
    const auto framed = allSamples(*frames);
    ASSERT_GE(framed.size(), 6u);
    const uint64_t expected[] = {9612, 9606, 9612, 9606, 9612, 9612};
    for (size_t i = 0; i < 6; ++i)
        EXPECT_EQ(framed[i].size, expected[i]) << i;
    EXPECT_EQ(framed[5].presentationTime, CMTimeMake(8008, 48000));

    // Clip-wrapped mono: the same cadence cut from one element, whose bytes are ffmpeg's.
    for (const auto& [name, first, second] :
         {std::tuple{"atom_audio_2997.mxf", 1602u, 1601u}, {"atom_audio.mxf", 1920u, 1920u}}) {
        SCOPED_TRACE(name);
        const auto atom = analysedFile(name);
        ASSERT_NE(atom, nullptr);
        const auto clip = outputOfKind(*atom, MediaTrackTypeAudio);
        ASSERT_NE(clip, nullptr);
        EXPECT_TRUE(clip->clipWrapped());
        const auto units = allSamples(*clip);
        ASSERT_GE(units.size(), 3u);
        EXPECT_EQ(units[0].sampleCount, first);
        EXPECT_EQ(units[1].sampleCount, second);
        EXPECT_EQ(units[2].presentationTime, CMTimeMake(first + second, 48000));
        uint32_t ours = 1;
        for (const MXFEssenceSample& unit : units)
            ours = adler32(unit.data, ours);
        const std::string theirs =
            test::runTool({"ffmpeg", "-v", "error", "-i", atom->sourceURLPath().string(), "-map",
                           "0:a:0", "-c", "copy", "-f", "crc", "-"});
        EXPECT_EQ(theirs.substr(0, 14), "CRC=0x" + hexText(ours));
    }
}

TEST(MXFTrackOutputTest, ReferencesReadOnlyTheStructure) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    const auto file = analysedFile("op1a_mpeg2.mxf");
    ASSERT_NE(file, nullptr);
    const auto references = outputOfKind(*file, MediaTrackTypeVideo, true);
    ASSERT_NE(references, nullptr);
    uint64_t referenced = 0;
    for (const MXFEssenceSample& sample : allSamples(*references)) {
        EXPECT_TRUE(sample.data.empty());
        referenced += sample.size;
    }
    // Header metadata and index: a few kilobytes against the megabyte of pictures.
    EXPECT_GT(referenced, 500'000u);
    EXPECT_LT(references->bytesRead(), referenced / 20);

    Log::setStandardErrorEnabled(false);
    MediaTrack foreign(MediaTrackTypeVideo);
    EXPECT_EQ(MXFTrackOutput::outputWithMediaTrack(foreign, false), nullptr);
    Log::setStandardErrorEnabled(true);
}

}  // namespace
}  // namespace vorlane
