// MXF files written by other people's software (the shared D-10 sample, files ffmpeg writes here),
// checked against what mediainfo and ffprobe report for them: the file structure, and the start
// timecode, rate, picture, sound and duration the reader gives; the reader choice and `vorlane
// scan` on such files; damaged copies of the sample.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>

#include "TestPaths.h"
#include "formats/ReaderChoice.h"
#include "formats/mxf/FFmpegMXFFiles.h"
#include "formats/mxf/MXFEssenceContainerItems.h"
#include "formats/mxf/MXFFile.h"
#include "formats/mxf/MXFFileStructure.h"
#include "formats/mxf/MXFImporterFile.h"
#include "formats/mxf/MXFMediaInfo.h"
#include "formats/mxf/MXFRandomIndexPack.h"
#include "media/MediaTrack.h"
#include "platform/ByteOrder.h"
#include "platform/DefaultsKeys.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "support/TestSupport.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

using nlohmann::json;
using test::MediaInfoItem;

struct LoadedFile {
    std::shared_ptr<MXFRawAccess> raw;
    std::unique_ptr<MXFFileStructure> structure;
};

LoadedFile load(const std::filesystem::path& path) {
    LoadedFile file;
    file.raw = MXFRawAccess::initWithURL(path);
    EXPECT_NE(file.raw, nullptr) << path;
    if (!file.raw) return file;
    file.structure = std::make_unique<MXFFileStructure>(file.raw);
    EXPECT_TRUE(file.structure->loadPartitions()) << path;
    EXPECT_TRUE(file.structure->loadHeaderMetadata()) << path;
    EXPECT_TRUE(file.structure->loadIndexTables()) << path;
    return file;
}

// A component of the material package's timecode track.
std::shared_ptr<MXFMetadataSet> materialTimecode(const MXFFileStructure& structure) {
    const auto material = structure.searchHeaderForIdentifier(
        MXFMetadataSet::identifierWithKind(MXFSetKindMaterialPackage));
    if (!material || !material->valueForKey("Tracks")) return nullptr;
    for (const MXFValue& reference : *material->valueForKey("Tracks")->list()) {
        const auto track = structure.findMetadataSetWithIdentifier(*reference.identifier());
        if (!track || !track->valueForKey("Sequence")) continue;
        const auto sequence =
            structure.findMetadataSetWithIdentifier(*track->valueForKey("Sequence")->identifier());
        if (!sequence || !sequence->valueForKey("StructuralComponents")) continue;
        const auto component = structure.findMetadataSetWithIdentifier(
            *sequence->valueForKey("StructuralComponents")->list()->front().identifier());
        if (component && component->kind() == MXFSetKindTimecode) return component;
    }
    return nullptr;
}

