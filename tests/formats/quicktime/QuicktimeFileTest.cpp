// The QuickTime reader's camera metadata on movies made by ffmpeg (with metadata of their own,
// and with camera atoms and documents added the way cameras write them), checked against
// exiftool where it reads the same items.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "formats/asset/MediaTools.h"
#include "formats/camera_xml/CameraXMLDocuments.h"
#include "formats/quicktime/AtomBytes.h"
#include "formats/quicktime/QuicktimeFile.h"
#include "media/MediaTrack.h"
#include "media/MediaTypes.h"
#include "mediagen/MovieWriter.h"
#include "platform/DateFields.h"
#include "support/TestSupport.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

namespace fs = std::filesystem;
using mediagen::MovieContainer;
using mediagen::MovieOptions;
using mediagen::Rate;
using test::atom;
using test::be32;

std::shared_ptr<QuicktimeFile> analyzed(const fs::path& path) {
    auto file = std::make_shared<QuicktimeFile>(path);
    file->analyzeWithOptions({});
    file->setAnalyzingFinished();
    return file;
}

fs::path movie(const fs::path& path, MovieContainer container, Rate rate = Rate::fps25(),
               mediagen::MetadataItems metadata = {}, bool useMetadataTags = false) {
    MovieOptions options;
    options.path = path;
    options.container = container;
    options.rate = rate;
    options.frameCount = 10;
    options.width = 160;
    options.height = 90;
    options.metadata = std::move(metadata);
    options.useMetadataTags = useMetadataTags;
    std::string error;
    EXPECT_TRUE(mediagen::writeMovie(options, &error)) << error;
    return path;
}

// exiftool's "2024:05:17 12:00:02+02:00" (a zone, "Z" or none for UTC).
std::optional<MetadataDate> exiftoolDate(const nlohmann::json& value) {
    if (!value.is_string()) return std::nullopt;
    int year, month, day, hour, minute, second, zoneHours = 0, zoneMinutes = 0, used = 0;
    const std::string text = value;
    if (std::sscanf(text.c_str(), "%d:%d:%d %d:%d:%d%n", &year, &month, &day, &hour, &minute,
                    &second, &used) != 6)
        return std::nullopt;
    int sign = 0;
    if (size_t(used) < text.size() && (text[used] == '+' || text[used] == '-')) {
        sign = text[used] == '+' ? 1 : -1;
        std::sscanf(text.c_str() + used + 1, "%d:%d", &zoneHours, &zoneMinutes);
    }
    using namespace std::chrono;
    return sys_days(std::chrono::year(year) / month / day) + hours(hour) + minutes(minute) +
           seconds(second) - sign * (hours(zoneHours) + minutes(zoneMinutes));
}

std::optional<MetadataDate> originalDate(const MediaFile& file) {
    const auto value = file.metaDataValue(kOriginalCreationDate);
    if (!value || !value->date()) return std::nullopt;
    return *value->date();
}

TEST(QuicktimeFileTest, DeviceAndDateAgreeWithExiftool) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    VORLANE_REQUIRE_TOOL("exiftool");
    test::ScratchFolder folder;
    struct Case {
        const char* name;
        MovieContainer container;
        mediagen::MetadataItems metadata;
        bool useMetadataTags;
        const char* group;  // where exiftool finds the items
        const char* dateTag;
    };
    const Case cases[] = {
        // QuickTime user data (©mak, ©mod, ©day), as ffmpeg and many camcorders write them.
        {"userdata.mov",
         MovieContainer::QuickTime,
         {{"make", "Sony"}, {"model", "ILCE-7SM3"}, {"date", "2024-05-17T12:00:02+0200"}},
         false,
         "UserData",
         "ContentCreateDate"},
        // QuickTime metadata keys of the platform.
        {"keys.mp4",
         MovieContainer::Mpeg4,
         {{"com.apple.quicktime.make", "Apple"},
          {"com.apple.quicktime.model", "iPhone 15 Pro"},
          {"com.apple.quicktime.software", "17.4.1"},
          {"com.apple.quicktime.creationdate", "2024-03-09T14:03:07-0500"}},
         true,
         "Keys",
         "CreationDate"},
        // The short keys ffmpeg writes for its own names.
        {"shortkeys.mov",
         MovieContainer::QuickTime,
         {{"make", "Canon"}, {"model", "EOS R5 C"}, {"date", "2023-11-30T23:59:59Z"}},
         true,
         "Keys",
         "DateTimeOriginal"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path path =
            movie(folder / c.name, c.container, Rate::fps25(), c.metadata, c.useMetadataTags);
        const auto facts = test::exiftoolFacts(path, false);
        const auto file = analyzed(path);
        const std::string group = c.group;
        ASSERT_TRUE(facts.contains(group + ":Make")) << facts.dump(1);
        EXPECT_EQ(file->manufacturer(), facts[group + ":Make"].get<std::string>());
        EXPECT_EQ(file->modelname(), facts[group + ":Model"].get<std::string>());
        const auto expected = exiftoolDate(facts[group + ":" + c.dateTag]);
        ASSERT_TRUE(expected);
        EXPECT_EQ(originalDate(*file), expected);
        if (facts.contains("Keys:Software")) {
            EXPECT_EQ(file->software(), facts["Keys:Software"].get<std::string>());
        }
    }
}

