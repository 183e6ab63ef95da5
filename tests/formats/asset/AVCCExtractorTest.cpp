// H.264 parameter sets: streams encoded by ffmpeg (libx264) against ffprobe and against the
// record ffmpeg's own MPEG-4 writer makes, and parameter sets written bit by bit for the
// corners of the syntax (cropping per chroma format, scaling lists, timing).
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "formats/asset/AVCCExtractor.h"
#include "media/MediaTrack.h"
#include "media/MediaTypes.h"
#include "platform/media/MediaAsset.h"
#include "support/TestSupport.h"

namespace vorlane {
namespace {

class BitWriter {
  public:
    void bits(uint64_t value, int count) {
        for (int i = count - 1; i >= 0; --i)
            bit(unsigned(value >> i) & 1);
    }
    void flag(bool value) { bit(value ? 1 : 0); }
    void ue(uint32_t value) {
        const uint64_t code = uint64_t(value) + 1;
        int length = 0;
        while ((code >> length) > 1)
            ++length;
        bits(0, length);
        bits(code, length + 1);
    }
    void se(int32_t value) {
        ue(value > 0 ? uint32_t(2 * value - 1) : uint32_t(-2 * int64_t(value)));
    }

    // The NAL unit: header byte, the bits with stop bit and alignment, emulation prevention.
    std::vector<uint8_t> nalUnit(uint8_t header) {
        bit(1);
        while (count_ % 8)
            bit(0);
        std::vector<uint8_t> unit = {header};
        int zeros = 0;
        for (const uint8_t byte : bytes_) {
            if (zeros >= 2 && byte <= 3) {
                unit.push_back(3);
                zeros = 0;
            }
            unit.push_back(byte);
            zeros = byte == 0 ? zeros + 1 : 0;
        }
        return unit;
    }

