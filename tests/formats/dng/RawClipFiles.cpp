#include "formats/dng/RawClipFiles.h"

#include <gtest/gtest.h>
#include <tiffio.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "formats/quicktime/AtomBytes.h"
#include "support/Sndfile.h"
#include "support/TestSupport.h"
#include "support/Words.h"

namespace vorlane::test {
namespace {

constexpr ttag_t kTagTimeCodes = 51043;
constexpr ttag_t kTagFrameRate = 51044;

// The CinemaDNG tags are unknown to libtiff; they are registered for every file it opens.
// EXIF tags that Canon keeps in the main directory of its second TIFF block.
constexpr ttag_t kTagBodySerialNumber = 42033;
constexpr ttag_t kTagLensModel = 42036;

// The CinemaDNG tags and the EXIF texts are unknown to libtiff in a main directory; they are
// registered for every file it opens.
const TIFFFieldInfo kCinemaFields[] = {
    {kTagTimeCodes, -1, -1, TIFF_BYTE, FIELD_CUSTOM, 1, 1, const_cast<char*>("TimeCodes")},
    {kTagFrameRate, 1, 1, TIFF_SRATIONAL, FIELD_CUSTOM, 1, 0, const_cast<char*>("FrameRate")},
    {kTagBodySerialNumber, -1, -1, TIFF_ASCII, FIELD_CUSTOM, 1, 0,
     const_cast<char*>("BodySerialNumber")},
    {kTagLensModel, -1, -1, TIFF_ASCII, FIELD_CUSTOM, 1, 0, const_cast<char*>("LensModel")},
};
TIFFExtendProc previousExtender = nullptr;

void cinemaExtender(TIFF* tiff) {
    TIFFMergeFieldInfo(tiff, kCinemaFields, 4);
    if (previousExtender) previousExtender(tiff);
}

void registerCinemaTags() {
    static const bool registered = (previousExtender = TIFFSetTagExtender(cinemaExtender), true);
    (void)registered;
}

uint8_t bcd(int value) {
    return uint8_t((value / 10) << 4 | (value % 10));
}

}  // namespace

void writeDNGFrame(const std::filesystem::path& path, const DNGFrame& frame) {
    registerCinemaTags();
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    ASSERT_TRUE(tiff) << path;
    TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, 0);
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, frame.width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, frame.height);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 16);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, 32803);  // colour filter array
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_MAKE, frame.make.c_str());
    static const uint8_t kVersion[4] = {1, 4, 0, 0};
    TIFFSetField(tiff, TIFFTAG_DNGVERSION, kVersion);
    TIFFSetField(tiff, TIFFTAG_UNIQUECAMERAMODEL, frame.uniqueCameraModel.c_str());
    TIFFSetField(tiff, TIFFTAG_CAMERASERIALNUMBER, frame.serialNumber.c_str());
    const uint16_t patternSize[2] = {2, 2};
    TIFFSetField(tiff, TIFFTAG_CFAREPEATPATTERNDIM, patternSize);
    TIFFSetField(tiff, TIFFTAG_CFAPATTERN, 4, "\0\1\1\2");
    if (frame.cropSize) {
        const float crop[2] = {frame.cropSize->first, frame.cropSize->second};
        TIFFSetField(tiff, TIFFTAG_DEFAULTCROPSIZE, crop);
    }
    if (frame.timecode) {
        const mediagen::Timecode& at = *frame.timecode;
        const uint8_t address[8] = {uint8_t(bcd(at.frames) | (frame.dropFrame ? 0x40 : 0)),
                                    bcd(at.seconds),
                                    bcd(at.minutes),
                                    bcd(at.hours),
                                    0,
                                    0,
                                    0,
                                    0};
        TIFFSetField(tiff, kTagTimeCodes, 8, address);
    }
    if (frame.frameRate) TIFFSetField(tiff, kTagFrameRate, *frame.frameRate);
    std::vector<uint16_t> row(frame.width, 0x0200);
    for (uint32_t y = 0; y < frame.height; ++y)
        ASSERT_EQ(TIFFWriteScanline(tiff, row.data(), y, 0), 1);
    TIFFClose(tiff);
}

