// Reference movies of MXF files that ffmpeg writes, checked by ffmpeg itself: following the
// movie's data references into the MXF file, its mov demuxer must decode the same pictures and
// sound as its MXF demuxer reading the file directly (pictures at the same times, B-pictures
// too), at the same rate and frame count, with the start timecode. A broken index ends the
// movie's tracks where the index stops pointing into the file.
#include <gtest/gtest.h>

#include <sstream>

#include "formats/mxf/FFmpegMXFFiles.h"
#include "formats/mxf/MXFFile.h"
#include "formats/mxf/MXFReferenceMovie.h"
#include "media/MediaTrack.h"
#include "support/TestSupport.h"

namespace vorlane {
namespace {

const std::vector<std::string> kFollowReferences = {"-enable_drefs", "1", "-use_absolute_path",
                                                    "1"};

std::vector<std::string> withInput(std::vector<std::string> arguments,
                                   const std::filesystem::path& input, bool reference) {
    if (reference)
        arguments.insert(arguments.end(), kFollowReferences.begin(), kFollowReferences.end());
    arguments.insert(arguments.end(), {"-i", input.string()});
    return arguments;
}

// ffmpeg's decoded pictures of the first video stream: time, duration, size and checksum.
std::vector<std::string> pictureLines(const std::filesystem::path& input, bool reference) {
    auto arguments = withInput({"ffmpeg", "-v", "error"}, input, reference);
    arguments.insert(arguments.end(), {"-map", "0:v:0", "-f", "framemd5", "-"});
    std::istringstream lines(test::runTool(arguments));
    std::vector<std::string> pictures;
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line[0] != '#') pictures.push_back(line);
    return pictures;
}

// One checksum of all decoded sound of the first audio stream, as 32-bit samples.
std::string soundChecksum(const std::filesystem::path& input, bool reference) {
    auto arguments = withInput({"ffmpeg", "-v", "error"}, input, reference);
    arguments.insert(arguments.end(), {"-map", "0:a:0", "-c:a", "pcm_s32le", "-f", "md5", "-"});
    return test::runTool(arguments);
}

// ffprobe's frame count and rate of the first video stream: "300,25/1".
std::string probedPictures(const std::filesystem::path& input, bool reference) {
    auto arguments = withInput({"ffprobe", "-v", "error"}, input, reference);
    arguments.insert(arguments.end(), {"-select_streams", "v:0", "-count_frames", "-show_entries",
                                       "stream=nb_read_frames,r_frame_rate", "-of", "csv=p=0"});
    return test::runTool(arguments);
}

std::string probedTimecode(const std::filesystem::path& input, bool reference) {
    auto arguments = withInput({"ffprobe", "-v", "error"}, input, reference);
    arguments.insert(arguments.end(), {"-show_entries", "format_tags=timecode:stream_tags=timecode",
                                       "-of", "default=nw=1:nk=1"});
    std::istringstream lines(test::runTool(arguments));
    std::string line;
    std::getline(lines, line);
    return line;
}

std::shared_ptr<MXFFile> analysedFile(const std::filesystem::path& path) {
    auto file = MXFFile::initWithURL(path);
    if (file && !file->analyzeMXF()) file.reset();
    return file;
}

TEST(MXFReferenceMovieTest, FFmpegDecodesTheEssenceThroughTheMovie) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    VORLANE_REQUIRE_TOOL("ffprobe");
    test::ScratchFolder folder;
    for (const std::string name :
         {"op1a_mpeg2.mxf", "op1a_longgop.mxf", "op1a_2997.mxf", "dnxhd_2997.mxf", "atom_video.mxf",
          "atom_audio.mxf", "atom_audio_2997.mxf"}) {
        SCOPED_TRACE(name);
        const std::filesystem::path mxf = test::ffmpegMXFFile(name);
        const auto file = analysedFile(mxf);
        ASSERT_NE(file, nullptr);
        const std::optional<std::filesystem::path> movie = file->makeQTRef(folder.path());
        ASSERT_TRUE(movie.has_value());
        EXPECT_EQ(movie->parent_path(), folder.path());
        EXPECT_EQ(movie->extension(), ".mov");
        if (file->hasVideo()) {
            const std::vector<std::string> pictures = pictureLines(mxf, false);
            EXPECT_FALSE(pictures.empty());
            EXPECT_EQ(pictureLines(*movie, true), pictures);
            EXPECT_EQ(probedPictures(*movie, true), probedPictures(mxf, false));
        }
        if (file->hasAudio()) {
            EXPECT_EQ(soundChecksum(*movie, true), soundChecksum(mxf, false));
        }
        const std::string timecode = probedTimecode(mxf, false);
        if (!timecode.empty()) {
            EXPECT_EQ(probedTimecode(*movie, true), timecode);
        }
    }
}

TEST(MXFReferenceMovieTest, AnotherWritersFileDecodesThroughTheMovie) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    VORLANE_REQUIRE_TESTDATA(testdata);
    test::ScratchFolder folder;
    // IMX pictures with 4-channel sound in AES3 elements (SMPTE 382: plain PCM).
    const std::filesystem::path mxf = testdata / "mxf" / "bmx_d10_sample.mxf";
    const auto file = analysedFile(mxf);
    ASSERT_NE(file, nullptr);
    const std::optional<std::filesystem::path> movie = file->makeQTRef(folder.path());
    ASSERT_TRUE(movie.has_value());
    EXPECT_EQ(pictureLines(*movie, true), pictureLines(mxf, false));
    EXPECT_EQ(soundChecksum(*movie, true), soundChecksum(mxf, false));
    EXPECT_EQ(probedTimecode(*movie, true), "23:58:30:00");
}