// Partition packs and index segments where mediainfo sees them, with the same fields.
void expectStructureAsMediaInfo(const std::filesystem::path& path,
                                const MXFFileStructure& structure) {
    const auto items = test::mediaInfoItems(path);
    const auto packs = test::itemsNamed(items, "Partition Pack");
    ASSERT_EQ(structure.partitions().size(), packs.size()) << path;
    for (size_t i = 0; i < packs.size(); ++i) {
        const MXFPartitionPack& pack = *structure.partitions()[i];
        const MediaInfoItem& truth = packs[i];
        SCOPED_TRACE(truth.name);
        EXPECT_EQ(pack.filePosition(), truth.offset);
        EXPECT_EQ(pack.fileDataOffset() + pack.klvLength(), truth.size);
        EXPECT_EQ(truth.name,
                  pack.parttitionStatusString() + " " + pack.parttitionKindString() + " Pack");
        EXPECT_EQ(pack.kagSize(), truth.fields.at("KAGSize"));
        EXPECT_EQ(pack.thisPartition(), truth.fields.at("ThisPartition"));
        EXPECT_EQ(pack.previousPartition(), truth.fields.at("PreviousPartition"));
        EXPECT_EQ(pack.footerPartition(), truth.fields.at("FooterPartition"));
        EXPECT_EQ(pack.headerByteCount(), truth.fields.at("HeaderByteCount"));
        EXPECT_EQ(pack.indexByteCount(), truth.fields.at("IndexByteCount"));
        EXPECT_EQ(pack.indexSID(), truth.fields.at("IndexSID"));
        EXPECT_EQ(pack.bodyOffset(), truth.fields.at("BodyOffset"));
        EXPECT_EQ(pack.bodySID(), truth.fields.at("BodySID"));
    }
    const auto segments = test::itemsNamed(items, "Index Table (Segment)");
    ASSERT_EQ(structure.indexTables().size(), segments.size()) << path;
    for (size_t i = 0; i < segments.size(); ++i) {
        const MXFIndexTable& segment = *structure.indexTables()[i];
        const MediaInfoItem& truth = segments[i];
        EXPECT_EQ(segment.filePosition(), truth.offset);
        EXPECT_EQ(segment.fileDataOffset() + segment.klvLength(), truth.size);
        EXPECT_EQ(uint64_t(segment.indexStartPosition()), truth.fields.at("Index Start Position"));
        EXPECT_EQ(uint64_t(segment.indexDuration()), truth.fields.at("Index Duration"));
        EXPECT_EQ(segment.editUnitByteCount(), truth.fields.at("Edit Unit Byte Count"));
        EXPECT_EQ(segment.indexSID(), truth.fields.at("IndexSID"));
        EXPECT_EQ(segment.bodySID(), truth.fields.at("BodySID"));
        EXPECT_EQ(segment.deltaEntryArray().size(),
                  truth.hasField("NDE") ? truth.fields.at("NDE") : 0);
        EXPECT_EQ(segment.indexEntryArray().size(),
                  truth.hasField("NIE") ? truth.fields.at("NIE") : 0);
    }
}

bool isEssenceItem(const std::shared_ptr<MXFKeyLengthValue>& item) {
    return std::dynamic_pointer_cast<MXFEssenceElement>(item) ||
           std::dynamic_pointer_cast<MXFSystemElement>(item);
}

// Every edit unit the index segments list starts with an essence or system item, found both
// through the segment's partition offset and through the partitions' body offsets. Answers the
// number of edit units checked.
int64_t expectIndexedEditUnitsOnEssence(MXFFileStructure& structure) {
    MXFRawAccess& raw = *structure.raw();
    int64_t checked = 0;
    for (const auto& segment : structure.indexTables()) {
        std::vector<uint64_t> streamOffsets;
        for (const MXFIndexEntry& entry : segment->indexEntryArray())
            streamOffsets.push_back(entry.streamOffset);
        if (streamOffsets.empty() && segment->editUnitByteCount() != 0) {
            // Constant edit units. Clip-wrapped: only the element's start is an item. Frame-
            // wrapped: every unit; a duration of 0 serves every unit up to the next partition.
            auto first = raw.klvAtFileOffset(segment->partitionOffset());
            EXPECT_TRUE(isEssenceItem(first));
            if (!isEssenceItem(first)) return checked;
            const bool frameWrapped =
                first->fileDataOffset() + first->klvLength() <= segment->editUnitByteCount();
            int64_t units = frameWrapped ? segment->indexDuration() : 1;
            if (units == 0) {
                while (isEssenceItem(raw.klvAtFileOffset(
                    segment->partitionOffset() + uint64_t(units) * segment->editUnitByteCount()))) {
                    ++units;
                }
            }
            for (int64_t unit = 0; unit < units; ++unit)
                streamOffsets.push_back(uint64_t(unit) * segment->editUnitByteCount());
        }
        for (uint64_t streamOffset : streamOffsets) {
            const uint64_t offset = segment->partitionOffset() + streamOffset;
            auto item = raw.klvAtFileOffset(offset);
            EXPECT_TRUE(isEssenceItem(item)) << offset;
            EXPECT_EQ(structure.fileOffsetOfEssence(segment->bodySID(), streamOffset), offset);
            ++checked;
        }
    }
    EXPECT_GT(checked, 0);
    return checked;
}

json mediaInfo(const std::filesystem::path& path) {
    return json::parse(test::runTool({"mediainfo", "--Output=JSON", path.string()}))["media"];
}

json ffprobe(const std::filesystem::path& path) {
    return json::parse(test::runTool({"ffprobe", "-v", "error", "-print_format", "json",
                                      "-show_streams", "-show_format", path.string()}));
}

