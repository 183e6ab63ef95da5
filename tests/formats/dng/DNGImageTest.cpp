#include <gtest/gtest.h>

#include "formats/asset/MediaTools.h"
#include "formats/dng/DNGImage.h"
#include "formats/dng/RawClipFiles.h"
#include "support/TestSupport.h"

namespace vorlane {
namespace {

namespace fs = std::filesystem;

std::string le16(uint16_t v) {
    return {char(v), char(v >> 8)};
}
std::string le32(uint32_t v) {
    return le16(uint16_t(v)) + le16(uint16_t(v >> 16));
}

// A little-endian TIFF whose first IFD (at offset 8) holds the entries; `tail` follows the IFD.
struct Entry {
    uint16_t tag, type;
    uint32_t count, value;
};
std::string tiffBytes(const std::vector<Entry>& entries, const std::string& tail = "") {
    std::string bytes = "II*" + std::string(1, '\0') + le32(8) + le16(uint16_t(entries.size()));
    for (const Entry& e : entries)
        bytes += le16(e.tag) + le16(e.type) + le32(e.count) + le32(e.value);
    return bytes + le32(0) + tail;
}

std::unique_ptr<DNGImage> readBytes(const std::string& bytes) {
    auto image =
        DNGImage::initWithData({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
    image->readMetadata();
    return image;
}

std::string text(const DNGImage& image, const std::string& key) {
    const DNGTagValue* value = image.valueForKey(key);
    return value && value->textValue() ? *value->textValue() : "(none)";
}

TEST(DNGImageTest, ARealDNGHeaderGivesTheTagsExiftoolReports) {
    VORLANE_REQUIRE_TESTDATA(testdata);
    VORLANE_REQUIRE_TOOL("exiftool");
    const fs::path path = testdata / "headers" / "exiftool_DNG.dng";
    const auto facts = test::exiftoolFacts(path, false);
    auto image = DNGImage::initWithURL(path);
    ASSERT_TRUE(image);
    ASSERT_TRUE(image->readMetadata());
    EXPECT_TRUE(image->isBigEndian());
    EXPECT_EQ(facts["File:ExifByteOrder"], "Big-endian (Motorola, MM)");
    EXPECT_EQ(text(*image, "Make"), facts["IFD0:Make"]);
    EXPECT_EQ(text(*image, "Model"), facts["IFD0:Model"]);
    EXPECT_EQ(text(*image, "MakeTime"), facts["IFD0:ModifyDate"]);
    EXPECT_EQ(text(*image, "UniqueCameraModel"), facts["IFD0:UniqueCameraModel"]);
    EXPECT_EQ(text(*image, "CameraSerialNumber"), facts["IFD0:CameraSerialNumber"]);
    EXPECT_EQ(image->dngVersion(), facts["IFD0:DNGVersion"]);
    // Three sub-IFDs are listed, so none is followed: the size is the first IFD's.
    ASSERT_TRUE(image->valueForKey("SubIFDs")->listValue());
    EXPECT_EQ(image->valueForKey("ImageWidth")->integerValue(), facts["IFD0:ImageWidth"]);
    EXPECT_FALSE(image->isCinemaDNG());
    EXPECT_LT(image->bytesRead(), 2048u);
}

TEST(DNGImageTest, TheTagsOfALibtiffFrameAndItsSubIFD) {
    test::ScratchFolder folder;
    test::DNGFrame frame;
    frame.timecode = mediagen::Timecode{23, 59, 30, 5};
    frame.frameRate = 25.0;
    frame.cropSize = std::pair{60.f, 30.f};
    test::writeDNGFrame(folder / "f.dng", frame);
    auto image = DNGImage::initWithURL(folder / "f.dng");
    ASSERT_TRUE(image && image->readMetadata());
    EXPECT_FALSE(image->isBigEndian());
    EXPECT_TRUE(image->isCinemaDNG());
    EXPECT_TRUE(DNGImage::isCinemaDNGImageAtURL(folder / "f.dng"));
    EXPECT_EQ(text(*image, "UniqueCameraModel"), "Pocket Cinema Camera");
    EXPECT_EQ(image->valueForKey("BitDepth")->integerValue(), 16);
    EXPECT_EQ(image->valueForKey("FrameRate")->doubleValue(), 25.0);
    const auto* crop = image->valueForKey("DefaultCropZone")->listValue();
    ASSERT_TRUE(crop && crop->size() == 2);
    EXPECT_EQ(DNGTagValue::doubleOfNumber((*crop)[0]), 60.0);
    const auto* address = image->valueForKey("Timecode")->listValue();
    ASSERT_TRUE(address && address->size() == 8);
    EXPECT_EQ(DNGTagValue::integerOfNumber((*address)[0]), 0x05);
    EXPECT_EQ(DNGTagValue::integerOfNumber((*address)[3]), 0x23);

    // A single sub-IFD is read into the same directory; its values win.
    const std::string sub = tiffBytes({{256, 3, 1, 4000}, {330, 4, 1, 8}});
    EXPECT_EQ(readBytes(sub)->valueForKey("ImageWidth")->integerValue(), 4000);
    const uint32_t subOffset = 8 + 2 + 2 * 12 + 4;
    const std::string followed =
        tiffBytes({{256, 3, 1, 16}, {330, 4, 1, subOffset}},
                  le16(1) + le16(256) + le16(3) + le32(1) + le32(5120) + le32(0));
    EXPECT_EQ(readBytes(followed)->valueForKey("ImageWidth")->integerValue(), 5120);
}

TEST(DNGImageTest, DamagedFilesEndTheirReadingCleanly) {
    // An IFD that names itself as its sub-IFD is read once.
    auto loop = readBytes(tiffBytes({{256, 3, 1, 64}, {330, 4, 1, 8}}));
    EXPECT_EQ(loop->valueForKey("ImageWidth")->integerValue(), 64);
    // A value past the end of the file is left out; the others stay.
    auto past = readBytes(tiffBytes({{271, 2, 20, 100000}, {272, 2, 4, 0x00434241}}));
    EXPECT_FALSE(past->valueForKey("Make"));
    EXPECT_EQ(text(*past, "Model"), "ABC");
    // A count that would need 16 GiB is skipped without reading.
    auto huge = readBytes(tiffBytes({{273, 4, 0xFFFFFFFF, 8}, {256, 4, 1, 7}}));
    EXPECT_FALSE(huge->valueForKey("StripOffsets"));
    EXPECT_EQ(huge->valueForKey("ImageWidth")->integerValue(), 7);
    EXPECT_LT(huge->bytesRead(), 100u);
    // Not TIFF, or an IFD past the end.
    EXPECT_FALSE(DNGImage::initWithData({})->readMetadata());
    EXPECT_FALSE(readBytes(std::string("MM\0*\x7f\0\0\0", 8))->readMetadata());

    // Every prefix of a real frame reads without inventing values.
    test::ScratchFolder folder;
    test::DNGFrame frame;
    frame.timecode = mediagen::Timecode{1, 0, 0, 0};
    frame.frameRate = 24.0;
    frame.width = 4;
    frame.height = 2;
    test::writeDNGFrame(folder / "f.dng", frame);
    const std::string whole = test::readFile(folder / "f.dng");
    const auto complete = readBytes(whole);
    for (size_t length = 0; length < whole.size(); ++length) {
        const auto cut = readBytes(whole.substr(0, length));
        EXPECT_LE(cut->bytesRead(), complete->bytesRead());
        for (const auto& [name, value] : cut->imageFileDirectory()) {
            ASSERT_TRUE(complete->valueForKey(name)) << name;
            EXPECT_EQ(value.description(), complete->valueForKey(name)->description())
                << name << " at length " << length;
        }
    }
}

}  // namespace
}  // namespace vorlane