  private:
    void bit(unsigned value) {
        if (count_ % 8 == 0) bytes_.push_back(0);
        if (value) bytes_.back() |= uint8_t(0x80 >> (count_ % 8));
        ++count_;
    }
    std::vector<uint8_t> bytes_;
    size_t count_ = 0;
};

struct SpsFields {
    uint8_t profile = 77;
    uint32_t chromaFormat = 1;
    bool scalingLists = false;
    uint32_t widthMbs = 120;
    uint32_t cropBottom = 0;
    bool timing = false;
    bool fixedRate = true;
};

std::vector<uint8_t> writeSps(const SpsFields& f) {
    BitWriter w;
    w.bits(f.profile, 8);
    w.bits(0, 8);
    w.bits(40, 8);
    w.ue(0);  // seq_parameter_set_id
    if (f.profile == 100 || f.profile == 122 || f.profile == 244) {
        w.ue(f.chromaFormat);
        if (f.chromaFormat == 3) w.flag(false);
        w.ue(2);  // 10-bit luma
        w.ue(2);  // 10-bit chroma
        w.flag(false);
        w.flag(f.scalingLists);
        if (f.scalingLists) {
            const int lists = f.chromaFormat == 3 ? 12 : 8;
            for (int i = 0; i < lists; ++i) {
                const bool present = i == 0 || i == 6 || i == lists - 1;
                w.flag(present);
                if (i == 0 && present) {
                    w.se(8);    // 16
                    w.se(-16);  // 0: the rest of the list repeats
                } else if (present) {
                    for (int j = 0; j < 64; ++j)
                        w.se(j == 0 ? 4 : 0);  // a full 64-entry list
                }
            }
        }
    }
    w.ue(0);  // log2_max_frame_num_minus4
    w.ue(1);  // pic_order_cnt_type 1
    w.flag(false);
    w.se(-3);
    w.se(2);
    w.ue(2);  // two reference frames in the cycle
    w.se(5);
    w.se(-7);
    w.ue(1);  // max_num_ref_frames
    w.flag(false);
    w.ue(f.widthMbs - 1);
    w.ue(68 - 1);  // height in map units
    w.flag(true);  // frame_mbs_only_flag
    w.flag(true);  // direct_8x8_inference_flag
    w.flag(f.cropBottom != 0);
    if (f.cropBottom) {
        w.ue(0);
        w.ue(0);
        w.ue(0);
        w.ue(f.cropBottom);
    }
    w.flag(true);  // VUI
    w.flag(true);  // aspect ratio: extended SAR
    w.bits(255, 8);
    w.bits(4, 16);
    w.bits(3, 16);
    w.flag(false);  // overscan
    w.flag(true);   // video signal type with colour description
    w.bits(5, 3);
    w.flag(false);
    w.flag(true);
    w.bits(0x010101, 24);
    w.flag(true);  // chroma location
    w.ue(0);
    w.ue(0);
    w.flag(f.timing);
    if (f.timing) {
        w.bits(1001, 32);
        w.bits(60000, 32);
        w.flag(f.fixedRate);
    }
    return w.nalUnit(0x67);
}

std::vector<uint8_t> annexB(std::initializer_list<std::vector<uint8_t>> units) {
    std::vector<uint8_t> stream;
    for (const auto& unit : units) {
        stream.insert(stream.end(), {0, 0, 0, 1});
        stream.insert(stream.end(), unit.begin(), unit.end());
    }
    return stream;
}

const std::vector<uint8_t> kPps = {0x68, 0xce, 0x38, 0x80};

TEST(AVCCExtractor, CroppingFollowsTheChromaFormat) {
    struct Case {
        const char* name;
        SpsFields fields;
        uint32_t width;
        uint32_t height;
    };
    SpsFields tenBit422;
    tenBit422.profile = 122;
    tenBit422.chromaFormat = 2;
    tenBit422.scalingLists = true;
    tenBit422.cropBottom = 8;
    SpsFields full444;
    full444.profile = 244;
    full444.chromaFormat = 3;
    full444.scalingLists = true;  // twelve lists, the last one present
    full444.cropBottom = 8;
    // Cropping of 4:2:0 (progressive and interlaced), 4:2:2 and 4:4:4 pictures without scaling
    // lists is checked on the libx264 streams below; libx264 writes no scaling lists in the SPS.
    const Case cases[] = {{"4:2:2 10-bit", tenBit422, 1920, 1080}, {"4:4:4", full444, 1920, 1080}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto sps = parseSequenceParameterSet(writeSps(c.fields));
        ASSERT_TRUE(sps);
        EXPECT_EQ(sps->profileIdc, c.fields.profile);
        EXPECT_EQ(sps->chromaFormatIdc, c.fields.chromaFormat);
        EXPECT_EQ(sps->width(), c.width);
        EXPECT_EQ(sps->height(), c.height);
        EXPECT_FALSE(sps->timingInfoPresent);
    }
}

TEST(AVCCExtractor, TrackSizeRateProfileAndLevel) {
    SpsFields fields;
    fields.cropBottom = 4;
    fields.timing = true;
    const auto record = AVCCExtractor::avcCDataWithAnnexB(annexB({writeSps(fields), kPps}));
    ASSERT_TRUE(record);
    auto track = std::make_shared<MediaTrack>(MediaTrackTypeVideo);
    track->setVideoFrameRate(25);
    AVCCExtractor extractor(*record, track);
    ASSERT_TRUE(extractor.isValid());
    EXPECT_EQ(extractor.h264Profile(), 77);
    EXPECT_EQ(extractor.h264Level(), 40);
    extractor.extractVideoSizeAndFrameRate();
    extractor.extractH264ProfileAndLevel();
    EXPECT_EQ(track->videoSize().width, 1920);
    EXPECT_EQ(track->videoSize().height, 1080);
    EXPECT_DOUBLE_EQ(track->videoFrameRate(), 60000.0 / 2002.0);
    EXPECT_EQ(track->metaData().at(kVideoH264Profile).integer(), 77);
    EXPECT_EQ(track->metaData().at(kVideoH264Level).integer(), 40);
    EXPECT_TRUE(std::equal(kPps.begin(), kPps.end(), extractor.pictureParameterSet().begin(),
                           extractor.pictureParameterSet().end()));

    // Without timing, or with a rate that is not fixed, the track keeps its rate.
    for (const bool timing : {false, true}) {
        fields.timing = timing;
        fields.fixedRate = false;
        const auto other = AVCCExtractor::avcCDataWithAnnexB(annexB({writeSps(fields), kPps}));
        ASSERT_TRUE(other);
        auto keeps = std::make_shared<MediaTrack>(MediaTrackTypeVideo);
        keeps->setVideoFrameRate(25);
        AVCCExtractor(*other, keeps).extractVideoSizeAndFrameRate();
        EXPECT_EQ(keeps->videoFrameRate(), 25.0);
        EXPECT_EQ(keeps->videoSize().height, 1080);
    }
}

TEST(AVCCExtractor, AnnexBUnits) {
    const std::vector<uint8_t> stream = {0xaa, 0, 0, 1, 0x09, 0xf0, 0,    0, 0, 0, 1,
                                         0x67, 1, 2, 0, 0,    1,    0x68, 5, 0, 0, 0};
    const auto units = annexBNALUnits(stream);
    ASSERT_EQ(units.size(), 3u);
    EXPECT_EQ(std::vector<uint8_t>(units[0].begin(), units[0].end()),
              (std::vector<uint8_t>{0x09, 0xf0}));
    EXPECT_EQ(std::vector<uint8_t>(units[1].begin(), units[1].end()),
              (std::vector<uint8_t>{0x67, 1, 2}));
    EXPECT_EQ(std::vector<uint8_t>(units[2].begin(), units[2].end()),
              (std::vector<uint8_t>{0x68, 5}));
    EXPECT_EQ(rbspOfNALUnit(std::vector<uint8_t>{0, 0, 3, 1, 0, 0, 3, 0, 0, 3}),
              (std::vector<uint8_t>{0, 0, 1, 0, 0, 0, 0}));
}

TEST(AVCCExtractor, DamagedRecordsAndParameterSets) {
    EXPECT_FALSE(AVCCExtractor({}, nullptr).isValid());
    EXPECT_FALSE(AVCCExtractor({1, 77, 0, 40, 0xff, 0xe1, 0x10, 0x00, 0x67}, nullptr).isValid());
    // Complete up to the PPS, which claims more bytes than follow.
    EXPECT_FALSE(AVCCExtractor({1, 77, 0, 40, 0xff, 0xe1, 0, 2, 0x67, 77, 1, 0, 9, 0x68}, nullptr)
                     .isValid());
    // Profile and level of a header without parameter sets still describe the track.
    auto track = std::make_shared<MediaTrack>(MediaTrackTypeVideo);
    AVCCExtractor headerOnly({1, 122, 0, 41, 0xff, 0xe1, 0, 0}, track);
    headerOnly.extractH264ProfileAndLevel();
    headerOnly.extractVideoSizeAndFrameRate();
    EXPECT_EQ(track->metaData().at(kVideoH264Profile).integer(), 122);
    EXPECT_EQ(track->videoSize().width, 0);

    EXPECT_FALSE(AVCCExtractor::avcCDataWithAnnexB(annexB({writeSps({})})));  // no PPS
    EXPECT_FALSE(AVCCExtractor::avcCDataWithAnnexB(annexB({{0x67, 77}, kPps})));
    EXPECT_FALSE(parseSequenceParameterSet(kPps));
    std::vector<uint8_t> cut = writeSps({});
    cut.resize(6);
    EXPECT_FALSE(parseSequenceParameterSet(cut));
    // An Exp-Golomb code longer than 32 bits.
    EXPECT_FALSE(
        parseSequenceParameterSet(std::vector<uint8_t>{0x67, 77, 0, 40, 0, 0, 0, 0, 0, 1}));
}

struct Encoding {
    const char* name;
    std::vector<std::string> arguments;
    int profile;
};

// libx264 streams: the record built from the raw stream equals the one ffmpeg's MPEG-4 writer
// stores for the same stream, and its SPS gives ffprobe's picture size, profile and level.
TEST(AVCCExtractor, StreamsEncodedByFfmpeg) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    VORLANE_REQUIRE_TOOL("ffprobe");
    test::ScratchFolder folder;
    const Encoding encodings[] = {
        {"420", {"testsrc2=size=320x180:rate=25", "-pix_fmt", "yuv420p"}, 100},
        {"422-10", {"testsrc2=size=1920x1080:rate=25", "-pix_fmt", "yuv422p10le"}, 122},
        {"444", {"testsrc2=size=352x200:rate=30000/1001", "-pix_fmt", "yuv444p"}, 244},
        {"interlaced",
         {"testsrc2=size=1920x1080:rate=25", "-pix_fmt", "yuv420p", "-flags", "+ildct+ilme"},
         100},
    };
    for (const Encoding& e : encodings) {
        SCOPED_TRACE(e.name);
        const auto raw = folder / (std::string(e.name) + ".h264");
        const auto mp4 = folder / (std::string(e.name) + ".mp4");
        std::vector<std::string> command = {"ffmpeg", "-v", "error",       "-f",
                                            "lavfi",  "-i", e.arguments[0]};
        command.insert(command.end(), e.arguments.begin() + 1, e.arguments.end());
        command.insert(command.end(), {"-frames:v", "2", "-c:v", "libx264", raw.string()});
        test::runTool(command);
        test::runTool({"ffmpeg", "-v", "error", "-i", raw.string(), "-c", "copy", mp4.string()});

        const std::string bytes = test::readFile(raw);
        const auto record = AVCCExtractor::avcCDataWithAnnexB(
            std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
        ASSERT_TRUE(record);
        const auto asset = MediaAsset::assetWithURL(mp4);
        ASSERT_TRUE(asset);
        const auto& atoms = asset->tracks().at(0).formatDescription->extensionAtoms;
        ASSERT_TRUE(atoms.count("avcC"));
        const AVCCExtractor ours(*record, nullptr);
        const AVCCExtractor theirs(atoms.at("avcC"), nullptr);
        ASSERT_TRUE(ours.isValid());
        ASSERT_TRUE(theirs.isValid());
        EXPECT_TRUE(std::ranges::equal(ours.sequenceParameterSet(), theirs.sequenceParameterSet()));
        EXPECT_TRUE(std::ranges::equal(ours.pictureParameterSet(), theirs.pictureParameterSet()));

        const auto probe = nlohmann::json::parse(test::runTool(
            {"ffprobe", "-v", "error", "-print_format", "json", "-show_streams", mp4.string()}));
        const auto& stream = probe["streams"][0];
        const auto sps = parseSequenceParameterSet(ours.sequenceParameterSet());
        ASSERT_TRUE(sps);
        EXPECT_EQ(sps->profileIdc, e.profile);
        EXPECT_EQ(ours.h264Profile(), e.profile);
        EXPECT_EQ(int(sps->levelIdc), stream["level"].get<int>());
        EXPECT_EQ(sps->width(), stream["width"].get<uint32_t>());
        EXPECT_EQ(sps->height(), stream["height"].get<uint32_t>());
    }
}

}  // namespace
}  // namespace vorlane