std::vector<json> mediaInfoTracks(const json& media, const std::string& type) {
    std::vector<json> tracks;
    for (const json& track : media["track"])
        if (track["@type"] == type) tracks.push_back(track);
    return tracks;
}

std::vector<json> ffprobeStreams(const json& probe, const std::string& type) {
    std::vector<json> streams;
    for (const json& stream : probe["streams"])
        if (stream["codec_type"] == type) streams.push_back(stream);
    return streams;
}

double number(const json& value) {
    return value.is_string() ? std::stod(value.get<std::string>()) : value.get<double>();
}

// The analysed file with every value mediainfo and ffprobe report checked against it.
std::shared_ptr<MXFFile> expectAgreement(const std::filesystem::path& path) {
    SCOPED_TRACE(path.filename().string());
    auto file = MXFFile::initWithURL(path);
    EXPECT_NE(file, nullptr);
    if (!file || !file->analyzeMXF()) {
        ADD_FAILURE() << "not analysed";
        return file;
    }
    const json media = mediaInfo(path);
    const json probe = ffprobe(path);

    // The material package's start timecode, its exact rate and drop frame.
    const auto timecode = file->fileTimecode();
    json material;
    for (const json& other : mediaInfoTracks(media, "Other"))
        if (other.value("TimeCode_Settings", "") == "Material Package") material = other;
    EXPECT_FALSE(material.is_null());
    EXPECT_NE(timecode, nullptr);
    if (!timecode || material.is_null()) return file;
    const std::string text = timecode->timecodeString(TCOptionWrap24h);
    EXPECT_EQ(text, material["TimeCode_FirstFrame"]);
    EXPECT_EQ(text, probe["format"]["tags"]["timecode"]);
    EXPECT_EQ(timecode->dropFrame(), text.find(';') != std::string::npos);
    EXPECT_DOUBLE_EQ(timecode->frameRate(),
                     number(material["FrameRate_Num"]) / number(material["FrameRate_Den"]));
    const std::vector<json> essence = mediaInfoTracks(media, file->hasVideo() ? "Video" : "Audio");
    if (!essence.empty() && essence[0].contains("Delay")) {
        // Where the start lies in seconds: the frame count at the exact rate.
        EXPECT_NEAR(CMTimeGetSeconds(timecode->time()), number(essence[0]["Delay"]), 0.0005);
    }

    // Pictures: mediainfo shows the displayed size, ffprobe the coded one (the same except for
    // pictures coded with extra lines, whose coded height mediainfo reports as the original).
    const std::vector<json> videos = mediaInfoTracks(media, "Video");
    const std::vector<json> videoStreams = ffprobeStreams(probe, "video");
    EXPECT_EQ(size_t(file->videoTrackCount()), videos.size());
    EXPECT_EQ(videoStreams.size(), videos.size());
    for (size_t i = 0; i < videos.size() && i < size_t(file->videoTrackCount()); ++i) {
        const auto track = file->videoTracks()[i];
        EXPECT_EQ(track->videoSize().width, number(videos[i]["Width"]));
        EXPECT_EQ(track->videoSize().height, number(videos[i]["Height"]));
        EXPECT_EQ(track->videoSize().width, number(videoStreams[i]["width"]));
        EXPECT_EQ(number(videoStreams[i]["height"]), videos[i].contains("Height_Original")
                                                         ? number(videos[i]["Height_Original"])
                                                         : track->videoSize().height);
        EXPECT_DOUBLE_EQ(track->videoFrameRate(),
                         number(videos[i]["FrameRate_Num"]) / number(videos[i]["FrameRate_Den"]));
        const double frames =
            CMTimeGetSeconds(track->timeRange().duration) * track->videoFrameRate();
        EXPECT_NEAR(frames, number(videos[i]["FrameCount"]), 1e-9);
        EXPECT_NEAR(frames, number(videoStreams[i]["duration_ts"]), 1e-9);
    }

    // Sound: tracks, channels, rate and depth.
    const std::vector<json> audios = mediaInfoTracks(media, "Audio");
    const std::vector<json> audioStreams = ffprobeStreams(probe, "audio");
    EXPECT_EQ(size_t(file->audioTrackCount()), audios.size());
    EXPECT_EQ(audioStreams.size(), audios.size());
    for (size_t i = 0; i < audios.size() && i < size_t(file->audioTrackCount()); ++i) {
        const auto track = file->audioTracks()[i];
        EXPECT_EQ(track->audioChannelCount(), number(audios[i]["Channels"]));
        EXPECT_EQ(track->audioChannelCount(), number(audioStreams[i]["channels"]));
        EXPECT_EQ(track->audioSampleRate(), number(audios[i]["SamplingRate"]));
        EXPECT_EQ(track->audioSampleRate(), number(audioStreams[i]["sample_rate"]));
        EXPECT_EQ(track->audioBitDepth(), number(audios[i]["BitDepth"]));
        EXPECT_EQ(track->audioBitDepth(), number(audioStreams[i]["bits_per_sample"]));
    }

    // Duration: ffprobe to the microsecond, mediainfo to the millisecond.
    const double seconds = CMTimeGetSeconds(file->duration());
    EXPECT_NEAR(seconds, number(probe["format"]["duration"]), 0.0000005);
    EXPECT_NEAR(seconds, number(mediaInfoTracks(media, "General")[0]["Duration"]), 0.0005001);
    return file;
}