TEST(QuicktimeFileTest, ExiftoolTestMovieNamesNoDevice) {
    VORLANE_REQUIRE_TESTDATA(testdata);
    VORLANE_REQUIRE_TOOL("exiftool");
    const fs::path path = testdata / "headers" / "exiftool_QuickTime.mov";
    const auto facts = test::exiftoolFacts(path, false);
    const auto file = analyzed(path);
    // Its only maker is in a Pentax maker note, which this reader does not read; no QuickTime
    // item names a device or a recording date.
    for (const char* tag : {"UserData:Make", "Keys:Make", "UserData:Model", "Keys:Model",
                            "Keys:CreationDate", "UserData:ContentCreateDate"})
        EXPECT_FALSE(facts.contains(tag)) << tag;
    EXPECT_FALSE(file->manufacturer());
    EXPECT_FALSE(file->modelname());
    EXPECT_FALSE(originalDate(*file));
    EXPECT_EQ(file->uniqueDeviceID(), "");
}

// An XAVC S clip: an MPEG-4 file of the brand XAVC with Sony's clip document in a top-level
// `meta` box.
fs::path xavcClip(const fs::path& path, Rate rate, const test::SonyClipFields& fields) {
    movie(path, MovieContainer::Mpeg4, rate);
    test::setMajorBrand(path, "XAVC");
    test::appendToFile(path, test::xmlMetaBox(test::sonyClipDocument(fields)));
    return path;
}

TEST(QuicktimeFileTest, XAVCClipTakesTimecodeAndRateFromItsDocument) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    test::ScratchFolder folder;
    test::SonyClipFields fields;
    fields.tcFps = "30";
    fields.firstChange = R"(<LtcChange frameCount="0" value="55140001" status="increment"/>)";
    const auto file = analyzed(xavcClip(folder / "C0001.MP4", Rate::fps2997(true), fields));

    EXPECT_EQ(file->fileContainerType(), MediaFileContainerMP4);
    EXPECT_EQ(file->manufacturer(), "Sony");
    EXPECT_EQ(file->modelname(), "ILCE-7SM3");
    EXPECT_EQ(file->serialnumber(), "5012345");
    EXPECT_EQ(file->metaDataString(kLensModel), "FE 24-70mm F2.8 GM");
    const auto timecode = file->fileTimecode();
    ASSERT_TRUE(timecode);
    EXPECT_DOUBLE_EQ(timecode->frameRate(), 30000.0 / 1001.0);
    EXPECT_TRUE(timecode->dropFrame());
    EXPECT_EQ(timecode->timecodeString(TCOptionNone), "01:00:14;15");
    EXPECT_DOUBLE_EQ(file->frameRate(), 30000.0 / 1001.0);
    const auto raw = file->metaDataValue(kXMLRawData);
    ASSERT_TRUE(raw && raw->bytes());
    EXPECT_EQ(std::string(raw->bytes()->begin(), raw->bytes()->end()),
              test::sonyClipDocument(fields));

    EXPECT_NE(file->readableFileTimecodeInfo().find("01:00:14;15 DF"), std::string::npos)
        << file->readableFileTimecodeInfo();
}

