// The demo shooting day end to end: files made by ffmpeg, libsndfile and libltc's encoder are read
// by the standard readers (timecode tracks, LTC on a camera's and a lavalier recorder's sound,
// Broadcast WAV, ID3 tags), and every camera take syncs with the sound recorded over it. The
// sound lands at the offset its timecode implies, exactly, and a hand clap decoded by ffmpeg
// from the camera's scratch sound and from the recorder lands at the same clip time.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <set>

#include "app/ApplicationController.h"
#include "app/StandardDefaults.h"
#include "media/MediaPool.h"
#include "mediagen/DemoShoot.h"
#include "platform/Process.h"
#include "platform/UserDefaults.h"
#include "support/TestSupport.h"
#include "sync/MediaSyncComposition.h"
#include "sync/MediaSyncIndex.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

using namespace std::chrono_literals;
using mediagen::DemoFile;

constexpr int kSampleRate = mediagen::demoShootSampleRate;

CMTime timeOfDay(const mediagen::Timecode& label) {
    return CMTimeMake(mediagen::samplesSinceMidnight(label, mediagen::demoShootRate, kSampleRate),
                      kSampleRate);
}

CMTimeRange rangeOf(const DemoFile& file) {
    return {timeOfDay(file.start), CMTimeMake(file.seconds, 1)};
}

// The first sample of the file's first audio channel (decoded by ffmpeg) whose level exceeds
// half the loudest one: the leading edge of the clap, which is far louder than the music.
std::optional<int64_t> clapSample(const std::filesystem::path& path) {
    const auto decoded = runProcess({"ffmpeg", "-v", "error", "-i", path.string(), "-map", "0:a:0",
                                     "-af", "pan=mono|c0=c0", "-f", "s16le", "-acodec", "pcm_s16le",
                                     "-ar", std::to_string(kSampleRate), "-"});
    if (!decoded || decoded->exitStatus != 0) return std::nullopt;
    const std::string& bytes = decoded->standardOutput;
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    int loudest = 0;
    for (int16_t sample : samples)
        loudest = std::max(loudest, std::abs(int(sample)));
    for (size_t i = 0; i < samples.size(); ++i)
        if (2 * std::abs(int(samples[i])) > loudest) return int64_t(i);
    return std::nullopt;
}

// Where a file's source time lies in the composition, through the first segment that holds it.
std::optional<CMTime> compositionTime(const MediaComposition& clip,
                                      const std::filesystem::path& file, CMTime sourceTime) {
    for (const auto& track : clip.tracks())
        for (const MediaSegment& segment : track->segments()) {
            if (segment.isEmpty() || segment.sourceURL() != file) continue;
            const CMTimeMapping& mapping = segment.timeMapping();
            if (!CMTimeRangeContainsTime(mapping.source, sourceTime)) continue;
            return CMTimeAdd(mapping.target.start,
                             CMTimeSubtract(sourceTime, mapping.source.start));
        }
    return std::nullopt;
}

class DemoShootSyncTest : public testing::Test {
  protected:
    void SetUp() override {
        VORLANE_REQUIRE_TOOL("ffmpeg");
        std::string error;
        const auto made = mediagen::makeDemoShoot(folder / "shoot", &error);
        ASSERT_TRUE(made) << error;
        shoot = *made;
        StandardDefaults::createIfNeeded(defaults);  // as at first start: LTC read on import
        controller =
            std::make_unique<ApplicationController>(ApplicationHooks::standard(), defaults, center);
        controller->addPaths({folder / "shoot"});
        ASSERT_TRUE(controller->waitForAnalysis(300s));
        controller->mediaPool().enumerateSyncGroups();
        for (const auto& file : controller->mediaPool().files())
            files[file->name()] = file;
    }

    std::shared_ptr<MediaSyncComposition> clipOf(const std::string& camera) {
        CompositionSettings settings;
        settings.keepOriginalAudio = true;
        auto clip = MediaSyncComposition::syncCompositionWithMasterFile(
            files.at(camera), MediaSyncIndex::indexWithMediaPool(controller->mediaPool()),
            settings);
        clip->setXmlMode(false);
        clip->setForPlayback(true);
        clip->syncMedia();
        return clip;
    }