TEST(MXFRealFilesTest, SharedSampleAsMediaInfoAndFFprobeSeeIt) {
    VORLANE_REQUIRE_TESTDATA(testdata);
    VORLANE_REQUIRE_TOOL("mediainfo");
    VORLANE_REQUIRE_TOOL("ffprobe");
    const auto path = testdata / "mxf" / "bmx_d10_sample.mxf";
    const auto reader = expectAgreement(path);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->firstVideoTrack()->fourCC(), fourCC("mp2v"));
    EXPECT_EQ(reader->firstVideoTrack()->videoFieldCount(), 2);
    EXPECT_EQ(reader->manufacturer(), "FFmpeg");
    EXPECT_EQ(reader->modelname(), "OP1a Muxer");

    LoadedFile file = load(path);
    ASSERT_NE(file.structure, nullptr);
    MXFFileStructure& structure = *file.structure;
    expectStructureAsMediaInfo(path, structure);
    expectIndexedEditUnitsOnEssence(structure);

    ASSERT_EQ(structure.partitions().size(), 3u);
    EXPECT_EQ(structure.partitions()[1]->bodySID(), 1u);
    EXPECT_EQ(structure.firstPartitionContainingEssence(), structure.partitions()[1]);
    EXPECT_EQ(structure.metadataPartition(), structure.headerPartition());
    EXPECT_EQ(structure.headerPartition()->operationalPatternString(), "OP-1a");
    EXPECT_EQ(structure.headerPartition()->essenceContainers().size(), 3u);

    const auto items = test::mediaInfoItems(path);
    const auto primer = test::itemsNamed(items, "Primer");
    ASSERT_EQ(primer.size(), 1u);
    ASSERT_NE(structure.primerPack(), nullptr);
    EXPECT_EQ(structure.primerPack()->filePosition(), primer[0].offset);
    EXPECT_EQ(structure.primerPack()->tagEntries().size(), primer[0].fields.at("Count"));
    EXPECT_EQ(structure.primerPack()->tagEntries().at("3C0A").stringID(),
              "06.0E.2B.34.01.01.01.01.01.01.15.02.00.00.00.00");
    EXPECT_EQ(structure.primerPackOffset(), 0x200u);

    // Every item mediainfo lists between the primer and the body partition, fill aside, is one
    // of the metadata sets, in order.
    std::vector<uint64_t> expected;
    for (const MediaInfoItem& item : items) {
        if (item.offset > primer[0].offset &&
            item.offset < structure.partitions()[1]->filePosition() &&
            item.name.find("Padding") == std::string::npos) {
            expected.push_back(item.offset);
        }
    }
    std::vector<uint64_t> found;
    for (const auto& set : structure.metadataSets())
        found.push_back(set->filePosition());
    EXPECT_EQ(found, expected);
    EXPECT_EQ(found.size(), 27u);

    // The random index pack lists the three partitions.
    const auto rip = std::dynamic_pointer_cast<MXFRandomIndexPack>(
        file.raw->klvAtFileOffset(test::itemsNamed(items, "Random Index Pack")[0].offset));
    ASSERT_NE(rip, nullptr);
    ASSERT_EQ(rip->indexArray().size(), 3u);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(rip->indexArray()[i].byteOffset, structure.partitions()[i]->filePosition());

    const auto& segment = *structure.indexTables().front();
    EXPECT_EQ(segment.indexEditRate(), MXFRational::rationalWithNumerator(25, 1));
    EXPECT_EQ(segment.sliceCount(), 1);
    EXPECT_EQ(segment.indexEntryArray()[1].sliceOffsetTable.size(), 1u);

    const std::string format =
        test::runTool({"ffprobe", "-v", "error", "-show_format", path.string()});

    // The start timecode is compared with mediainfo and ffprobe in expectAgreement; the
    // identification set as ffprobe reports it.
    const auto identification = structure.searchHeaderForIdentifier(
        MXFMetadataSet::identifierWithKind(MXFSetKindIdentification));
    ASSERT_NE(identification, nullptr);
    EXPECT_NE(
        format.find("TAG:company_name=" + *identification->valueForKey("CompanyName")->string()),
        std::string::npos);
    EXPECT_NE(
        format.find("TAG:product_name=" + *identification->valueForKey("ProductName")->string()),
        std::string::npos);
    EXPECT_NE(format.find("TAG:product_version=" +
                          *identification->valueForKey("VersionString")->string()),
              std::string::npos);
    EXPECT_EQ(identification->valueForKey("ModificationDate"), nullptr);  // written as zeros
    const auto material = structure.searchHeaderForIdentifier(
        MXFMetadataSet::identifierWithKind(MXFSetKindMaterialPackage));
    std::string umid = material->valueForKey("PackageUID")->identifier()->stringID();
    umid.erase(std::remove(umid.begin(), umid.end(), '.'), umid.end());
    umid = "0x" + umid;
    EXPECT_NE(format.find("TAG:material_package_umid=" + umid), std::string::npos);
}

