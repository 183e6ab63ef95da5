#include <gtest/gtest.h>

#include <ctime>

#include "media/MediaFile.h"
#include "platform/ByteOrder.h"
#include "platform/DefaultsKeys.h"
#include "platform/UserDefaults.h"
#include "support/TestSupport.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

std::shared_ptr<TCHelper> timecodeAt(const char* text, int32_t type, double rate = 25.0) {
    auto value = TCHelper::helperWithFrameRate(rate, false);
    EXPECT_TRUE(value->setTimecodeString(text));
    value->setType(type);
    return value;
}

struct MediaFileTest : testing::Test {
    std::shared_ptr<MediaFile> file = std::make_shared<MediaFile>("/media/A001C002.mov");

    std::shared_ptr<MediaTrack> addVideo(double rate = 25.0, int64_t frames = 250) {
        auto track = file->addTrackWithMediaType(MediaTrackTypeVideo, 0);
        track->setVideoFrameRate(rate);
        track->setCodecName("H.264/MPEG-4");
        track->setVideoSize({1920, 1080});
        track->setTimeRange({kCMTimeZero, CMTimeMake(frames, 25)});
        return track;
    }
    std::shared_ptr<MediaTrack> addAudio(uint32_t channels = 2, uint32_t depth = 24) {
        auto track = file->addTrackWithMediaType(MediaTrackTypeAudio, 0);
        track->setFourCC(fourCC("lpcm"));
        track->setCodecName("LPCM");
        track->setAudioChannelCount(channels);
        track->setAudioBitDepth(depth);
        track->setAudioSampleRate(48000);
        track->setTimeRange({kCMTimeZero, CMTimeMake(480000, 48000)});
        return track;
    }
};

TEST_F(MediaFileTest, AudioTimecodeWinsUnlessTheUserPrefersTheFileTimecode) {
    addVideo();
    EXPECT_EQ(file->timecode(), nullptr);
    EXPECT_FALSE(file->syncTimeRange().isValid());
    auto fileTC = timecodeAt("10:00:00:00", TCTypeFile);
    auto audioTC = timecodeAt("10:00:01:00", TCTypeAudio);
    file->addTimecodeTrackWithTCHelper(fileTC);
    file->addTimecodeTrackWithTCHelper(audioTC);
    file->addTimecodeTrackWithTCHelper(timecodeAt("11:00:00:00", TCTypeAudio));
    EXPECT_EQ(file->timecode(), audioTC);
    EXPECT_EQ(file->audioTimecodeCount(), 2);
    const CMTimeRange range = file->syncTimeRange();
    EXPECT_EQ(range.start, audioTC->time());
    EXPECT_EQ(range.duration, CMTimeMake(10, 1));
    file->setAudioTimecodeFirst(false);
    EXPECT_EQ(file->timecode(), fileTC);
    file->setAudioTimecodeFirst(true);
    file->removeAllAudioTimecodeTracks();
    EXPECT_EQ(file->timecode(), fileTC);
    EXPECT_EQ(file->tracks().size(), 2u);
    file->removeTracksWithMediaType(MediaTrackTypeTimecode);
    file->addTimecodeTrackWithTCHelper(audioTC);
    file->setAudioTimecodeFirst(false);
    EXPECT_EQ(file->timecode(), audioTC);  // the file timecode is absent: the audio one remains
    EXPECT_DOUBLE_EQ(file->frameRate(), 25.0);
}

TEST_F(MediaFileTest, AvShiftReplacesTheLastShiftAndRestoresExactly) {
    addVideo();
    addAudio();
    auto fileTC = timecodeAt("10:00:00:00", TCTypeFile);
    auto audioTC = TCHelper::helperWithTime(CMTimeMake(1728000001, 48000), 25.0, false);
    audioTC->setType(TCTypeAudio);
    file->addTimecodeTrackWithTCHelper(fileTC);
    file->addTimecodeTrackWithTCHelper(audioTC);
    const CMTime decoded = audioTC->time();
    const CMTime fileTime = fileTC->time();
    // A user offset must neither be shifted nor folded into the stored time.
    file->setOffset(CMTimeMake(3, 25), MediaFileOffsetFrames);
    EXPECT_EQ(audioTC->time(), decoded + CMTimeMake(3, 25));

    file->setAvShift(CMTimeMake(2, 25));
    file->setAvShift(CMTimeMake(3, 25));
    EXPECT_EQ(audioTC->timeWithoutOffset(), decoded - CMTimeMake(3, 25));
    EXPECT_EQ(fileTC->timeWithoutOffset(), fileTime);
    EXPECT_EQ(file->metaDataString(kAVShifted), "3/25");
    EXPECT_TRUE(file->hasAvShiftSet());

    file->setAvShift(CMTimeMake(80, 1000));
    EXPECT_EQ(file->metaDataString(kAVShifted), "80/1000");
    file->setAvShift(kCMTimeZero);
    EXPECT_EQ(audioTC->timeWithoutOffset(), decoded);
    EXPECT_EQ(audioTC->timeWithoutOffset().timescale, 48000);
    EXPECT_FALSE(file->metaDataValue(kAVShifted));
    EXPECT_FALSE(file->hasAvShiftSet());

    file->setAvShift(kCMTimeInvalid);  // no usable shift: nothing changes
    EXPECT_EQ(file->shiftTime(), kCMTimeZero);
    EXPECT_EQ(audioTC->timeWithoutOffset(), decoded);
}

