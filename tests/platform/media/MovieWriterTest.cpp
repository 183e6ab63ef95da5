#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "platform/media/GeneratedMedia.h"
#include "platform/media/MovieWriter.h"
#include "support/TestSupport.h"

namespace vorlane {
namespace {

CMTimeRange frames(int64_t start, int64_t count) {
    return CMTimeRangeMake(CMTimeMake(start, 25), CMTimeMake(count, 25));
}

// A movie of one picture track: the source's pictures from `start` on, placed at 0.
std::vector<std::string> writtenPictures(const std::filesystem::path& source, int64_t start,
                                         int64_t count, const MovieVideoSettings& video) {
    test::ScratchFolder folder;
    MovieWriterJob job;
    job.destination = folder / "written.mov";
    job.video = video;
    job.tracks.push_back({AssetMediaType::Video,
                          {PlayableSegment::compositionTrackSegmentWithURL(
                              source, 1, frames(start, count), frames(0, count))}});
    const MovieWriteResult written = MovieWriter::standardWriter()->writeMovie(job, {});
    EXPECT_EQ(written.status, MovieWriteStatus::Written) << written.message;
    return test::referencePictures(job.destination);
}

// The numbers of the source pictures the written ones show; -1 for none.
std::vector<int64_t> sourcePicturesOf(const std::vector<std::string>& pictures,
                                      const std::vector<std::string>& reference) {
    std::vector<int64_t> numbers;
    for (const std::string& picture : pictures) {
        const auto found = std::find(reference.begin(), reference.end(), picture);
        numbers.push_back(found == reference.end() ? -1 : int64_t(found - reference.begin()));
    }
    return numbers;
}

std::vector<int64_t> numbersFrom(int64_t first, int64_t count) {
    std::vector<int64_t> numbers(static_cast<size_t>(count));
    std::iota(numbers.begin(), numbers.end(), first);
    return numbers;
}

// Re-encoded without loss, and copied, the segment shows exactly ffmpeg's pictures of the source
// however its start falls on the sync sample, its leading pictures and the pictures before them.
void expectTheSourcesPicturesFrom(const std::filesystem::path& source, int64_t syncSample) {
    const auto reference = test::referencePictures(source);
    ASSERT_GT(reference.size(), size_t(syncSample + 8));
    MovieVideoSettings lossless{"libx264", "", "yuv420p", 0, 0, 0, {{"qp", "0"}}};
    for (int64_t start = syncSample - 4; start <= syncSample; ++start) {
        EXPECT_EQ(sourcePicturesOf(writtenPictures(source, start, 6, lossless), reference),
                  numbersFrom(start, 6));
    }
    // A copy holds the pictures it needs before the start, which players do not show. It also
    // holds the pictures decoded before the end and shown after it (they can be references).
    auto copied = sourcePicturesOf(writtenPictures(source, syncSample - 1, 4, {}), reference);
    ASSERT_GE(copied.size(), 4u);
    copied.resize(4);
    EXPECT_EQ(copied, numbersFrom(syncSample - 1, 4)) << "copied";
}

TEST(MovieWriter, WritesTheExactPicturesAroundAnOpenH264GroupOfPictures) {
    VORLANE_REQUIRE_FFMPEG();
    if (!MovieWriter::encoderAvailable("libx264")) GTEST_SKIP() << "no libx264 encoder";
    expectTheSourcesPicturesFrom(test::generatedMedia("gopopen.mov"), 100);
}

TEST(MovieWriter, WritesTheExactPicturesAroundAnOpenHEVCGroupOfPictures) {
    VORLANE_REQUIRE_FFMPEG();
    const std::string encoders = test::runTool({"ffmpeg", "-v", "error", "-encoders"});
    if (encoders.find("libx265") == std::string::npos)
        GTEST_SKIP() << "ffmpeg has no libx265 encoder; the HEVC check is skipped";
    if (!MovieWriter::encoderAvailable("libx264")) GTEST_SKIP() << "no libx264 encoder";
    expectTheSourcesPicturesFrom(test::generatedMedia("gop265.mov"), 250);
}

}  // namespace
}  // namespace vorlane