TEST(MXFReferenceMovieTest, D10SoundIsLeftOut) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    test::ScratchFolder folder;
    // The D-10 mapping's sound elements carry AES3 frames, which no PCM description fits.
    const std::filesystem::path mxf = test::ffmpegMXFFile("d10.mxf");
    const auto file = analysedFile(mxf);
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(file->hasAudio());
    const auto movie = MXFReferenceMovie::movieOfFile(*file);
    ASSERT_TRUE(movie.has_value());
    for (const QtReferenceTrack& track : movie->tracks())
        EXPECT_NE(track.kind, QtMediaKind::Sound);
    const std::optional<std::filesystem::path> written = file->makeQTRef(folder.path());
    ASSERT_TRUE(written.has_value());
    EXPECT_EQ(pictureLines(*written, true), pictureLines(mxf, false));
}

// Sets the stream offset of one entry in every index segment of the file's bytes.
void setStreamOffsetOfIndexEntry(std::string& bytes, uint32_t entry, uint64_t streamOffset) {
    const std::string key = "\x06\x0e\x2b\x34\x02\x53\x01\x01\x0d\x01\x02\x01\x01\x10\x01\x00";
    const auto byteAt = [&](size_t at) { return uint8_t(bytes.at(at)); };
    const auto number = [&](size_t at, size_t length) {
        uint64_t value = 0;
        for (size_t i = 0; i < length; ++i)
            value = value << 8 | byteAt(at + i);
        return value;
    };
    int changed = 0;
    for (size_t segment = bytes.find(key); segment != std::string::npos;
         segment = bytes.find(key, segment + 1)) {
        size_t position = segment + 16;
        const uint8_t lengthByte = byteAt(position);
        const size_t lengthSize = lengthByte & 0x80 ? lengthByte & 0x7f : 0;
        const uint64_t length = lengthSize ? number(position + 1, lengthSize) : lengthByte;
        position += 1 + lengthSize;
        const size_t end = position + length;
        while (position + 4 <= end) {
            const uint64_t tag = number(position, 2);
            const uint64_t size = number(position + 2, 2);
            if (tag == 0x3F0A && entry < number(position + 4, 4)) {
                const size_t at = position + 12 + entry * number(position + 8, 4) + 3;
                for (size_t i = 0; i < 8; ++i)
                    bytes.at(at + i) = char(streamOffset >> (56 - 8 * i));
                ++changed;
            }
            position += 4 + size;
        }
    }
    ASSERT_GT(changed, 0) << "no index entry " << entry;
}

TEST(MXFReferenceMovieTest, BrokenIndexEndsTheTracksInsideTheFile) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    test::ScratchFolder folder;
    std::string bytes = test::readFile(test::ffmpegMXFFile("op1a_mpeg2.mxf"));
    // Edit unit 100 points far past the end of the file.
    setStreamOffsetOfIndexEntry(bytes, 100, 0x00FFFFFFFFFFFFFF);
    const std::filesystem::path broken = folder / "broken.mxf";
    test::writeFile(broken, bytes);
    const auto file = analysedFile(broken);
    ASSERT_NE(file, nullptr);
    const auto movie = MXFReferenceMovie::movieOfFile(*file);
    ASSERT_TRUE(movie.has_value());
    for (const QtReferenceTrack& track : movie->tracks()) {
        if (track.kind == QtMediaKind::Timecode) continue;
        EXPECT_EQ(track.chunks.size(), 100u) << int(track.kind);
        const QtReferenceTrack::Chunk& last = track.chunks.back();
        const uint64_t lastSize = track.constantSampleSize
                                      ? uint64_t(last.sampleCount) * track.constantSampleSize
                                      : track.sampleSizes.back();
        EXPECT_LE(last.offset + lastSize, bytes.size());
    }
    // ffmpeg reads the shortened movie without errors.
    const std::filesystem::path written = folder / "broken.mov";
    ASSERT_TRUE(MXFReferenceMovie::writeMovieOfFile(*file, written));
    EXPECT_EQ(pictureLines(written, true).size(), 100u);
}

TEST(MXFReferenceMovieTest, UnwritableDestinationLeavesNothing) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    test::ScratchFolder folder;
    const auto file = analysedFile(test::ffmpegMXFFile("atom_video.mxf"));
    ASSERT_NE(file, nullptr);
    EXPECT_FALSE(file->makeQTRef(folder / "missing"));
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

TEST(MXFReferenceMovieTest, PathsAnAliasCannotNameAreRefused) {
    QtReferenceTrack track;
    track.timeScale = 25;
    track.sampleEntry = {'A', 'V', 'd', 'n'};
    track.chunks = {{0, 1}};
    track.sampleSizes = {100};
    for (const std::filesystem::path& path :
         {std::filesystem::path("relative.mxf"), std::filesystem::path("/media/a:b.mxf")}) {
        QtReferenceMovie movie(25);
        track.dataFile = path;
        movie.addTrack(track);
        EXPECT_TRUE(movie.problem().has_value()) << path;
        EXPECT_FALSE(movie.movieBytes().has_value()) << path;
    }
}

}  // namespace
}  // namespace vorlane
