// A take that a recorder split over several Broadcast WAV files, made by the independent media
// generator: one 150 s LTC signal from libltc's encoder cut into parts of 60, 60 and 30 s whose
// bext time references continue. The parts join into one recording, LTC decoded over the join
// gives each part its own start, the joined sound is the files' sound to the sample (ffmpeg's
// decode), and separate takes that merely share the recorder's name prefix stay apart.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include "formats/ReaderChoice.h"
#include "formats/wave/BWFFile.h"
#include "media/AudioBufferReader.h"
#include "media/MediaTrack.h"
#include "media/SpannedMediaFile.h"
#include "mediagen/BroadcastWave.h"
#include "mediagen/LtcGenerator.h"
#include "mediagen/Readback.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "support/TestSupport.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

namespace fs = std::filesystem;
using mediagen::Timecode;

constexpr int kRate = 48000;

CMTime seconds(int64_t value) {
    return CMTimeMake(value * kRate, kRate);
}

// A recorder file of the samples, starting at the label (25 fps).
void writePart(const fs::path& path, Timecode start, mediagen::Samples samples) {
    mediagen::RecorderTake take;
    take.path = path;
    take.start = start;
    take.format = mediagen::SampleFormat::Pcm16;
    take.originator = "ZOOM F8n";
    take.channels = {std::move(samples)};
    std::string error;
    EXPECT_TRUE(mediagen::writeRecorderTake(take, &error)) << error;
}

std::string text(const std::shared_ptr<TCHelper>& timecode) {
    return timecode ? timecode->timecodeString(TCOptionWrap24h) : "none";
}

std::vector<std::shared_ptr<MediaFile>> partsNamed(const fs::path& folder,
                                                   const std::vector<std::string>& names) {
    std::vector<std::shared_ptr<MediaFile>> parts;
    for (const std::string& name : names)
        parts.push_back(std::make_shared<BWFFile>(folder / name));
    return parts;
}

std::shared_ptr<SpannedMediaFile> spannedOf(std::vector<std::shared_ptr<MediaFile>> parts) {
    return std::dynamic_pointer_cast<SpannedMediaFile>(
        SpannedMediaFile::initWithMediaFiles(std::move(parts)));
}

// ZOOM0001 … ZOOM0003: 10:00:00:00 for 60 s, 10:01:00:00 for 60 s, 10:02:00:00 for 30 s, one
// channel of LTC running on across the cuts.
class SpannedRecording : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        folder_ = new test::ScratchFolder;
        mediagen::LtcOptions options;
        options.start = {10, 0, 0, 0};
        options.durationSeconds = 150;
        std::string error;
        const std::optional<mediagen::LtcSignal> signal = mediagen::generateLtc(options, &error);
        ASSERT_TRUE(signal) << error;
        const auto cut = [&](int64_t from, int64_t to) {
            return mediagen::Samples(signal->samples.begin() + from * kRate,
                                     signal->samples.begin() + to * kRate);
        };
        writePart(*folder_ / "ZOOM0001.WAV", {10, 0, 0, 0}, cut(0, 60));
        writePart(*folder_ / "ZOOM0002.WAV", {10, 1, 0, 0}, cut(60, 120));
        writePart(*folder_ / "ZOOM0003.WAV", {10, 2, 0, 0}, cut(120, 150));
    }
    static void TearDownTestSuite() { delete folder_; }

    static fs::path folder() { return folder_->path(); }

    static test::ScratchFolder* folder_;
};

test::ScratchFolder* SpannedRecording::folder_ = nullptr;

