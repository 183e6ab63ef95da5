// Reference movies of MXF files that ffmpeg writes, checked by ffmpeg itself: following the
// movie's data references into the MXF file, its mov demuxer must decode the same pictures and
// sound as its MXF demuxer reading the file directly, at the same rate and frame count, with the
// start timecode. Damaged files end in a movie whose references all lie inside the file, or in
// none.
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

// The checksum column of ffmpeg's decoded pictures of the first video stream.
std::vector<std::string> pictureChecksums(const std::filesystem::path& input, bool reference) {
    auto arguments = withInput({"ffmpeg", "-v", "error"}, input, reference);
    arguments.insert(arguments.end(),
                     {"-map", "0:v:0", "-vsync", "passthrough", "-f", "framemd5", "-"});
    std::istringstream lines(test::runTool(arguments));
    std::vector<std::string> checksums;
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line[0] != '#') checksums.push_back(line.substr(line.rfind(',') + 1));
    return checksums;
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
    for (const std::string name : {"op1a_mpeg2.mxf", "op1a_2997.mxf", "dnxhd_2997.mxf",
                                   "atom_video.mxf", "atom_audio.mxf", "atom_audio_2997.mxf"}) {
        SCOPED_TRACE(name);
        const std::filesystem::path mxf = test::ffmpegMXFFile(name);
        const auto file = analysedFile(mxf);
        ASSERT_NE(file, nullptr);
        const std::optional<std::filesystem::path> movie = file->makeQTRef(folder.path());
        ASSERT_TRUE(movie.has_value());
        EXPECT_EQ(movie->parent_path(), folder.path());
        EXPECT_EQ(movie->extension(), ".mov");
        if (file->hasVideo()) {
            const std::vector<std::string> pictures = pictureChecksums(mxf, false);
            EXPECT_FALSE(pictures.empty());
            EXPECT_EQ(pictureChecksums(*movie, true), pictures);
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

TEST(MXFReferenceMovieTest, DamagedFilesGiveNoReferenceOutsideTheFile) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    test::ScratchFolder folder;
    const std::string whole = test::readFile(test::ffmpegMXFFile("op1a_mpeg2.mxf"));
    // Cut in the middle of the essence (footer and its index gone), and just after the header.
    for (const size_t length : {whole.size() / 2, size_t(20000), size_t(600)}) {
        SCOPED_TRACE(length);
        const std::filesystem::path cut = folder / ("cut" + std::to_string(length) + ".mxf");
        test::writeFile(cut, whole.substr(0, length));
        const auto file = analysedFile(cut);
        if (!file) continue;  // the structure itself was cut
        const std::filesystem::path destination = folder / "cut.mov";
        const auto movie = MXFReferenceMovie::movieOfFile(*file);
        EXPECT_EQ(MXFReferenceMovie::writeMovieOfFile(*file, destination), movie.has_value());
        EXPECT_EQ(std::filesystem::exists(destination), movie.has_value());
        if (!movie) continue;
        for (const QtReferenceTrack& track : movie->tracks()) {
            for (size_t i = 0; i < track.chunks.size() && track.kind == QtMediaKind::Video; ++i)
                EXPECT_LE(track.chunks[i].offset + track.sampleSizes[i], length);
            if (track.kind == QtMediaKind::Sound && !track.chunks.empty()) {
                EXPECT_LE(track.chunks.back().offset +
                              track.chunks.back().sampleCount * track.constantSampleSize,
                          length);
            }
        }
        std::filesystem::remove(destination);
    }
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