// The brand of the file type decides at the atom level (QtMetadataReaderTest); here the
// container and the kind of document.
TEST(QuicktimeFileTest, ClipDocumentOnlyInXAVCFiles) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    test::ScratchFolder folder;
    // A QuickTime movie, even of that brand.
    const fs::path quickTime = folder / "xavc.mov";
    movie(quickTime, MovieContainer::QuickTime);
    test::setMajorBrand(quickTime, "XAVC");
    test::appendToFile(quickTime, test::xmlMetaBox(test::sonyClipDocument()));
    auto file = analyzed(quickTime);
    EXPECT_FALSE(file->hasFileTimecode());
    // A document of another kind is kept but gives nothing.
    const fs::path wrongKind = folder / "C0003.MP4";
    movie(wrongKind, MovieContainer::Mpeg4);
    test::setMajorBrand(wrongKind, "XAVC");
    test::appendToFile(wrongKind, test::xmlMetaBox(test::canonClipDocument()));
    file = analyzed(wrongKind);
    EXPECT_TRUE(file->metaDataValue(kXMLRawData));
    EXPECT_FALSE(file->manufacturer());
    EXPECT_FALSE(file->hasFileTimecode());
}

std::string panasonicItem(uint32_t layout, const std::string& model, size_t size) {
    std::string bytes(size, '\0');
    bytes[0] = char(layout);
    bytes.replace(layout == 96 ? 4 : 12, model.size(), model);
    return bytes.substr(0, size);
}

TEST(QuicktimeFileTest, PanasonicItemAndClipDocument) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    test::ScratchFolder folder;
    // A short item of the second layout: maker and model, no picture.
    const fs::path still = folder / "P1000001.MOV";
    movie(still, MovieContainer::QuickTime);
    test::appendToMovieAtom(still, atom("udta", atom("PANA", panasonicItem(1, "DMC-GH4", 21))));
    auto file = analyzed(still);
    EXPECT_EQ(file->manufacturer(), "Panasonic");
    EXPECT_EQ(file->modelname(), "DMC-GH4");

    // A camcorder's MPEG-4 file: the item of the first layout, and the clip document, whose
    // device wins.
    const fs::path clip = folder / "PANA0001.MP4";
    movie(clip, MovieContainer::Mpeg4);
    test::setMajorBrand(clip, "mp42");
    test::appendToMovieAtom(clip, atom("udta", atom("PANA", panasonicItem(96, "HC-X2000", 256))));
    test::appendToFile(clip, test::xmlMetaBox(test::panasonicClipDocument()));
    file = analyzed(clip);
    EXPECT_EQ(file->manufacturer(), "Panasonic");
    EXPECT_EQ(file->modelname(), "AG-CX350");
    EXPECT_EQ(file->metaDataString(kFileUUID),
              "060A2B340101010501010D4313000000A1B2C3D4E5F601234567080045A0B1C2");
    ASSERT_TRUE(file->firstVideoTrack());
    EXPECT_EQ(metadataString(file->firstVideoTrack()->metaData(), kVideoOriginalCodecName),
              "AVC_LongG");
    EXPECT_TRUE(file->metaDataValue(kXMLRawData));
}

TEST(QuicktimeFileTest, GoProFirmwareAndCamera) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    test::ScratchFolder folder;
    const std::string camera("\x8f\x1e\x02\xa4\x00\x11\x22\x33\x44\x55\x66\x77\x88\x99\xaa\xbb",
                             16);
    struct Case {
        const char* firmware;
        std::optional<std::string> maker;
        std::optional<std::string> model;
    };
    const Case cases[] = {
        {"HD4.02.05.00.00", "GoPro", "HERO4 Black"},
        {"HX1.01.01.00.00", "GoPro", "HERO4 Session"},  // no "HD", GoPro's all the same
        {"HD6.01.02.01.00", "GoPro", std::nullopt},     // a model the table does not know
        {"V01.00", std::nullopt, std::nullopt},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.firmware);
        const fs::path path = folder / ("GOPR000" + std::to_string(++index) + ".MP4");
        movie(path, MovieContainer::Mpeg4);
        test::appendToMovieAtom(path,
                                atom("udta", atom("FIRM", c.firmware) + atom("CAME", camera)));
        const auto file = analyzed(path);
        EXPECT_EQ(file->firmware(), c.firmware);
        EXPECT_EQ(file->manufacturer(), c.maker);
        EXPECT_EQ(file->modelname(), c.model);
        if (c.maker) {
            EXPECT_EQ(file->serialnumber(), "<8f1e02a4 00112233 44556677 8899aabb>");
        } else {
            EXPECT_FALSE(file->serialnumber());
        }
    }
}

