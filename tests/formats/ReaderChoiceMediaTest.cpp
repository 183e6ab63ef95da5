// The reader choice hands files of the media layer to their readers.
#include <gtest/gtest.h>

#include "formats/ReaderChoice.h"
#include "formats/asset/MediaTools.h"
#include "formats/mxf/FFmpegMXFFiles.h"
#include "media/MediaFile.h"
#include "mediagen/MovieWriter.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "support/TestSupport.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

TEST(ReaderChoice, PlatformReadFiles) {
    test::ScratchFolder folder;
    UserDefaults defaults{folder / "defaults.json"};
    NotificationCenter center;
    const auto pool = MediaPool::create(chooseMediaReader, defaults, center);
    const std::pair<const char*, const char*> cases[] = {
        {"A.MOV", "QuicktimeFile"},    {"b.mp4", "QuicktimeFile"},    {"c.m4a", "QuicktimeFile"},
        {"d.MTS", "AVCHDFile"},        {"e.mp3", "MP3File"},          {"f.aif", "AVFoundationFile"},
        {"g.m2t", "AVFoundationFile"}, {"h.mpg", "AVFoundationFile"},
    };
    for (const auto& [name, reader] : cases) {
        SCOPED_TRACE(name);
        test::writeFile(folder / name, "x");
        const MediaReaderChoice choice = chooseMediaReader(folder / name, *pool);
        ASSERT_TRUE(choice.file) << choice.reason;
        EXPECT_EQ(choice.file->className(), reader);
        EXPECT_EQ(choice.sourceFiles, std::vector<std::shared_ptr<MediaFile>>{choice.file});
        EXPECT_TRUE(isSupportedMediaURL(folder / name));
    }
}

// What one analysis of a file found, in the words a user reads.
std::string analysisSummary(const MediaFile& file) {
    std::string text = file.className() + " " + file.duration().description();
    if (const auto timecode = file.timecode())
        text += " " + timecode->timecodeString(TCOptionWrap24h);
    std::lock_guard lock(file.mutex());
    for (const auto& track : file.tracks())
        text += " | " + std::to_string(track->type()) + " #" +
                std::to_string(track->trackNumber()) + " " + track->codecName() + " " +
                track->timeRange().duration.description();
    return text;
}

// Analysing one file object twice gives the same tracks, timecode and duration, for the media
// layer's, the MXF and the wave readers.
TEST(ReaderChoice, AnalysingTwiceReadsTheSameFile) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    test::ScratchFolder folder;
    UserDefaults defaults{folder / "defaults.json"};
    NotificationCenter center;
    const auto pool = MediaPool::create(chooseMediaReader, defaults, center);
    mediagen::MovieOptions movie;
    movie.path = folder / "take.mov";
    movie.frameCount = 10;
    movie.width = 160;
    movie.height = 90;
    movie.timecode = mediagen::Timecode{10, 0, 0, 0};
    movie.audioTracks = {test::writeStereoTone(folder / "tone.wav", 0.4)};
    ASSERT_TRUE(mediagen::writeMovie(movie));
    for (const auto& path :
         {movie.path, folder / "tone.wav", test::ffmpegMXFFile("op1a_mpeg2.mxf")}) {
        SCOPED_TRACE(path.filename());
        const auto file = chooseMediaReader(path, *pool).file;
        ASSERT_TRUE(file);
        file->analyzeWithOptions({{kAnalyzeApplyAVShift, true}});
        const std::string once = analysisSummary(*file);
        file->analyzeWithOptions({{kAnalyzeApplyAVShift, true}});
        EXPECT_EQ(analysisSummary(*file), once);
        EXPECT_FALSE(file->tracks().empty());
    }
}

}  // namespace
}  // namespace vorlane