// Files ffmpeg writes.
class MXFFFmpegFilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        VORLANE_REQUIRE_TOOL("ffmpeg");
        VORLANE_REQUIRE_TOOL("mediainfo");
        VORLANE_REQUIRE_TOOL("ffprobe");
    }
    static std::filesystem::path path(const std::string& name) { return test::ffmpegMXFFile(name); }
};

TEST_F(MXFFFmpegFilesTest, OP1aMPEG2WithIndexInBodyPartitions) {
    expectAgreement(path("op1a_mpeg2.mxf"));
    LoadedFile file = load(path("op1a_mpeg2.mxf"));
    ASSERT_NE(file.structure, nullptr);
    expectStructureAsMediaInfo(path("op1a_mpeg2.mxf"), *file.structure);
    expectIndexedEditUnitsOnEssence(*file.structure);
    // 300 frames: two body partitions of essence, index segments after each.
    EXPECT_GE(file.structure->partitions().size(), 4u);
    EXPECT_GE(file.structure->indexTables().size(), 2u);
    int64_t indexed = 0;
    for (const auto& segment : file.structure->indexTables())
        indexed += segment->indexDuration();
    EXPECT_EQ(indexed, 300);
}

TEST_F(MXFFFmpegFilesTest, DNxHDDropFrameWithIndexInTheHeaderPartition) {
    const auto dnxhd = expectAgreement(path("dnxhd_2997.mxf"));
    ASSERT_NE(dnxhd, nullptr);
    const auto picture = dnxhd->firstVideoTrack();
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->codecName(), "DNxHD");
    EXPECT_EQ(picture->fourCC(), fourCC("AVdn"));
    // The compression ID the encoder wrote into each frame's header.
    const std::string bytes = test::readFile(path("dnxhd_2997.mxf"));
    const size_t frame = bytes.find(std::string("\x00\x00\x02\x80\x01", 5));
    ASSERT_NE(frame, std::string::npos);
    const auto cid = readBE32(reinterpret_cast<const uint8_t*>(bytes.data() + frame + 0x28));
    EXPECT_EQ(picture->metaData().at(kVideoAvidResolutionID), MetadataValue(int64_t(cid)));

    LoadedFile file = load(path("dnxhd_2997.mxf"));
    ASSERT_NE(file.structure, nullptr);
    expectStructureAsMediaInfo(path("dnxhd_2997.mxf"), *file.structure);
    // Half a second at 29.97: 15 frames of constant size behind one segment of duration 0.
    EXPECT_EQ(file.structure->indexTables().front()->indexDuration(), 0);
    EXPECT_EQ(expectIndexedEditUnitsOnEssence(*file.structure), 15);
    EXPECT_EQ(file.structure->firstPartitionContainingEssence(), file.structure->headerPartition());
}

