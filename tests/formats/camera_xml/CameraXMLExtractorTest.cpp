#include <gtest/gtest.h>

#include <chrono>

#include "formats/camera_xml/CameraXMLDocuments.h"
#include "formats/camera_xml/CanonXMLExtractor.h"
#include "formats/camera_xml/PanaXMLExtractor.h"
#include "formats/camera_xml/SonyXMLExtractor.h"
#include "media/MediaFile.h"
#include "media/MediaTrack.h"
#include "media/MediaTypes.h"
#include "support/TestSupport.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

namespace fs = std::filesystem;

std::span<const uint8_t> bytesOf(const std::string& text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

std::shared_ptr<MediaFile> clipFile(const fs::path& path = "/card/XDROOT/Clip/C0001.MXF",
                                    double videoRate = 0.0) {
    auto file = std::make_shared<MediaFile>(path);
    if (videoRate > 0.0)
        file->addTrackWithMediaType(MediaTrackTypeVideo, 1)->setVideoFrameRate(videoRate);
    return file;
}

MetadataDate utc(int year, int month, int day, int hour, int minute, int second) {
    using namespace std::chrono;
    return sys_days(std::chrono::year(year) / month / day) + hours(hour) + minutes(minute) +
           seconds(second);
}

// The timecode a Sony clip document gives a file whose video runs at `videoRate` (0: no video).
std::shared_ptr<TCHelper> sonyTimecode(const test::SonyClipFields& fields, double videoRate = 0.0) {
    auto file = clipFile("/card/C0001.MP4", videoRate);
    auto extractor =
        SonyXMLExtractor::extractorWithData(bytesOf(test::sonyClipDocument(fields)), *file);
    if (!extractor) return nullptr;
    extractor->extractTimecodeAndVideoRate();
    return file->fileTimecode();
}

std::string change(const std::string& value) {
    return R"(<LtcChange frameCount="0" value=")" + value + R"(" status="increment"/>)";
}

// Device and lens of whole clips: QuicktimeFileTest.XAVCClipTakesTimecodeAndRateFromItsDocument.
TEST(SonyXMLExtractorTest, ClipDocumentGivesDeviceAndDate) {
    auto file = clipFile();
    auto extractor = SonyXMLExtractor::extractorWithData(bytesOf(test::sonyClipDocument()), *file);
    ASSERT_TRUE(extractor);
    EXPECT_TRUE(extractor->isProfessionalDiscMeta());
    EXPECT_FALSE(extractor->isMediaProfileMeta());
    extractor->extractDeviceInfo();
    extractor->extractCreationDate();
    const auto date = file->metaDataValue(kOriginalCreationDate);
    ASSERT_TRUE(date && date->date());
    EXPECT_EQ(*date->date(), utc(2023, 5, 14, 1, 11, 12));
    EXPECT_EQ(file->uniqueDeviceID(), "SONYILCE-7SM35012345");
}

TEST(SonyXMLExtractorTest, MissingOrBrokenFieldsWriteNothing) {
    test::SonyClipFields fields;
    fields.device = R"(<Device manufacturer="  " modelName="FX3"/>)";
    fields.creationDate = "14.05.2023";
    auto file = clipFile();
    auto extractor =
        SonyXMLExtractor::extractorWithData(bytesOf(test::sonyClipDocument(fields)), *file);
    ASSERT_TRUE(extractor);
    extractor->extractDeviceInfo();
    extractor->extractCreationDate();
    EXPECT_FALSE(file->manufacturer());
    EXPECT_EQ(file->modelname(), "FX3");
    EXPECT_FALSE(file->serialnumber());
    EXPECT_FALSE(file->metaDataValue(kOriginalCreationDate));

    EXPECT_FALSE(SonyXMLExtractor::extractorWithData(bytesOf("<<<"), *file));
    auto other = SonyXMLExtractor::extractorWithData(
        bytesOf(R"(<NonRealTimeMeta xmlns="urn:other"/>)"), *file);
    ASSERT_TRUE(other);
    EXPECT_FALSE(other->isProfessionalDiscMeta());
}

TEST(SonyXMLExtractorTest, StartTimecodeFromTheChangeAtTheFirstFrame) {
    const auto timecode = sonyTimecode({});
    ASSERT_TRUE(timecode);
    EXPECT_EQ(timecode->timecodeString(TCOptionNone), "01:00:14:15");
    EXPECT_EQ(timecode->frameRate(), 25.0);
    EXPECT_FALSE(timecode->dropFrame());

    test::SonyClipFields halfStep;
    halfStep.halfStep = "true";
    const auto doubled = sonyTimecode(halfStep);
    ASSERT_TRUE(doubled);
    EXPECT_EQ(doubled->frameRate(), 50.0);
    EXPECT_EQ(doubled->timecodeString(TCOptionNone), "01:00:14:30");
}

TEST(SonyXMLExtractorTest, TimecodeNeedsAChangeAtTheFirstFrame) {
    test::SonyClipFields later;
    later.firstChange = R"(<LtcChange frameCount="12" value="00000001" status="increment"/>)";
    EXPECT_FALSE(sonyTimecode(later));

    test::SonyClipFields noTable;
    auto file = clipFile();
    auto extractor = SonyXMLExtractor::extractorWithData(
        bytesOf(R"(<NonRealTimeMeta xmlns="urn:schemas-professionalDisc:nonRealTimeMeta"/>)"),
        *file);
    ASSERT_TRUE(extractor);
    extractor->extractTimecodeAndVideoRate();
    EXPECT_FALSE(file->hasTimecode());

    // A value that is no hexadecimal number counts as zero.
    test::SonyClipFields garbage;
    garbage.firstChange = change("zz");
    const auto zero = sonyTimecode(garbage);
    ASSERT_TRUE(zero);
    EXPECT_EQ(zero->frameCount(), 0);
    // Fields that are no decimal digits give none.
    garbage.firstChange = change("5A140001");
    EXPECT_FALSE(sonyTimecode(garbage));
}

// The table's rate is a whole number; the clip's video and the drop-frame flag of the frames
// byte (0x40) give the exact rate.
TEST(SonyXMLExtractorTest, NTSCRateAndDropFrameFromTheVideoAndTheFlag) {
    const double ntsc30 = 30000.0 / 1001.0;
    test::SonyClipFields dropFrame;
    dropFrame.tcFps = "30";
    dropFrame.firstChange = change("55140001");  // frames byte 0x55: flag 0x40, frames 15
    auto timecode = sonyTimecode(dropFrame, ntsc30);
    ASSERT_TRUE(timecode);
    EXPECT_DOUBLE_EQ(timecode->frameRate(), ntsc30);
    EXPECT_TRUE(timecode->dropFrame());
    EXPECT_EQ(timecode->timecodeString(TCOptionNone), "01:00:14;15");
    // Counted as a 29.97 drop-frame recorder counts: 108,435 labels less 108 dropped.
    EXPECT_EQ(timecode->frameCount(), 108327);

    // The flag alone, without a video track, also means 29.97 drop frame.
    timecode = sonyTimecode(dropFrame);
    ASSERT_TRUE(timecode);
    EXPECT_DOUBLE_EQ(timecode->frameRate(), ntsc30);
    EXPECT_TRUE(timecode->dropFrame());

    test::SonyClipFields nonDrop;
    nonDrop.tcFps = "30";
    nonDrop.firstChange = change("15140001");
    timecode = sonyTimecode(nonDrop, 29.97);
    ASSERT_TRUE(timecode);
    EXPECT_DOUBLE_EQ(timecode->frameRate(), ntsc30);
    EXPECT_FALSE(timecode->dropFrame());
    // 108,435 frames of 1001/30000 s: 3,618.1 s, where a 30 fps count would say 3,614.5 s.
    EXPECT_EQ(timecode->time(), CMTimeMake(108435 * 1001, 30000));
    timecode = sonyTimecode(nonDrop, 30.0);
    ASSERT_TRUE(timecode);
    EXPECT_EQ(timecode->frameRate(), 30.0);
    // Video at a rate the table does not name leaves the table's rate.
    timecode = sonyTimecode(nonDrop, 25.0);
    ASSERT_TRUE(timecode);
    EXPECT_EQ(timecode->frameRate(), 30.0);

    test::SonyClipFields film;
    film.tcFps = "24";
    timecode = sonyTimecode(film, 23.976);
    ASSERT_TRUE(timecode);
    EXPECT_DOUBLE_EQ(timecode->frameRate(), 24000.0 / 1001.0);
    EXPECT_FALSE(timecode->dropFrame());  // no drop frame at 23.976, flag or not

    test::SonyClipFields high;
    high.tcFps = "30";
    high.halfStep = "true";
    high.firstChange = change("55140001");
    timecode = sonyTimecode(high, 60000.0 / 1001.0);
    ASSERT_TRUE(timecode);
    EXPECT_DOUBLE_EQ(timecode->frameRate(), 60000.0 / 1001.0);
    EXPECT_TRUE(timecode->dropFrame());
    EXPECT_EQ(timecode->timecodeString(TCOptionNone), "01:00:14;30");
}

TEST(SonyXMLExtractorTest, CompanionFilesOfAClip) {
    auto file = clipFile("/card/XDROOT/Clip/C0001.MXF");
    EXPECT_EQ(SonyXMLExtractor::clipXMLURLForMediaFile(*file), "/card/XDROOT/Clip/C0001M01.XML");
    EXPECT_EQ(SonyXMLExtractor::mediaProXMLURLForMediaFile(*file), "/card/XDROOT/MEDIAPRO.XML");
    file->setMetaDataValue(kXMLMetaDataURL, "/elsewhere/meta.xml");
    EXPECT_EQ(SonyXMLExtractor::clipXMLURLForMediaFile(*file), "/elsewhere/meta.xml");

    auto second = clipFile("/card/XDROOT/Clip/C0002.MXF");
    auto index =
        SonyXMLExtractor::extractorWithData(bytesOf(test::sonyMediaProfileDocument()), *second);
    ASSERT_TRUE(index);
    EXPECT_TRUE(index->isMediaProfileMeta());
    EXPECT_FALSE(index->isProfessionalDiscMeta());
    index->extractRelevantURLs();
    EXPECT_EQ(second->metaDataString(kProxyURL), "/card/XDROOT/Sub/C0002S03.MXF");
    EXPECT_EQ(second->metaDataString(kOriginalThumbnailURL), "/card/XDROOT/Thmbnl/C0002T01.JPG");
    EXPECT_EQ(second->metaDataString(kXMLMetaDataURL), "/card/XDROOT/Clip/C0002M01.XML");

    auto unknown = clipFile("/card/XDROOT/Clip/C0009.MXF");
    auto none =
        SonyXMLExtractor::extractorWithData(bytesOf(test::sonyMediaProfileDocument()), *unknown);
    ASSERT_TRUE(none);
    none->extractRelevantURLs();
    EXPECT_FALSE(unknown->metaDataValue(kProxyURL));
    EXPECT_FALSE(unknown->metaDataValue(kXMLMetaDataURL));
}

TEST(CanonXMLExtractorTest, DeviceOfTheClipDocument) {
    auto file = clipFile("/card/CONTENTS/CLIPS001/A001C001_170512AB_CANON.MXF");
    auto extractor =
        CanonXMLExtractor::extractorWithData(bytesOf(test::canonClipDocument()), *file);
    ASSERT_TRUE(extractor);
    EXPECT_TRUE(extractor->isVideoClipMeta());
    extractor->extractDeviceInfo();
    EXPECT_EQ(file->manufacturer(), "Canon");
    EXPECT_EQ(file->modelname(), "EOS C300 Mark II");
    EXPECT_EQ(file->serialnumber(), "123456789012");
    EXPECT_EQ(file->firmware(), "1.0.9.1.00");
    EXPECT_EQ(file->metaDataString(kLensModel), "CN-E24-105mm T4.4 L IS KAS S");

    auto blank = clipFile();
    auto spaces =
        CanonXMLExtractor::extractorWithData(bytesOf(test::canonClipDocument("   ")), *blank);
    ASSERT_TRUE(spaces);
    spaces->extractDeviceInfo();
    EXPECT_FALSE(blank->manufacturer());
    EXPECT_EQ(blank->modelname(), "EOS C300 Mark II");

    auto sony = CanonXMLExtractor::extractorWithData(bytesOf(test::sonyClipDocument()), *blank);
    ASSERT_TRUE(sony);
    EXPECT_FALSE(sony->isVideoClipMeta());
}

TEST(CanonXMLExtractorTest, ClipDocumentNamedByModel) {
    auto file = clipFile("/card/CONTENTS/CLIPS001/AA0012_01.MXF");
    EXPECT_FALSE(CanonXMLExtractor::xmlURLForMediaFile(*file));
    file->setMetaDataValue(kModel, "EOS C300");
    EXPECT_EQ(CanonXMLExtractor::xmlURLForMediaFile(*file), "/card/CONTENTS/CLIPS001/AA0012.XML");
    file->setMetaDataValue(kModel, "EOS C300 Mark II");
    EXPECT_EQ(CanonXMLExtractor::xmlURLForMediaFile(*file),
              "/card/CONTENTS/CLIPS001/AA0012_01.XML");
    file->setMetaDataValue(kModel, "EOS C500");
    EXPECT_FALSE(CanonXMLExtractor::xmlURLForMediaFile(*file));
}

// The device, identifier and codec of a whole clip: QuicktimeFileTest.PanasonicItemAndClipDocument.
TEST(PanaXMLExtractorTest, ClipWithoutVideoAndOtherDocuments) {
    // Without a video track the codec has nowhere to go.
    auto audioOnly = clipFile();
    auto again =
        PanaXMLExtractor::extractorWithData(bytesOf(test::panasonicClipDocument()), *audioOnly);
    ASSERT_TRUE(again);
    again->parseClipInfo();
    EXPECT_TRUE(audioOnly->metaDataString(kFileUUID));

    auto canon =
        PanaXMLExtractor::extractorWithData(bytesOf(test::canonClipDocument()), *audioOnly);
    ASSERT_TRUE(canon);
    EXPECT_FALSE(canon->isSemiProClipMeta());
}

}  // namespace
}  // namespace vorlane