TEST_F(SpannedRecording, PartsJoinIntoOneRecordingWithLtcForEveryPart) {
    EXPECT_EQ(BWFFile::spannedFilesForURL(folder() / "ZOOM0002.WAV"),
              (std::vector{folder() / "ZOOM0001.WAV", folder() / "ZOOM0002.WAV",
                           folder() / "ZOOM0003.WAV"}));
    // Listed out of order, without dates yet: sorted by name.
    const auto file =
        spannedOf(partsNamed(folder(), {"ZOOM0003.WAV", "ZOOM0001.WAV", "ZOOM0002.WAV"}));
    ASSERT_TRUE(file);
    const auto& parts = file->referencedMediaFiles();
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[0]->name(), "ZOOM0001.WAV");
    EXPECT_EQ(parts[2]->name(), "ZOOM0003.WAV");
    file->analyzeWithOptions({{kAnalyzeReadAudioTc, true}});

    EXPECT_EQ(file->name(), "ZOOM0001.WAV");
    EXPECT_EQ(file->duration(), seconds(150));
    const auto track = file->firstAudioTrack();
    ASSERT_TRUE(track);
    ASSERT_EQ(track->segments().size(), 3u);
    const int64_t starts[] = {0, 60, 120};
    const int64_t lengths[] = {60, 60, 30};
    for (size_t k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        const MediaSegment& segment = track->segments()[k];
        EXPECT_EQ(segment.sourceFile(), parts[k]);
        EXPECT_EQ(segment.timeMapping().source.start, kCMTimeZero);
        EXPECT_EQ(segment.timeMapping().target.start, seconds(starts[k]));
        EXPECT_EQ(segment.timeMapping().target.duration, seconds(lengths[k]));
    }
    EXPECT_EQ(file->partStartTimes(), (std::vector{seconds(0), seconds(60), seconds(120)}));
    EXPECT_TRUE(file->missingParts().empty());

    EXPECT_EQ(text(file->fileTimecode()), "10:00:00:00");
    EXPECT_EQ(text(file->audioTimecode()), "10:00:00:00");
    const char* partStarts[] = {"10:00:00:00", "10:01:00:00", "10:02:00:00"};
    for (size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(text(parts[k]->audioTimecode()), partStarts[k]) << k;
        EXPECT_EQ(parts[k]->firstAudioTrack()->getAudioChannelMask(), 1u) << k;
        EXPECT_EQ(parts[k]->metaDataString(kReferencedBySpannedMedia), "ZOOM0001.WAV");
    }
    EXPECT_TRUE(file->readableFileInfo().starts_with("3 Files ")) << file->readableFileInfo();
    const std::string description = file->metaDescription(0);
    for (const char* line : {"Referenced Files = 3\n", "3 Files\n", "Part 2 = ZOOM0002.WAV",
                             "Broadcast Wave File = YES\n"})
        EXPECT_NE(description.find(line), std::string::npos) << line << "\n" << description;
}

// Across a cut the joined sound continues with the next file's first sample.
TEST_F(SpannedRecording, JoinedSoundIsTheFilesSoundToTheSample) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    const auto file = spannedOf(partsNamed(folder(), {"ZOOM0001.WAV", "ZOOM0002.WAV"}));
    file->analyzeWithOptions({});
    const auto first = mediagen::decodeAudioWithFfmpeg(folder() / "ZOOM0001.WAV");
    const auto second = mediagen::decodeAudioWithFfmpeg(folder() / "ZOOM0002.WAV");
    ASSERT_TRUE(first && second);
    const CMTimeRange range{CMTimeMake(59 * kRate + 24000, kRate), seconds(1)};
    auto reader = AudioBufferReader::initWithMediaTrack(file->firstAudioTrack(), range);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->startTime(), range.start);
    EXPECT_EQ(reader->totalSamples(), kRate);
    std::vector<int16_t> joined;
    for (PcmSamples piece = reader->readSamples(); piece.frameCount > 0;
         piece = reader->readSamples())
        for (size_t i = 0; i < piece.frameCount; ++i)
            joined.push_back(piece.value(i, 0));
    ASSERT_EQ(joined.size(), size_t(kRate));
    for (size_t i = 0; i < joined.size(); ++i) {
        const size_t sample = size_t(59 * kRate + 24000) + i;
        const float expected =
            sample < size_t(60 * kRate) ? (*first)[0][sample] : (*second)[0][sample - 60 * kRate];
        ASSERT_EQ(joined[i], int16_t(std::lround(double(expected) * 32768.0))) << i;
    }
}