    test::ScratchFolder folder;
    UserDefaults defaults{folder / "defaults.json"};
    NotificationCenter center;
    std::unique_ptr<ApplicationController> controller;
    mediagen::DemoShoot shoot;
    std::map<std::string, std::shared_ptr<MediaFile>> files;
};

TEST_F(DemoShootSyncTest, EveryFileHasItsTimecodeAndEveryCameraTakeSyncsExactly) {
    ASSERT_EQ(files.size(), shoot.files.size());
    for (const DemoFile& file : shoot.files) {
        SCOPED_TRACE(file.name);
        const std::shared_ptr<TCHelper> timecode = files.at(file.name)->timecode();
        ASSERT_TRUE(timecode);
        EXPECT_EQ(timecode->timecodeString(TCOptionWrap24h), file.start.text());
        // A timecode read from LTC is placed by the edge that ends a frame: to the sample.
        const CMTime error = CMTimeSubtract(timecode->time(), timeOfDay(file.start));
        const int64_t allowed = timecode->type() == TCTypeAudio ? 1 : 0;
        EXPECT_LE(std::abs(CMTimeGetSeconds(error) * kSampleRate), allowed + 1e-9)
            << file.timecodeSource();
        EXPECT_EQ(timecode->frameRate(), 25.0);
    }

    for (const DemoFile& camera : shoot.files) {
        if (!camera.hasPicture()) continue;
        SCOPED_TRACE(camera.name);
        const auto clip = clipOf(camera.name);
        // The files whose range overlaps the camera's, other cameras aside (multicam is off).
        std::set<std::string> expected;
        for (const DemoFile& other : shoot.files)
            if (!other.hasPicture() &&
                MediaSyncIndex::rangesOverlap(rangeOf(camera), rangeOf(other)))
                expected.insert(other.name);
        std::set<std::string> matched;
        for (const auto& file : clip->correspondingFiles())
            matched.insert(file->name());
        EXPECT_EQ(matched, expected);

        // Each sound file sits where its timecode says, relative to the camera's: exactly.
        const CMTime cameraStart =
            *compositionTime(*clip, files.at(camera.name)->sourceURLPath(), kCMTimeZero);
        for (const std::string& name : expected) {
            const auto& file = files.at(name);
            const CMTime offset =
                CMTimeSubtract(file->timecode()->time(), files.at(camera.name)->timecode()->time());
            // The sound's own time zero, or the first of its time the clip holds.
            const CMTime source = CMTimeMaximum(kCMTimeZero, CMTimeMultiply(offset, -1));
            const auto placed = compositionTime(*clip, file->sourceURLPath(), source);
            ASSERT_TRUE(placed) << name;
            EXPECT_EQ(
                CMTimeCompare(CMTimeSubtract(*placed, cameraStart), CMTimeAdd(offset, source)), 0)
                << name << " at " << CMTimeGetSeconds(*placed);
        }
    }
}

TEST_F(DemoShootSyncTest, TheClapLandsOnTheSameSampleInCameraAndRecorder) {
    for (const auto& [cameraName, recorderName] : {std::pair{"A001_C001.mov", "SC12_T01.WAV"},
                                                   {"A001_C002.mov", "SC12_T02.WAV"},
                                                   {"A001_C003.mov", "SC14_T01_1.WAV"}}) {
        SCOPED_TRACE(cameraName);
        const auto clip = clipOf(cameraName);
        const auto camera = files.at(cameraName)->sourceURLPath();
        const auto recorder = files.at(recorderName)->sourceURLPath();
        const auto cameraClap = clapSample(camera);
        const auto recorderClap = clapSample(recorder);
        ASSERT_TRUE(cameraClap && recorderClap);
        const auto heardByCamera =
            compositionTime(*clip, camera, CMTimeMake(*cameraClap, kSampleRate));
        const auto heardByRecorder =
            compositionTime(*clip, recorder, CMTimeMake(*recorderClap, kSampleRate));
        ASSERT_TRUE(heardByCamera && heardByRecorder);
        EXPECT_EQ(CMTimeCompare(*heardByCamera, *heardByRecorder), 0)
            << CMTimeGetSeconds(*heardByCamera) << " " << CMTimeGetSeconds(*heardByRecorder);
    }
}

}  // namespace
}  // namespace vorlane