TEST(QuicktimeFileTest, CanonDSLRItems) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    test::ScratchFolder folder;
    const fs::path path = folder / "MVI_0001.MOV";
    movie(path, MovieContainer::QuickTime);
    test::appendToMovieAtom(path,
                            atom("udta", atom("CNCV", "CanonAVC0002/02.00" + std::string(6, '\0')) +
                                             atom("CNMN", "Canon EOS 5D Mark II") +
                                             atom("CNFV", "Firmware Version 2.0.8")));
    auto file = analyzed(path);
    EXPECT_EQ(file->manufacturer(), "Canon");
    EXPECT_EQ(file->metaDataString(kEncoder), "CanonAVC0002/02.00");
    EXPECT_EQ(file->modelname(), "Canon EOS 5D Mark II");
    EXPECT_EQ(file->firmware(), "Firmware Version 2.0.8");
    EXPECT_EQ(file->deviceName(), "Canon EOS 5D Mark II");

    // An encoder of another maker stops the reading.
    const fs::path other = folder / "other.mov";
    movie(other, MovieContainer::QuickTime);
    test::appendToMovieAtom(
        other, atom("udta", atom("CNCV", "OtherAVC") + atom("CNMN", "Canon EOS 5D Mark II")));
    file = analyzed(other);
    EXPECT_EQ(file->metaDataString(kEncoder), "OtherAVC");
    EXPECT_FALSE(file->manufacturer());
    EXPECT_FALSE(file->modelname());
}

// A small JPEG made by ffmpeg whose EXIF block exiftool writes first, as cameras do (the JFIF
// block is taken out).
std::string exifPicture(const fs::path& folder, const std::string& model,
                        const std::string& serial) {
    const fs::path path = folder / "picture.jpg";
    test::runTool({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "color=blue:s=32x32",
                   "-frames:v", "1", path.string()});
    test::runTool({"exiftool", "-q", "-overwrite_original", "-JFIF:all=", "-Model=" + model,
                   "-SerialNumber=" + serial, "-DateTimeOriginal=2019:06:01 08:30:00",
                   path.string()});
    return test::readFile(path);
}

TEST(QuicktimeFileTest, CanonAndPanasonicPicturesNameTheCameraThroughEXIF) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    VORLANE_REQUIRE_TOOL("exiftool");
    test::ScratchFolder folder;
    const auto recorded = DateFields{2019, 6, 1, 8, 30, 0}.localDate();
    // The thumbnail item's EXIF names the camera before the model item does.
    const fs::path canon = folder / "MVI_0001.MOV";
    movie(canon, MovieContainer::QuickTime);
    const std::string thumbnail = atom("CNDA", exifPicture(folder.path(), "Canon EOS 80D", "0312"));
    test::appendToMovieAtom(canon,
                            atom("udta", atom("CNCV", "CanonAVC0010") + atom("CNTH", thumbnail) +
                                             atom("CNMN", "Canon EOS 5D Mark II")));
    auto file = analyzed(canon);
    EXPECT_EQ(file->modelname(), "Canon EOS 80D");
    EXPECT_EQ(file->serialnumber(), "0312");
    ASSERT_TRUE(file->metaDataValue(kOriginalCreationDate));
    EXPECT_EQ(*file->metaDataValue(kOriginalCreationDate)->date(), recorded);
    EXPECT_TRUE(file->metaDataValue(kExifData));

    // Without the item, the sidecar picture of the clip.
    const fs::path sidecar = folder / "MVI_0002.MOV";
    movie(sidecar, MovieContainer::QuickTime);
    test::appendToMovieAtom(sidecar, atom("udta", atom("CNCV", "CanonAVC0010")));
    test::writeFile(folder / "MVI_0002.THM", exifPicture(folder.path(), "Canon EOS 7D", "0007"));
    EXPECT_EQ(analyzed(sidecar)->modelname(), "Canon EOS 7D");

    // A Panasonic item of the first layout holds the picture at 16,488.
    const fs::path panasonic = folder / "P1000002.MOV";
    movie(panasonic, MovieContainer::QuickTime);
    const std::string item =
        panasonicItem(96, "DMC-GH4", 16488) + exifPicture(folder.path(), "DC-GH5", "WX1234");
    test::appendToMovieAtom(panasonic, atom("udta", atom("PANA", item)));
    file = analyzed(panasonic);
    EXPECT_EQ(file->manufacturer(), "Panasonic");
    EXPECT_EQ(file->modelname(), "DC-GH5");
    EXPECT_EQ(file->serialnumber(), "WX1234");
    ASSERT_TRUE(file->metaDataValue(kOriginalCreationDate));
    EXPECT_EQ(*file->metaDataValue(kOriginalCreationDate)->date(), recorded);
}