// A part that cannot be read leaves its length empty: the next part keeps its place by its own
// timecode, gets its own audio timecode, and the gap is named in the file's information.
TEST_F(SpannedRecording, AnUnreadablePartLeavesAGap) {
    test::ScratchFolder copy;
    for (const char* name : {"ZOOM0001.WAV", "ZOOM0003.WAV"})
        fs::copy_file(folder() / name, copy / name);
    test::writeFile(copy / "ZOOM0002.WAV", "RIFF damaged in the middle of the take");
    const auto file =
        spannedOf(partsNamed(copy.path(), {"ZOOM0001.WAV", "ZOOM0002.WAV", "ZOOM0003.WAV"}));
    file->analyzeWithOptions({{kAnalyzeReadAudioTc, true}});

    EXPECT_EQ(file->duration(), seconds(150));
    const auto& segments = file->firstAudioTrack()->segments();
    ASSERT_EQ(segments.size(), 3u);
    EXPECT_EQ(segments[0].sourceFile(), file->referencedMediaFiles()[0]);
    EXPECT_TRUE(segments[1].isEmpty());
    EXPECT_TRUE(CMTimeRangeEqual(segments[1].timeMapping().target, {seconds(60), seconds(60)}));
    EXPECT_EQ(segments[2].sourceFile(), file->referencedMediaFiles()[2]);
    EXPECT_EQ(segments[2].timeMapping().target.start, seconds(120));
    const std::vector<std::string> missing = file->missingParts();
    ASSERT_EQ(missing.size(), 2u);
    EXPECT_EQ(missing[0], "ZOOM0002.WAV could not be read");
    EXPECT_NE(missing[1].find("missing before ZOOM0003.WAV"), std::string::npos) << missing[1];
    EXPECT_NE(file->metaDescription(0).find("Missing: ZOOM0002.WAV could not be read"),
              std::string::npos);

    // The middle second lies in the gap; a timecode given to the recording reaches the parts.
    EXPECT_FALSE(file->hasAudioTimecode());
    auto audio = TCHelper::helperWithFrameRate(25, false);
    audio->setTimecodeString("10:00:00:00");
    audio->setType(TCTypeAudio);
    file->addTimecodeTrackWithTCHelper(audio);
    EXPECT_EQ(text(file->referencedMediaFiles()[2]->audioTimecode()), "10:02:00:00");
    EXPECT_EQ(text(file->referencedMediaFiles()[1]->audioTimecode()), "10:01:00:00");
}

TEST(SpannedMediaFile, PartsAreOrderedByCreationDateThenName) {
    const auto at = [](int second) {
        return MetadataDate(std::chrono::seconds(1715940000 + second));
    };
    auto parts = partsNamed("/card", {"C.WAV", "A.WAV", "B.WAV", "D.WAV"});
    parts[0]->setMetaDataValue(kOriginalCreationDate, at(0));
    parts[1]->setMetaDataValue(kOriginalCreationDate, at(60));
    parts[2]->setMetaDataValue(kOriginalCreationDate, at(60));
    const auto file = spannedOf(parts);
    ASSERT_TRUE(file);
    std::vector<std::string> order;
    for (const auto& part : file->referencedMediaFiles())
        order.push_back(part->name());
    EXPECT_EQ(order, (std::vector<std::string>{"C.WAV", "A.WAV", "B.WAV", "D.WAV"}));
    EXPECT_EQ(file->sourceURLPath(), fs::path("/card/C.WAV"));

    EXPECT_EQ(SpannedMediaFile::initWithMediaFiles({parts[0]}), parts[0]);
    EXPECT_EQ(SpannedMediaFile::initWithMediaFiles({}), nullptr);
    // Nothing readable: no tracks, every part named, no crash.
    file->analyzeWithOptions({{kAnalyzeReadAudioTc, true}});
    EXPECT_FALSE(file->hasAudio());
    EXPECT_EQ(file->missingParts().size(), 4u);
}