TEST_F(MediaFileTest, FilesLackingVideoOrAudioOrTimecodeIgnoreCorrections) {
    addAudio();
    auto audioTC = timecodeAt("01:00:00:00", TCTypeAudio);
    file->setOffset(CMTimeMake(1, 1), MediaFileOffsetSeconds);  // no timecode yet: ignored
    EXPECT_EQ(file->offset(), kCMTimeZero);
    EXPECT_EQ(file->offsetType(), MediaFileOffsetFrames);
    file->addTimecodeTrackWithTCHelper(audioTC);
    file->setAvShift(CMTimeMake(2, 25));
    EXPECT_EQ(file->shiftTime(), kCMTimeZero);
    EXPECT_EQ(audioTC->time(), CMTimeMake(90000, 25));
    EXPECT_FALSE(file->metaDataValue(kAVShifted));
}

TEST_F(MediaFileTest, TrackIdentifiersForExports) {
    file->setSyncGroup(3);
    auto video = addVideo();
    addAudio();
    auto audio = addAudio(2, 24);
    EXPECT_EQ(file->uniqueTrackIDForTrack(*audio), 0x02420302);
    EXPECT_EQ(file->uniqueTrackIDForTrack(*video), 0x03000301);
    audio->setFourCC(fourCC("aac "));
    audio->setAudioChannelCount(6);
    EXPECT_EQ(file->uniqueTrackIDForTrack(*audio), 0x02E60302);
    file->removeTrack(video);
    audio->setFourCC(fourCC("lpcm"));
    audio->setAudioBitDepth(16);
    file->setSyncGroup(0x1ff);
    EXPECT_EQ(file->uniqueTrackIDForTrack(*audio), 0x0006ff02);
}

TEST_F(MediaFileTest, DeviceIdentity) {
    EXPECT_EQ(file->deviceName(), std::nullopt);
    EXPECT_EQ(file->uniqueDeviceID(), "");
    file->setMetaDataValue(kMaker, "Sony");
    EXPECT_EQ(file->deviceName(), "Sony");
    file->setMetaDataValue(kModel, "PXW-FS7");
    file->setMetaDataValue(kFirmware, "4.1");
    file->setMetaDataValue(kLensModel, "FE 24-70");
    EXPECT_EQ(file->uniqueDeviceID(), "SONYPXW-FS74.1FE24-70");
    file->setMetaDataValue(kLensSerialNumber, "l9");
    EXPECT_EQ(file->uniqueDeviceID(), "SONYPXW-FS74.1L9");
    file->setMetaDataValue(kSerialNumber, "12 34");
    EXPECT_EQ(file->deviceName(), "Sony PXW-FS7");
    EXPECT_EQ(file->uniqueDeviceID(), "SONYPXW-FS71234");
    file->setMetaDataValue(kModel, "SONY FX6");
    EXPECT_EQ(file->deviceName(), "SONY FX6");
    EXPECT_EQ(file->uniqueDeviceID(), "SONYFX61234");
    file->removeMetaDataValue(kMaker);
    EXPECT_EQ(file->deviceName(), "SONY FX6");
}