// ARRI's keys (a date from two items, the device ID); Apple's professional keys win over the
// MXF identification ffmpeg copies, and the MXF creation time is read.
TEST(QuicktimeFileTest, CameraMetadataKeys) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    test::ScratchFolder folder;
    const fs::path arri = movie(folder / "A001C001.mov", MovieContainer::QuickTime, Rate::fps25(),
                                {{"com.arri.camera.CameraModel", "ALEXA Mini"},
                                 {"com.arri.camera.CameraSerialNumber", "21745"},
                                 {"com.arri.camera.UserDate", "20240517"},
                                 {"com.arri.camera.UserTime", "14:03:07"},
                                 {"com.arri.camera.ReelName", "A001R2AB"},
                                 {"com.apple.proapps.reel", "OTHER"}},
                                true);
    auto file = analyzed(arri);
    EXPECT_EQ(file->manufacturer(), "ARRI");
    EXPECT_EQ(file->reel(), "A001R2AB");
    EXPECT_EQ(originalDate(*file), (DateFields{2024, 5, 17, 14, 3, 7}.localDate()));
    EXPECT_EQ(file->uniqueDeviceID(), "ARRIALEXAMINI21745");

    const fs::path others =
        movie(folder / "B001.mov", MovieContainer::QuickTime, Rate::fps25(),
              {{"org.smpte.mxf.identification.applicationsuppliername", "Sony"},
               {"org.smpte.mxf.identification.applicationname", "PXW-FS7"},
               {"org.smpte.mxf.package.material.creationtime", "2022-01-02 03:04:05 +0000"},
               {"com.apple.proapps.manufacturer", "Sony"},
               {"com.apple.proapps.modelname", "PXW-FS7M2"},
               {"com.apple.proapps.serialno", "0012345"}},
              true);
    file = analyzed(others);
    EXPECT_EQ(file->modelname(), "PXW-FS7M2");
    EXPECT_EQ(file->serialnumber(), "0012345");
    using namespace std::chrono;
    EXPECT_EQ(originalDate(*file), sys_days(2022y / 1 / 2) + 3h + 4min + 5s);
}

// A 4 GiB XAVC S clip whose media data is a hole in a sparse file: the clip's metadata and
// timecode come from a few headers and the metadata atoms.
TEST(QuicktimeFileTest, FourGigabyteClip) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    test::ScratchFolder folder;
    const fs::path small = xavcClip(folder / "small.mp4", Rate::fps25(), {});
    const std::string bytes = test::readFile(small);
    // ffmpeg writes ftyp, an 8-byte free atom that a 64-bit media size replaces, mdat, moov.
    const size_t freeAt = 32;
    ASSERT_EQ(bytes.compare(freeAt + 4, 4, "free"), 0);
    ASSERT_EQ(bytes.compare(freeAt + 12, 4, "mdat"), 0);
    const auto* sizeBytes = reinterpret_cast<const uint8_t*>(bytes.data() + freeAt + 8);
    const uint32_t mediaSize =
        uint32_t(sizeBytes[0]) << 24 | sizeBytes[1] << 16 | sizeBytes[2] << 8 | sizeBytes[3];
    const uint64_t bigMedia = (4ull << 30) + 8;
    const std::string head = bytes.substr(0, freeAt) + be32(1) + "mdat" + test::be64(bigMedia) +
                             bytes.substr(freeAt + 16, mediaSize - 8);
    const std::string tail = bytes.substr(freeAt + 8 + mediaSize);
    const fs::path big = folder / "C0001.MP4";
    {
        const int fd = ::open(big.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, head.data(), head.size(), 0), ssize_t(head.size()));
        const off_t tailAt = off_t(freeAt + bigMedia);
        ASSERT_EQ(::pwrite(fd, tail.data(), tail.size(), tailAt), ssize_t(tail.size()));
        ::close(fd);
    }
    ASSERT_GT(fs::file_size(big), 4ull << 30);
    const auto started = std::chrono::steady_clock::now();
    const auto file = analyzed(big);
    const auto elapsed = std::chrono::steady_clock::now() - started;
    EXPECT_LT(elapsed, std::chrono::seconds(20));
    EXPECT_TRUE(file->hasVideo());
    EXPECT_EQ(file->modelname(), "ILCE-7SM3");
    ASSERT_TRUE(file->fileTimecode());
    EXPECT_EQ(file->fileTimecode()->timecodeString(TCOptionNone), "01:00:14:15");
    EXPECT_EQ(file->filesize(), fs::file_size(big));
}

}  // namespace
}  // namespace vorlane