void writeCinemaDNGClip(const std::filesystem::path& folder, const std::string& prefix, int count,
                        std::optional<mediagen::Timecode> start, const mediagen::Rate& rate) {
    std::filesystem::create_directories(folder);
    for (int i = 0; i < count; ++i) {
        DNGFrame frame;
        if (start) frame.timecode = mediagen::addFrames(*start, i, rate);
        frame.dropFrame = rate.dropFrame;
        frame.frameRate = rate.fps();
        char name[32];
        std::snprintf(name, sizeof name, "%06d.dng", i + 1);
        writeDNGFrame(folder / (prefix + name), frame);
    }
}

void writeCameraWave(const std::filesystem::path& path, const mediagen::Timecode& start,
                     const mediagen::Rate& rate, double seconds, const std::string& scene,
                     const std::string& take) {
    std::string description = "sSPEED=" + rate.speedText() + "\r\n";
    if (!scene.empty()) description += "sSCENE=" + scene + "\r\n";
    if (!take.empty()) description += "sTAKE=" + take + "\r\n";
    test::writeWithSndfile(
        path, {.frames = int64_t(seconds * 48000),
               .timeReference = uint64_t(mediagen::samplesSinceMidnight(start, rate, 48000)),
               .description = description});
}

std::string tiffBlockWithTexts(const std::vector<std::pair<uint16_t, std::string>>& texts) {
    registerCinemaTags();
    char name[] = "/tmp/vorlane-tiff-XXXXXX";
    const int descriptor = mkstemp(name);
    if (descriptor < 0) {
        ADD_FAILURE() << "no temporary file";
        return {};
    }
    close(descriptor);
    TIFF* tiff = TIFFOpen(name, "w");
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, 1);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, 1);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    for (const auto& [tag, text] : texts)
        EXPECT_EQ(TIFFSetField(tiff, tag, text.c_str()), 1) << tag;
    uint8_t pixel = 0;
    TIFFWriteScanline(tiff, &pixel, 0, 0);
    TIFFClose(tiff);
    std::string bytes = readFile(name);
    std::remove(name);
    return bytes;
}

void writeCanonRawClip(const std::filesystem::path& path, const CanonRawClip& clip) {
    const std::filesystem::path movie = path.string() + ".mov";
    runTool(
        words("ffmpeg -v error -y -f lavfi -i testsrc=size=1920x1080:rate=24000/1001 -f lavfi "
              "-i sine=frequency=440:sample_rate=48000 -ac 2 -c:v mjpeg -q:v 31 -c:a "
              "pcm_s24le",
              {"-frames:v", std::to_string(clip.frames), "-t",
               std::to_string(clip.frames * 1001.0 / 24000), "-timecode", clip.timecode,
               movie.string()}));
    std::string bytes = readFile(movie);
    std::filesystem::remove(movie);
    // Each picture sample entry (`jpeg`, 16 bytes after its `stsd` type) becomes `CRAW`.
    for (size_t at = bytes.find("stsd"); at != std::string::npos; at = bytes.find("stsd", at + 4))
        if (bytes.compare(at + 16, 4, "jpeg") == 0) bytes.replace(at + 16, 4, "CRAW");
    writeFile(path, bytes);
    const std::string camera = tiffBlockWithTexts(
        {{TIFFTAG_MAKE, clip.make}, {TIFFTAG_MODEL, clip.model}, {TIFFTAG_DATETIME, clip.date}});
    const std::string exif =
        tiffBlockWithTexts({{kTagLensModel, clip.lens}, {kTagBodySerialNumber, clip.serial}});
    const std::string canonUUID =
        "\x85\xc0\xb6\x87\x82\x0f\x11\xe0\x81\x11\xf4\xce\x46\x2b\x6a\x48";
    appendToMovieAtom(path, atom("uuid", canonUUID + atom("CMT1", camera) + atom("CMT2", exif)));
}

}  // namespace vorlane::test