// A card clip recorded into three MXF files (ffmpeg's OP1a, timecode continuing) with the
// clip-info file that says so: the pool makes one recording of them.
TEST(SpannedMediaFile, CardClipOfThreeMXFFiles) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    test::ScratchFolder scratch;
    const fs::path clip = scratch / "AA0012";
    fs::create_directory(clip);
    const std::pair<const char*, const char*> parts[] = {
        {"10:00:00:00", "60"}, {"10:01:00:00", "60"}, {"10:02:00:00", "30"}};
    for (size_t k = 0; k < 3; ++k)
        test::runTool({"ffmpeg",
                       "-v",
                       "error",
                       "-f",
                       "lavfi",
                       "-i",
                       "testsrc=size=160x96:rate=25",
                       "-f",
                       "lavfi",
                       "-i",
                       "sine=sample_rate=48000",
                       "-t",
                       parts[k].second,
                       "-c:v",
                       "mpeg2video",
                       "-pix_fmt",
                       "yuv422p",
                       "-g",
                       "25",
                       "-c:a",
                       "pcm_s16le",
                       "-timecode",
                       parts[k].first,
                       "-f",
                       "mxf",
                       (clip / ("AA00120" + std::to_string(k + 1) + ".MXF")).string()});
    std::string clipInfo(64, '\0');
    clipInfo[0] = 'C';
    clipInfo[1] = 'I';
    clipInfo[59] = 3;
    test::writeFile(clip / "AA0012.CIF", clipInfo);

    UserDefaults defaults{scratch / "defaults.json"};
    NotificationCenter center;
    const auto pool = MediaPool::create(chooseMediaReader, defaults, center);
    const auto entry = pool->addMediaWithURL(clip / "AA001202.MXF");
    const auto file = std::dynamic_pointer_cast<SpannedMediaFile>(entry);
    ASSERT_TRUE(file);
    EXPECT_EQ(pool->sourceFiles().size(), 3u);
    EXPECT_FALSE(pool->addMediaWithURL(clip / "AA001203.MXF"));
    file->analyzeWithOptions({});
    EXPECT_EQ(file->name(), "AA001201.MXF");
    EXPECT_EQ(file->fileContainerString(), "MXF");
    EXPECT_EQ(file->duration(), seconds(150));
    EXPECT_EQ(text(file->fileTimecode()), "10:00:00:00");
    for (const auto& track : {file->firstVideoTrack(), file->firstAudioTrack()}) {
        ASSERT_TRUE(track);
        ASSERT_EQ(track->segments().size(), 3u);
        for (size_t k = 0; k < 3; ++k) {
            const MediaSegment& segment = track->segments()[k];
            EXPECT_EQ(segment.sourceFile(), file->referencedMediaFiles()[k]);
            EXPECT_EQ(segment.timeMapping().source.start, kCMTimeZero);
            EXPECT_EQ(segment.timeMapping().target.start, seconds(int64_t(k) * 60)) << k;
        }
    }
    EXPECT_TRUE(file->missingParts().empty());
}