TEST_F(MXFFFmpegFilesTest, OPAtomVideoAndAudio) {
    for (const auto& [name, type] : {std::pair{"atom_video.mxf", MediaTypeVideo},
                                     std::pair{"atom_audio.mxf", MediaTypeAudio}}) {
        SCOPED_TRACE(name);
        const auto reader = expectAgreement(path(name));
        ASSERT_NE(reader, nullptr);
        EXPECT_EQ(reader->type(), type);
        LoadedFile file = load(path(name));
        ASSERT_NE(file.structure, nullptr);
        expectStructureAsMediaInfo(path(name), *file.structure);
        expectIndexedEditUnitsOnEssence(*file.structure);
        EXPECT_EQ(file.structure->headerPartition()->operationalPatternString(), "OP Atom");
        EXPECT_NE(file.structure->footerPartition(), nullptr);
    }
}

TEST_F(MXFFFmpegFilesTest, SparseMultiGigabyteFileIsIndexedFromItsHeaderAlone) {
    // The header partition of the DNxHD file holds metadata and index; the rest of 6 GiB is a
    // hole, where the footer and random index pack used to be.
    const auto source = path("dnxhd_2997.mxf");
    const auto sparse = source.parent_path() / "sparse_6g.mxf";
    {
        std::ifstream in(source, std::ios::binary);
        std::vector<char> head(64 * 1024);
        in.read(head.data(), std::streamsize(head.size()));
        std::ofstream out(sparse, std::ios::binary);
        out.write(head.data(), in.gcount());
    }
    std::filesystem::resize_file(sparse, 6ull << 30);
    const auto start = std::chrono::steady_clock::now();
    LoadedFile file = load(sparse);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    ASSERT_NE(file.structure, nullptr);
    EXPECT_EQ(file.structure->partitions().size(), 1u);
    EXPECT_EQ(file.structure->indexTables().size(), 1u);
    EXPECT_NE(materialTimecode(*file.structure), nullptr);
    EXPECT_LT(file.raw->bytesRead(), 32u * 1024);
    EXPECT_LT(elapsed, std::chrono::seconds(2));
    RecordProperty("bytesRead", std::to_string(file.raw->bytesRead()));
}

TEST(MXFMalformedFilesTest, EveryTruncationOfTheSampleEndsCleanly) {
    VORLANE_REQUIRE_TESTDATA(testdata);
    const std::string bytes = test::readFile(testdata / "mxf" / "bmx_d10_sample.mxf");
    const std::vector<uint8_t> whole(bytes.begin(), bytes.end());
    Log::setStandardErrorEnabled(false);
    // The file stays readable exactly while its footer's index segment is whole: the header
    // leads to the footer when the random index pack is gone.
    constexpr size_t kIndexSegmentEnd = 0x878AF;
    for (size_t cut = 0; cut < whole.size(); cut += (cut < 0x1600 || cut > 0x87500) ? 7 : 4099) {
        MXFFileStructure structure(
            std::make_shared<MXFRawAccess>(FileReader::fromBuffer(std::span(whole.data(), cut))));
        const bool readable = structure.loadPartitions() && structure.loadHeaderMetadata() &&
                              structure.loadIndexTables();
        EXPECT_EQ(readable, cut >= kIndexSegmentEnd) << cut;
    }
    Log::setStandardErrorEnabled(true);
}