// Presets in the shared defaults store for one test, never written to the settings file.
struct StoredPresets {
    explicit StoredPresets(MetadataList presets)
        : saved(UserDefaults::standardUserDefaults().objectForKey(DefaultsKey::avShiftPresets)) {
        UserDefaults::standardUserDefaults().setObject(presets, DefaultsKey::avShiftPresets);
    }
    ~StoredPresets() {
        if (saved)
            UserDefaults::standardUserDefaults().setObject(*saved, DefaultsKey::avShiftPresets);
        else
            UserDefaults::standardUserDefaults().removeObjectForKey(DefaultsKey::avShiftPresets);
    }
    std::optional<MetadataValue> saved;
};

MetadataValue preset(const char* camera, MetadataValue shift) {
    return MetadataDictionary{{"camera", camera}, {"shift", std::move(shift)}};
}

TEST_F(MediaFileTest, AutomaticShiftTakesTheLastPresetOfTheModel) {
    StoredPresets presets({preset("PXW-FS7", "0.04"), preset("FX6", "1.00"),
                           preset("PXW-FS7", "-0.08"), preset("PXW-FS7", "garbage"),
                           MetadataValue("no dictionary")});
    addVideo();
    addAudio();
    file->setMetaDataValue(kModel, "PXW-FS7");
    file->setAutoShift();
    EXPECT_EQ(file->shiftTime(), CMTimeMake(-48, 600));
    EXPECT_EQ(file->metaDataString(kAVShifted), "-48/600");

    file->setAvShift(kCMTimeZero);
    file->setMetaDataValue(kSoftware, "Vorlane Sync 2.1");
    file->setAutoShift();
    EXPECT_FALSE(file->hasAvShiftSet());
    file->setMetaDataValue(kSoftware, "Camera Vorlane Sync");
    StoredPresets numbers({preset("PXW-FS7", 0.5)});
    file->setAutoShift();
    EXPECT_EQ(file->shiftTime(), CMTimeMake(300, 600));
}

struct ThreeFiles : MediaFile {
    using MediaFile::MediaFile;
    int32_t referencedFilesCount() const override { return 3; }
};

// The summaries list every picture track, group equal sound tracks and list unequal ones, and
// show the file timecode of the lowest start.
TEST_F(MediaFileTest, ReadableSummaries) {
    EXPECT_EQ(file->readableAudioTimecodeInfo(), "not read yet");
    file->setFilesize(1'400'000);
    addVideo(25.0, 250);
    addVideo(50.0, 25)->setCodecName("AVC-Intra");
    addAudio();
    addAudio();
    auto df = TCHelper::helperWithFrameRate(30000.0 / 1001, true);
    ASSERT_TRUE(df->setTimecodeString("25:00:00;00"));
    df->setType(TCTypeFile);
    file->addTimecodeTrackWithTCHelper(df);
    file->addTimecodeTrackWithTCHelper(timecodeAt("01:00:00:00", TCTypeFile));
    file->updateReadableInfo();
    EXPECT_EQ(file->readableVideoInfo(),
              "[#1] H.264/MPEG-4, 1920x1080, 25.00fps[#2] AVC-Intra, 1920x1080, 50.00fps");
    EXPECT_EQ(file->readableAudioInfo(), "2 x [LPCM, 2CH, 24bit, 48000Hz] ");
    EXPECT_EQ(file->readableFileTimecodeInfo(), "01:00:00;00 DF (29.97fps)  ...");
    addAudio(1, 16);
    file->updateReadableInfo();
    EXPECT_NE(file->readableAudioInfo().find("#3: [LPCM, 1CH, 16bit, 48000Hz]"), std::string::npos);

    auto spanned = std::make_shared<ThreeFiles>("/media/clip");
    spanned->setAnalyzingFinished();
    EXPECT_TRUE(spanned->readableFileInfo().starts_with("3 Files Zero KB | Duration"));
}

TEST_F(MediaFileTest, CreationDateTimecodeIsTheLocalTimeOfDay) {
    std::tm parts{};
    parts.tm_year = 2024 - 1900;
    parts.tm_mon = 2;
    parts.tm_mday = 9;
    parts.tm_hour = 14;
    parts.tm_min = 3;
    parts.tm_sec = 7;
    parts.tm_isdst = -1;
    const auto date = std::chrono::system_clock::from_time_t(std::mktime(&parts));
    file->setMetaDataValue(kFileCreationDate, date);
    auto audio = file->creationDateTimecode();
    EXPECT_EQ(audio->frameRate(), 0.0);
    EXPECT_EQ(audio->timecodeString(TCOptionNone), "14:03:07.000");
    addVideo(25.0);
    auto video = file->creationDateTimecode();
    EXPECT_EQ(video->timecodeString(TCOptionNone), "14:03:07:00");
    EXPECT_EQ(video->type(), TCTypePlain);
    file->removeMetaDataValue(kFileCreationDate);
    EXPECT_EQ(file->creationDateTimecode()->timecodeString(TCOptionNone), "00:00:00:00");
}