// A RED clip folder of two files: the first file covers the recording, the second adds nothing.
TEST(SpannedMediaFile, RedClipFolder) {
    VORLANE_REQUIRE_TESTDATA(testdata);
    test::ScratchFolder scratch;
    const fs::path clip = scratch / "A106_C037_0118G5.RDC";
    fs::create_directory(clip);
    for (const char* name : {"A106_C037_0118G5_001.R3D", "A106_C037_0118G5_002.R3D"})
        fs::copy_file(testdata / "headers" / "exiftool_Red.r3d", clip / name);
    UserDefaults defaults{scratch / "defaults.json"};
    NotificationCenter center;
    const auto pool = MediaPool::create(chooseMediaReader, defaults, center);
    const auto file = std::dynamic_pointer_cast<SpannedMediaFile>(
        pool->addMediaWithURL(clip / "A106_C037_0118G5_001.R3D"));
    ASSERT_TRUE(file);
    file->analyzeWithOptions({});
    EXPECT_EQ(file->referencedFilesCount(), 2);
    EXPECT_EQ(file->fileContainerString(), "Redcode");
    EXPECT_EQ(text(file->fileTimecode()), "21:36:16:18");
    EXPECT_EQ(file->reel(), "106");
    EXPECT_EQ(file->duration(), file->referencedMediaFiles()[0]->duration());
    EXPECT_TRUE(file->missingParts().empty());
}

// Takes of one day that share the recorder's prefix: only files that continue the previous
// file's end within a frame are one recording (also across midnight).
TEST(SpannedMediaFile, ZoomTakesWithGapsStaySeparate) {
    test::ScratchFolder folder;
    const auto tone = [](int frames) { return mediagen::Samples(size_t(frames) * 1920, 0.25f); };
    writePart(folder / "ZOOM0001.WAV", {10, 0, 0, 0}, tone(50));
    writePart(folder / "ZOOM0002.WAV", {10, 3, 0, 0}, tone(50));
    writePart(folder / "ZOOM0003.WAV", {10, 3, 2, 0}, tone(50));  // continues 0002
    writePart(folder / "ZOOM0004.WAV", {10, 3, 4, 2}, tone(50));  // two frames late
    writePart(folder / "ZOOM0005.WAV", {23, 59, 59, 0}, tone(25));
    writePart(folder / "ZOOM0006.WAV", {0, 0, 0, 0}, tone(25));  // after midnight
    EXPECT_FALSE(BWFFile::spannedFilesForURL(folder / "ZOOM0001.WAV"));
    const std::vector pair{folder / "ZOOM0002.WAV", folder / "ZOOM0003.WAV"};
    EXPECT_EQ(BWFFile::spannedFilesForURL(folder / "ZOOM0002.WAV"), pair);
    EXPECT_EQ(BWFFile::spannedFilesForURL(folder / "ZOOM0003.WAV"), pair);
    EXPECT_FALSE(BWFFile::spannedFilesForURL(folder / "ZOOM0004.WAV"));
    EXPECT_EQ(BWFFile::spannedFilesForURL(folder / "ZOOM0006.WAV"),
              (std::vector{folder / "ZOOM0005.WAV", folder / "ZOOM0006.WAV"}));

    // The pool: one entry per recording, every file a source file, parts not added twice.
    UserDefaults defaults{folder / "defaults.json"};
    NotificationCenter center;
    const auto pool = MediaPool::create(chooseMediaReader, defaults, center);
    std::vector<std::string> entries;
    std::vector<std::shared_ptr<MediaFile>> added;
    for (int number = 1; number <= 6; ++number) {
        const auto file =
            pool->addMediaWithURL(folder / ("ZOOM000" + std::to_string(number) + ".WAV"));
        entries.push_back(
            file ? file->className() + " " + std::to_string(file->referencedFilesCount()) : "none");
        if (file) added.push_back(file);
    }
    pool->analyzeItemsInBackground(added);
    EXPECT_EQ(entries, (std::vector<std::string>{"BWFFile 1", "SpannedMediaFile 2", "none",
                                                 "BWFFile 1", "SpannedMediaFile 2", "none"}));
    EXPECT_EQ(pool->sourceFiles().size(), 6u);
    std::string reason;
    EXPECT_FALSE(pool->addMediaWithURL(folder / "ZOOM0003.WAV", &reason));
    EXPECT_EQ(reason, "already in the pool as part of ZOOM0002.WAV");
}

}  // namespace
}  // namespace vorlane