TEST(MXFMalformedFilesTest, LengthsPastTheEndInsideTheSample) {
    VORLANE_REQUIRE_TESTDATA(testdata);
    const std::string bytes = test::readFile(testdata / "mxf" / "bmx_d10_sample.mxf");
    Log::setStandardErrorEnabled(false);
    // The primer claims 16 MiB; a set claims more than it holds; the footer offset and the
    // random index pack's length point past the end.
    std::vector<uint8_t> file(bytes.begin(), bytes.end());
    file[0x210] = 0x83;
    file[0x211] = 0xFF;
    file[0x212] = 0xFF;
    file[0x213] = 0xFF;
    MXFFileStructure primer(std::make_shared<MXFRawAccess>(FileReader::fromBuffer(file)));
    ASSERT_TRUE(primer.loadPartitions());
    EXPECT_TRUE(primer.loadHeaderMetadata());
    EXPECT_EQ(primer.primerPack(), nullptr);
    EXPECT_TRUE(primer.metadataSets().empty());

    file.assign(bytes.begin(), bytes.end());
    file[0xA8E] = 0x7F;  // the timecode component (75 bytes) claims 127
    MXFFileStructure set(std::make_shared<MXFRawAccess>(FileReader::fromBuffer(file)));
    ASSERT_TRUE(set.loadPartitions());
    EXPECT_FALSE(set.loadHeaderMetadata());

    file.assign(bytes.begin(), bytes.end());
    file[0x2A] = 0x7F;             // footer offset far past the end
    file[file.size() - 1] = 0xFF;  // pack length too
    MXFFileStructure links(std::make_shared<MXFRawAccess>(FileReader::fromBuffer(file)));
    ASSERT_TRUE(links.loadPartitions());
    EXPECT_EQ(links.partitions().size(), 1u);
    Log::setStandardErrorEnabled(true);
}

TEST(MXFReaderChoiceTest, TheImporterSettingChoosesTheReader) {
    VORLANE_REQUIRE_TESTDATA(testdata);
    test::ScratchFolder folder;
    UserDefaults defaults(folder / "defaults.json");
    NotificationCenter center;
    auto pool = MediaPool::create(chooseMediaReader, defaults, center);
    const auto sample = testdata / "mxf" / "bmx_d10_sample.mxf";
    EXPECT_TRUE(isSupportedMediaURL(sample));
    for (int64_t importer : {0, 1, 2}) {
        defaults.setInteger(importer, DefaultsKey::mxfImporter);
        defaults.setInteger(2, DefaultsKey::mxfAudioOptions);
        const MediaReaderChoice choice = chooseMediaReader(sample, *pool);
        if (importer == 1) {
            const auto file = std::dynamic_pointer_cast<MXFImporterFile>(choice.file);
            ASSERT_NE(file, nullptr);
            EXPECT_EQ(file->maxAudioTrackCount(), 2);
        } else {
            const auto file = std::dynamic_pointer_cast<MXFFile>(choice.file);
            ASSERT_NE(file, nullptr) << importer;
            EXPECT_EQ(file->maxAudioTrackCount(), 2);
        }
        EXPECT_EQ(defaults.integerForKey(DefaultsKey::mxfImporter), importer);
    }
}

TEST(MXFScanTest, ScanShowsTheStartTimecode) {
    VORLANE_REQUIRE_TESTDATA(testdata);
    test::ScratchFolder config;
    const auto sample = (testdata / "mxf" / "bmx_d10_sample.mxf").string();
    const std::vector<std::string> command = {"env",
                                              "VORLANE_CONFIG_DIR=" + config.path().string(),
                                              VORLANE_BINARY_DIR "/vorlane",
                                              "scan",
                                              "--no-ltc",
                                              "--quiet"};
    auto arguments = command;
    arguments.insert(arguments.end(), {"--json", sample});
    const json scan = json::parse(test::runTool(arguments));
    ASSERT_EQ(scan["files"].size(), 1u);
    const json& entry = scan["files"][0];
    EXPECT_EQ(entry["container"], "MXF");
    EXPECT_EQ(entry["mediaType"], "movie");
    EXPECT_EQ(entry["timecode"]["text"], "23:58:30:00");
    EXPECT_EQ(entry["timecode"]["frameRate"], 25.0);
    EXPECT_EQ(entry["timecode"]["dropFrame"], false);
    EXPECT_EQ(entry["timecode"]["seconds"], 86310.0);

    arguments = command;
    arguments.push_back(sample);
    EXPECT_NE(test::runTool(arguments).find("23:58:30:00"), std::string::npos);
}

}  // namespace
}  // namespace vorlane
