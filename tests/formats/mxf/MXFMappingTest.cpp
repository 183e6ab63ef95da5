// Codec names, four-character codes, picture sizes and sound formats of essence descriptors.
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

uint32_t codeOf(const std::string& text) {
    return uint32_t(uint8_t(text[0])) << 24 | uint32_t(uint8_t(text[1])) << 16 |
           uint32_t(uint8_t(text[2])) << 8 | uint32_t(uint8_t(text[3]));
}

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

TEST(MXFMappingTest, PictureCodingsNameAndCode) {
    struct Case {
        const char* label;
        const char* name;
        const char* code;  // nullptr: no code
    };
    const Case cases[] = {
        {"06.0E.2B.34.04.01.01.01.04.01.02.01.7F.00.00.00", "Uncompressed", nullptr},
        {"06.0E.2B.34.04.01.01.03.04.01.02.02.01.02.01.01", "MPEG IMX", "mp2v"},
        {"06.0E.2B.34.04.01.01.0A.04.01.02.02.01.30.00.00", "H.264", "avc1"},
        {"06.0E.2B.34.04.01.01.0A.04.01.02.02.01.32.21.01", "AVC-Intra 50", "ai56"},
        {"06.0E.2B.34.04.01.01.0D.04.01.02.02.01.32.41.01", "AVC-Intra 2k/4k", nullptr},
        {"06.0E.2B.34.04.01.01.01.04.01.02.02.02.01.02.00", "DV PAL", "dvcp"},
        {"06.0E.2B.34.04.01.01.01.04.01.02.02.02.02.04.00", "DVCPro50 PAL", "dv5p"},
        {"06.0E.2B.34.04.01.01.0A.04.01.02.02.71.0B.00.00", "DNxHD", "AVdn"},
        {"06.0E.2B.34.04.01.01.0A.04.01.02.02.09.00.00.00", "unkown", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const MXFMapping mapping(picture(c.label));
        EXPECT_EQ(mapping.videoFormatName(), c.name);
        EXPECT_EQ(mapping.videoFourCC(), c.code ? codeOf(c.code) : 0u);
    }
    // The DNxHD variant byte numbers the resolutions from 1235 on.
    EXPECT_EQ(
        MXFMapping(picture("06.0E.2B.34.04.01.01.0A.04.01.02.02.71.0B.00.00")).avidResolutionID(),
        1245u);
    // AVC-Intra 422 beyond 1080 lines is a 2k/4k picture.
    EXPECT_EQ(MXFMapping(picture("06.0E.2B.34.04.01.01.0D.04.01.02.02.01.32.30.01", 2160))
                  .videoFormatName(),
              "AVC-Intra 2k/4k");
}

TEST(MXFMappingTest, PictureSizeLayoutAndRates) {
    // XDCAM HD 422 1080i50: two fields of 540 lines.
    const MXFMapping xdcam(
        picture("06.0E.2B.34.04.01.01.03.04.01.02.02.01.04.03.00", 540, 1, rational(25, 1)));
    EXPECT_EQ(xdcam.videoSize().width, 1920);
    EXPECT_EQ(xdcam.videoSize().height, 1080);
    EXPECT_EQ(xdcam.videoFormatName(), "XDCAM 422HD 1080i50");
    EXPECT_EQ(xdcam.frameLayoutString(), "i");
    EXPECT_FALSE(xdcam.videoIsNTSC());
    EXPECT_EQ(xdcam.videoFrameDuration(), CMTimeMake(1, 25));

    const MXFMapping ntsc(
        picture("06.0E.2B.34.04.01.01.03.04.01.02.02.01.04.03.00", 1080, 0, rational(30000, 1001)));
    EXPECT_TRUE(ntsc.videoIsNTSC());
    EXPECT_EQ(ntsc.videoRoundedFrameRate(), 30);
    EXPECT_EQ(ntsc.formatTag(), "1080p30");
    EXPECT_EQ(ntsc.videoFrameDuration(), CMTimeMake(1001, 30000));

    const MXFMapping psf(
        picture("06.0E.2B.34.04.01.01.03.04.01.02.02.01.04.03.00", 540, 4, rational(25, 1)));
    EXPECT_EQ(psf.formatTag(), "1080PsF25");

    // DVCPro HD keeps its stored raster.
    EXPECT_EQ(MXFMapping(picture("06.0E.2B.34.04.01.01.01.04.01.02.02.02.02.06.00", 540, 1))
                  .videoSize()
                  .width,
              1440);
    const MXFMapping dvhp(picture("06.0E.2B.34.04.01.01.01.04.01.02.02.02.02.07.00", 720));
    EXPECT_EQ(dvhp.videoFourCC(), fourCC("dvhp"));
    EXPECT_EQ(dvhp.videoSize().width, 960);

    // The displayed size wins over the stored one (pictures coded with extra lines).
    const MXFMapping d10(
        descriptor(0x51, concat({localItem(0x3203, be32(720)), localItem(0x3202, be32(304)),
                                 localItem(0x3209, be32(720)), localItem(0x3208, be32(288)),
                                 localItem(0x320C, Bytes{1})})));
    EXPECT_EQ(d10.videoSize().height, 576);
    EXPECT_EQ(d10.videoStoredHeight(), 608u);
    EXPECT_EQ(MXFMapping::trackTypeOfDescriptor(*d10.desc()), MediaTrackTypeVideo);
}

TEST(MXFMappingTest, SoundFormats) {
    const auto sound = [](const std::string& coding) {
        Bytes items = concat({localItem(0x3D03, rational(48000, 1)), localItem(0x3D07, be32(2)),
                              localItem(0x3D01, be32(24)), localItem(0x3D0A, be16(6))});
        if (!coding.empty()) items = concat({items, localItem(0x3D06, keyBytes(coding))});
        return MXFMapping(descriptor(0x48, items));
    };
    const MXFMapping pcm = sound("");
    EXPECT_EQ(pcm.audioFormatName(), "PCM");
    EXPECT_EQ(pcm.audioFourCC(), fourCC("lpcm"));
    EXPECT_EQ(pcm.audioStreamBasicDescription().sampleRate, 48000.0);
    EXPECT_EQ(pcm.audioStreamBasicDescription().channelsPerFrame, 2u);
    EXPECT_EQ(pcm.audioStreamBasicDescription().bitsPerChannel, 24u);
    EXPECT_EQ(pcm.audioStreamBasicDescription().bytesPerFrame, 6u);
    EXPECT_EQ(sound("06.0E.2B.34.04.01.01.01.04.02.02.01.7F.00.00.00").audioFormatName(), "LPCM");
    EXPECT_EQ(sound("06.0E.2B.34.04.01.01.03.04.02.02.02.03.01.01.00").audioFourCC(),
              fourCC("alaw"));
    EXPECT_EQ(sound("06.0E.2B.34.04.01.01.03.04.02.02.02.03.02.01.00").audioFormatName(), "AC3");
    EXPECT_EQ(sound("06.0E.2B.34.04.01.01.03.04.02.02.02.03.02.05.00").audioFourCC(),
              fourCC(".mp2"));
    EXPECT_EQ(sound("06.0E.2B.34.04.01.01.03.04.02.02.02.03.03.00.01").audioFourCC(),
              fourCC("aac "));
    EXPECT_EQ(MXFMapping::trackTypeOfDescriptor(*pcm.desc()), MediaTrackTypeAudio);
    EXPECT_EQ(MXFMapping::trackTypeOfDescriptor(*descriptor(0x44, {})), 0);
}

}  // namespace
}  // namespace vorlane