TEST_F(MediaFileTest, BestTimeScaleAndDuration) {
    EXPECT_EQ(file->bestTimeScale(), 600);
    addAudio();
    EXPECT_EQ(file->bestTimeScale(), 48000);
    EXPECT_EQ(file->duration(), CMTimeMake(10, 1));
    addVideo(25.0, 50);  // a shorter video decides the duration
    EXPECT_EQ(file->duration(), CMTimeMake(2, 1));
    EXPECT_EQ(file->bestTimeScale(), 25);
}

TEST_F(MediaFileTest, NamesTextsAndBaseAnalysis) {
    EXPECT_EQ(file->name(), "A001C002.mov");
    file->setName("Interview");
    EXPECT_EQ(file->name(), "Interview");
    EXPECT_EQ(std::make_shared<MediaFile>("")->name(), "unnamed file");
    file->setFileContainerType(MediaFileContainerBWF);
    EXPECT_EQ(file->fileContainerString(), "WAVE (BWF)");
    file->setFileContainerType(12);
    EXPECT_EQ(file->fileContainerString(), "unkown");
    const uint8_t field[] = {'Z', 'O', 'O', 'M', 0, 'x', 0xe9};
    EXPECT_EQ(MediaFile::cStringConvert(field, sizeof field), "ZOOM");
    const uint8_t latin1[] = {'C', 'a', 'f', 0xe9};
    EXPECT_EQ(MediaFile::cStringConvert(latin1, sizeof latin1), "Caf\xc3\xa9");
    EXPECT_EQ(MediaFile::cStringConvert(field + 5, 2), "x\xc3\xa9");
    const uint8_t utf8[] = {'C', 'a', 'f', 0xc3, 0xa9};
    EXPECT_EQ(MediaFile::cStringConvert(utf8, sizeof utf8), "Caf\xc3\xa9");
    file->setMetaDataValue(kNote, "");
    EXPECT_EQ(file->note(), std::nullopt);

    test::ScratchFolder folder;
    test::writeFile(folder / "a.wav", std::string(1234, 'x'));
    auto onDisk = std::make_shared<MediaFile>(folder / "a.wav");
    onDisk->analyzeWithOptions({});
    EXPECT_EQ(onDisk->filesize(), 1234u);
    EXPECT_EQ(onDisk->fileUTI(), "com.microsoft.waveform-audio");
    EXPECT_NE(onDisk->fileTypeDescription(), "unkown");
    EXPECT_TRUE(onDisk->metaDataValue(kFileCreationDate)->date());
    auto missing = std::make_shared<MediaFile>(folder / "gone.wav");
    missing->analyzeWithOptions({});
    EXPECT_EQ(missing->filesize(), 0u);
    EXPECT_EQ(missing->fileUTI(), "");
    EXPECT_EQ(missing->fileTypeDescription(), "unkown");
    EXPECT_FALSE(missing->creationDate());
}

TEST_F(MediaFileTest, InformationText) {
    addVideo()->setFourCC(fourCC("avc1"));
    file->firstVideoTrack()->metaData()[kVideoH264Profile] = MetadataValue(int64_t(0x164));
    addAudio();
    file->addTimecodeTrackWithTCHelper(timecodeAt("10:00:00:00", TCTypeFile));
    file->addTimecodeTrackWithTCHelper(timecodeAt("10:00:02:05", TCTypeAudio));
    file->setMetaDataValue(kScene, "12A");
    file->setMetaDataValue(kSoftware, "Camera 2.0");
    // The facts of every part, the offset between the two timecodes worked out.
    const std::string brief = file->metaDescription(0);
    for (const char* part : {"File = A001C002.mov\n", "H264 Profile = 100\n",
                             "Offset FileTC/AudioTC: TC:0 00:00:02:05", "Scene = 12A\n"})
        EXPECT_NE(brief.find(part), std::string::npos) << part;
    EXPECT_EQ(brief.find("sourceURL = "), std::string::npos);
    const std::string detailed = file->metaDescription(1);
    EXPECT_NE(detailed.find("sourceURL = /media/A001C002.mov\n"), std::string::npos);
}

}  // namespace
}  // namespace vorlane
