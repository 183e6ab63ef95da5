#include <gtest/gtest.h>

#include "formats/mxf/MXFMapping.h"
#include "formats/mxf/MXFTestFile.h"
#include "platform/ByteOrder.h"

namespace vorlane {
namespace {

using test::be16;
using test::be32;
using test::Bytes;
using test::concat;
using test::keyBytes;
using test::localItem;
using test::rational;

std::shared_ptr<MXFMetadataSet> descriptor(uint8_t kind, const Bytes& items) {
    return std::make_shared<MXFMetadataSet>(
        MXFIdentifier::keyIdentifierWithData(keyBytes(test::setKey(kind))),
        std::make_shared<const std::vector<uint8_t>>(items));
}

std::shared_ptr<MXFMetadataSet> picture(const std::string& coding, uint32_t height = 1080,
                                        uint8_t layout = 0, Bytes rate = rational(25, 1)) {
    return descriptor(0x28, concat({localItem(0x3201, keyBytes(coding)),
                                    localItem(0x3203, be32(1920)), localItem(0x3202, be32(height)),
                                    localItem(0x320C, Bytes{layout}), localItem(0x3001, rate)}));
}

// What follows from a descriptor beyond its coding label's name: heights of field layouts, the
// DVCPro HD rasters, the displayed size over the stored one, NTSC rates, AVC-Intra beyond 1080
// lines and the sound format's frame size. Codings of real files are checked in MXFRealFilesTest.
TEST(MXFMappingTest, PictureSizeLayoutAndRates) {
    const std::string xdcamHD = "06.0E.2B.34.04.01.01.03.04.01.02.02.01.04.03.00";
    // XDCAM HD 422 1080i50: two fields of 540 lines.
    const MXFMapping xdcam(picture(xdcamHD, 540, 1, rational(25, 1)));
    EXPECT_EQ(xdcam.videoSize().height, 1080);
    EXPECT_EQ(xdcam.formatTag(), "1080i50");
    EXPECT_EQ(xdcam.videoFrameDuration(), CMTimeMake(1, 25));
    const MXFMapping ntsc(picture(xdcamHD, 1080, 0, rational(30000, 1001)));
    EXPECT_TRUE(ntsc.videoIsNTSC());
    EXPECT_EQ(ntsc.formatTag(), "1080p30");
    EXPECT_EQ(ntsc.videoFrameDuration(), CMTimeMake(1001, 30000));

    // DVCPro HD keeps its stored raster.
    EXPECT_EQ(MXFMapping(picture("06.0E.2B.34.04.01.01.01.04.01.02.02.02.02.06.00", 540, 1))
                  .videoSize()
                  .width,
              1440);
    EXPECT_EQ(MXFMapping(picture("06.0E.2B.34.04.01.01.01.04.01.02.02.02.02.07.00", 720))
                  .videoSize()
                  .width,
              960);
    // AVC-Intra 422 beyond 1080 lines is a 2k/4k picture.
    EXPECT_EQ(MXFMapping(picture("06.0E.2B.34.04.01.01.0D.04.01.02.02.01.32.30.01", 2160))
                  .videoFormatName(),
              "AVC-Intra 2k/4k");

    // The displayed size wins over the stored one (pictures coded with extra lines).
    const MXFMapping d10(
        descriptor(0x51, concat({localItem(0x3203, be32(720)), localItem(0x3202, be32(304)),
                                 localItem(0x3209, be32(720)), localItem(0x3208, be32(288)),
                                 localItem(0x320C, Bytes{1})})));
    EXPECT_EQ(d10.videoSize().height, 576);
    EXPECT_EQ(d10.videoStoredHeight(), 608u);
    EXPECT_EQ(MXFMapping::trackTypeOfDescriptor(*d10.desc()), MediaTrackTypeVideo);
}

TEST(MXFMappingTest, SoundFormat) {
    const MXFMapping pcm(
        descriptor(0x48, concat({localItem(0x3D03, rational(48000, 1)), localItem(0x3D07, be32(2)),
                                 localItem(0x3D01, be32(24)), localItem(0x3D0A, be16(6))})));
    EXPECT_EQ(pcm.audioFourCC(), fourCC("lpcm"));
    EXPECT_EQ(pcm.audioStreamBasicDescription().sampleRate, 48000.0);
    EXPECT_EQ(pcm.audioStreamBasicDescription().channelsPerFrame, 2u);
    EXPECT_EQ(pcm.audioStreamBasicDescription().bitsPerChannel, 24u);
    EXPECT_EQ(pcm.audioStreamBasicDescription().bytesPerFrame, 6u);
    EXPECT_EQ(MXFMapping::trackTypeOfDescriptor(*pcm.desc()), MediaTrackTypeAudio);
    EXPECT_EQ(MXFMapping::trackTypeOfDescriptor(*descriptor(0x44, {})), 0);
}

}  // namespace
}  // namespace vorlane
