#include <gtest/gtest.h>

#include "formats/asset/MediaTools.h"
#include "formats/dng/EXIFExtractor.h"
#include "media/MediaFile.h"
#include "platform/DateFields.h"
#include "support/TestSupport.h"

namespace vorlane {
namespace {

namespace fs = std::filesystem;

std::span<const uint8_t> bytesOf(const std::string& text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// The APP1 segment of a JPEG (marker, length and payload).
std::string app1Segment(const std::string& jpeg) {
    const size_t marker = jpeg.find("\xFF\xE1");
    if (marker == std::string::npos || marker + 4 > jpeg.size()) return {};
    const size_t length = size_t(uint8_t(jpeg[marker + 2])) << 8 | uint8_t(jpeg[marker + 3]);
    return jpeg.substr(marker, length + 2);
}

std::optional<MetadataDate> exifDate(const std::string& text) {
    return EXIFExtractor::dateWithExifText(text);
}

TEST(EXIFExtractorTest, AJPEGTaggedByExiftoolNamesCameraSerialAndDateInEveryForm) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    VORLANE_REQUIRE_TOOL("exiftool");
    test::ScratchFolder folder;
    const fs::path jpeg = folder / "thumb.jpg";
    test::runTool({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "color=red:s=32x32", "-frames:v",
                   "1", jpeg.string()});
    auto plain = std::make_shared<MediaFile>(jpeg);
    EXPECT_FALSE(EXIFExtractor::extractorWithURL(jpeg, *plain));
    test::runTool({"exiftool", "-q", "-overwrite_original", "-Make=Canon", "-Model=Canon EOS C70",
                   "-DateTimeOriginal=2024:05:17 10:11:12", "-ModifyDate=2023:01:01 00:00:00",
                   "-SerialNumber=123456789012", "-LensSerialNumber=0000000000", jpeg.string()});
    const std::string bytes = test::readFile(jpeg);
    const auto facts = test::exiftoolFacts(jpeg, false);

    for (int form = 0; form < 3; ++form) {
        SCOPED_TRACE(form);
        auto file = std::make_shared<MediaFile>(jpeg);
        std::unique_ptr<EXIFExtractor> extractor =
            form == 0   ? EXIFExtractor::extractorWithURL(jpeg, *file)
            : form == 1 ? EXIFExtractor::extractorWithData(bytesOf(bytes), *file)
                        : EXIFExtractor::extractorWithExifData(bytesOf(app1Segment(bytes)), *file);
        ASSERT_TRUE(extractor);
        EXPECT_TRUE(file->metaDataValue(kExifData)->dictionary());
        EXPECT_EQ(extractor->stringValueOfKeyPath("{TIFF}.Make"), facts["IFD0:Make"]);
        extractor->extractDeviceInfo();
        extractor->extractCreationDate();
        EXPECT_EQ(file->modelname(), facts["IFD0:Model"]);
        // exiftool prints the serial as a number.
        EXPECT_EQ(file->serialnumber(), facts["ExifIFD:SerialNumber"].dump());
        // A serial of one repeated character is no serial.
        EXPECT_FALSE(file->metaDataValue(kLensSerialNumber));
        EXPECT_EQ(*file->metaDataValue(kOriginalCreationDate)->date(),
                  exifDate(facts["ExifIFD:DateTimeOriginal"]));
    }
}

TEST(EXIFExtractorTest, TheRealDNGHeaderGivesMakeModelAndDatesAsExiftool) {
    VORLANE_REQUIRE_TESTDATA(testdata);
    VORLANE_REQUIRE_TOOL("exiftool");
    const fs::path path = testdata / "headers" / "exiftool_DNG.dng";
    const auto facts = test::exiftoolFacts(path, false);
    auto file = std::make_shared<MediaFile>(path);
    auto extractor = EXIFExtractor::extractorWithURL(path, *file);
    ASSERT_TRUE(extractor);
    EXPECT_EQ(extractor->stringValueOfKeyPath("{TIFF}.Make"), facts["IFD0:Make"]);
    EXPECT_EQ(extractor->stringValueOfKeyPath("{TIFF}.DateTime"), facts["IFD0:ModifyDate"]);
    extractor->extractDeviceInfo();
    extractor->extractCreationDate();
    EXPECT_EQ(file->modelname(), facts["IFD0:Model"]);
    EXPECT_EQ(*file->metaDataValue(kOriginalCreationDate)->date(),
              exifDate(facts["ExifIFD:DateTimeOriginal"]));
    EXPECT_EQ(exifDate("2005:08:03 18:59:18"), (DateFields{2005, 8, 3, 18, 59, 18}.localDate()));
    EXPECT_FALSE(exifDate("2005-08-03 18:59:18"));
    EXPECT_FALSE(exifDate("2005:13:03 18:59:18"));
}

}  // namespace
}  // namespace vorlane
