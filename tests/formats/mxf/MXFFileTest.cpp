// The MXF reader on files made here: the material package's tracks, followed to source packages
// and descriptors, the start timecode at its exact rate, the audio track limit, the XML metadata,
// and files that are broken, cut short or whose references go round in circles.
#include <gtest/gtest.h>

#include <algorithm>

#include "formats/camera_xml/CameraXMLDocuments.h"
#include "formats/mxf/MXFFile.h"
#include "formats/mxf/MXFTestFile.h"
#include "media/MediaTrack.h"
#include "platform/ByteOrder.h"
#include "platform/FileReader.h"
#include "platform/Log.h"
#include "support/TestSupport.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

using test::batch;
using test::be16;
using test::be32;
using test::be64;
using test::Bytes;
using test::concat;
using test::keyBytes;
using test::localItem;
using test::metadataSet;
using test::MXFTestFile;
using test::rational;
using test::umid;
using test::utf16;
using test::uuid;

const std::string kPicture = "06.0E.2B.34.04.01.01.01.01.03.02.02.01.00.00.00";
const std::string kSound = "06.0E.2B.34.04.01.01.01.01.03.02.02.02.00.00.00";
const std::string kTimecode = "06.0E.2B.34.04.01.01.01.01.03.02.01.01.00.00.00";
const std::string kLegacyPicture = "80.7D.00.60.08.14.3E.6F.6F.3C.8C.E1.6C.EF.11.D2";
const std::string kLegacySound = "80.7D.00.60.08.14.3E.6F.78.E1.EB.E1.6C.EF.11.D2";
const std::string kDNxHD = "06.0E.2B.34.04.01.01.0A.04.01.02.02.71.01.00.00";
const std::string kMPEG2422 = "06.0E.2B.34.04.01.01.03.04.01.02.02.01.02.03.00";
const std::string kAVCIntra100 = "06.0E.2B.34.04.01.01.0A.04.01.02.02.01.32.31.08";

// Header metadata of one clip, set by set; every set gets the next instance ID.
class Header {
  public:
    Bytes sets;

    Bytes add(uint8_t kind, std::initializer_list<Bytes> items) {
        const Bytes id = uuid(next_++);
        Bytes value = localItem(0x3C0A, id);
        for (const Bytes& item : items)
            value = concat({value, item});
        sets = concat({sets, test::klv(test::setKey(kind), value, 3)});
        return id;
    }
    Bytes identification(const std::string& company, const std::string& product) {
        return add(0x30, {localItem(0x3C01, utf16(company)), localItem(0x3C02, utf16(product)),
                          localItem(0x3C06, test::timestamp(2024, 5, 17, 9, 30, 15))});
    }
    // A material or source package track of one component.
    Bytes track(uint32_t trackID, uint32_t trackNumber, const std::string& dataDefinition,
                Bytes editRate, int64_t duration, const Bytes& component) {
        const Bytes sequence = add(0x0F, {localItem(0x0201, keyBytes(dataDefinition)),
                                          localItem(0x0202, be64(uint64_t(duration))),
                                          localItem(0x1001, batch({component}, 16))});
        return add(0x3B, {localItem(0x4801, be32(trackID)), localItem(0x4804, be32(trackNumber)),
                          localItem(0x4B01, editRate), localItem(0x4803, sequence)});
    }
    Bytes timecodeTrack(uint32_t trackID, Bytes editRate, int64_t start, uint16_t base,
                        bool dropFrame) {
        const Bytes component =
            add(0x14, {localItem(0x0201, keyBytes(kTimecode)), localItem(0x0202, be64(100)),
                       localItem(0x1501, be64(uint64_t(start))), localItem(0x1502, be16(base)),
                       localItem(0x1503, Bytes{uint8_t(dropFrame)})});
        return track(trackID, 0, kTimecode, editRate, 100, component);
    }
    Bytes clipTrack(uint32_t trackID, const std::string& dataDefinition, Bytes editRate,
                    int64_t duration, const Bytes& package, uint32_t sourceTrackID) {
        const Bytes clip =
            add(0x11, {localItem(0x0201, keyBytes(dataDefinition)),
                       localItem(0x0202, be64(uint64_t(duration))), localItem(0x1101, package),
                       localItem(0x1102, be32(sourceTrackID))});
        return track(trackID, 0, dataDefinition, editRate, duration, clip);
    }
    Bytes package(uint8_t kind, const Bytes& packageID, const std::vector<Bytes>& tracks,
                  const Bytes& descriptor = {}) {
        if (descriptor.empty())
            return add(kind, {localItem(0x4401, packageID), localItem(0x4403, batch(tracks, 16))});
        return add(kind, {localItem(0x4401, packageID), localItem(0x4403, batch(tracks, 16)),
                          localItem(0x4701, descriptor)});
    }
    Bytes picture(uint32_t width, uint32_t height, uint8_t layout, const std::string& coding,
                  Bytes sampleRate = rational(25, 1), uint32_t linkedTrackID = 0) {
        return add(0x28,
                   {localItem(0x3001, sampleRate), localItem(0x3203, be32(width)),
                    localItem(0x3202, be32(height)), localItem(0x3209, be32(width)),
                    localItem(0x3208, be32(height)), localItem(0x320C, Bytes{layout}),
                    localItem(0x3201, keyBytes(coding)), localItem(0x3006, be32(linkedTrackID))});
    }
    Bytes sound(uint32_t channels, uint32_t bits, uint32_t linkedTrackID = 0,
                uint16_t blockAlign = 0) {
        return add(0x48, {localItem(0x3D03, rational(48000, 1)), localItem(0x3D07, be32(channels)),
                          localItem(0x3D01, be32(bits)), localItem(0x3D0A, be16(blockAlign)),
                          localItem(0x3006, be32(linkedTrackID))});
    }
    Bytes multiple(const std::vector<Bytes>& subDescriptors) {
        return add(0x44, {localItem(0x3F01, batch(subDescriptors, 16))});
    }

  private:
    uint8_t next_ = 1;
};

// A closed, complete file around header metadata: header partition with the metadata and an
// index segment, one essence element, footer, random index pack.
Bytes fileWithHeader(const Header& header) {
    MXFTestFile file;
    file.addPartition(2, 4, 1);
    file.addHeaderSets(header.sets);
    file.addIndexSegment({0});
    file.addEssenceElement(100);
    file.addPartition(4, 4);
    return file.finish(true);
}

std::shared_ptr<MXFFile> analyzed(const Bytes& bytes, int32_t maxAudio = 128) {
    auto file =
        MXFFile::fileWithReader("/nonexistent/clip.mxf", FileReader::fromBuffer(bytes), maxAudio);
    file->analyzeMXF();
    return file;
}

// A clip of one picture, `sounds` sound and one timecode track, with a source package of the
// same tracks whose MultipleDescriptor holds a CDCI and one Wave descriptor per sound track.
Header clipHeader(int sounds, int64_t startTimecode = 90000, uint16_t base = 25,
                  bool dropFrame = false, Bytes editRate = rational(25, 1),
                  const std::string& company = "Sony ", const std::string& product = "PXW-FX9") {
    Header header;
    header.identification(company, product);
    const Bytes source = umid(0xE0);
    std::vector<Bytes> materialTracks = {
        header.timecodeTrack(1, editRate, startTimecode, base, dropFrame),
        header.clipTrack(2, kPicture, editRate, 250, source, 2)};
    std::vector<Bytes> sourceTracks = {
        header.track(2, 0x15010500, kPicture, editRate, 250, uuid(0xF0))};
    std::vector<Bytes> descriptors = {header.picture(1920, 540, 1, kMPEG2422, editRate, 2)};
    for (int i = 0; i < sounds; ++i) {
        const uint32_t id = uint32_t(3 + i);
        materialTracks.push_back(header.clipTrack(id, kSound, editRate, 250, source, id));
        sourceTracks.push_back(
            header.track(id, 0x16010100 | uint32_t(i), kSound, editRate, 250, uuid(0xF0)));
        descriptors.push_back(header.sound(1, 24, id));
    }
    header.package(0x36, umid(0xD0), materialTracks);
    header.package(0x37, source, sourceTracks, header.multiple(descriptors));
    return header;
}

TEST(MXFFileTest, StartTimecodeAtTheExactRate) {
    struct Case {
        int64_t start;
        uint16_t base;
        bool dropFrame;
        Bytes editRate;
        std::string text;
        double rate;
        bool expectedDrop;
        CMTime time;
    };
    const Case cases[] = {
        // 01:00:00;00 in drop-frame counting is 107892 frames of 1001/30000 s.
        {107892, 30, true, rational(30000, 1001), "01:00:00;00", 30000.0 / 1001.0, true,
         CMTimeMake(107892 * 1001, 30000)},
        // Drop frame at a 30 base always means 29.97, whatever the edit rate says.
        {107892, 30, true, rational(30, 1), "01:00:00;00", 30000.0 / 1001.0, true,
         CMTimeMake(107892 * 1001, 30000)},
        // 29.97 without dropping and 23.976 keep their exact rate.
        {108000, 30, false, rational(30000, 1001), "01:00:00:00", 30000.0 / 1001.0, false,
         CMTimeMake(108000 * 1001, 30000)},
        {86400, 24, false, rational(24000, 1001), "01:00:00:00", 24000.0 / 1001.0, false,
         CMTimeMake(86400 * 1001, 24000)},
        // A 50 fps picture with a 25 fps timecode counts at 25.
        {90000, 25, false, rational(50, 1), "01:00:00:00", 25.0, false, CMTimeMake(3600, 1)},
        // A drop flag at a 25 base is meaningless and ignored.
        {90000, 25, true, rational(25, 1), "01:00:00:00", 25.0, false, CMTimeMake(3600, 1)},
        // No base: the edit rate's.
        {2157750, 0, false, rational(25, 1), "23:58:30:00", 25.0, false, CMTimeMake(86310, 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text + " at base " + std::to_string(c.base));
        auto file =
            analyzed(fileWithHeader(clipHeader(0, c.start, c.base, c.dropFrame, c.editRate)));
        const auto timecode = file->fileTimecode();
        ASSERT_NE(timecode, nullptr);
        EXPECT_EQ(timecode->timecodeString(TCOptionWrap24h), c.text);
        EXPECT_DOUBLE_EQ(timecode->frameRate(), c.rate);
        EXPECT_EQ(timecode->dropFrame(), c.expectedDrop);
        EXPECT_EQ(timecode->time(), c.time);
    }
}

// An identifier as the text keyBytes() reads.
std::string idText(const Bytes& bytes) {
    std::string text;
    for (const uint8_t byte : bytes) {
        char cell[4];
        std::snprintf(cell, sizeof cell, "%02X.", byte);
        text += cell;
    }
    text.pop_back();
    return text;
}

// Avid-style OP-Atom media of one picture or sound track: the material package names the data
// definition through the dictionary and has no timecode track. The file package's clip starts
// `position` edit units into a tape package whose timecode track starts at `tapeStart` (25 fps).
Bytes avidStyleAtom(bool picture, Bytes editRate, int64_t position, int64_t tapeStart) {
    Header header;
    header.identification("Avid Technology, Inc.", "Avid Media Composer");
    const std::string label = picture ? kLegacyPicture : kLegacySound;
    const std::string reference = idText(header.add(0x1B, {localItem(0x1B01, keyBytes(label))}));
    const Bytes tape = umid(0xA0), filePackage = umid(0xA1);
    const Bytes nothing =
        header.add(0x11, {localItem(0x0201, keyBytes(label)), localItem(0x1101, Bytes(32, 0))});
    header.package(0x37, tape,
                   {header.track(1, 1, reference, rational(25, 1), 2160000, nothing),
                    header.timecodeTrack(2, rational(25, 1), tapeStart, 25, false)},
                   header.add(0x2E, {}));
    const Bytes clip =
        header.add(0x11, {localItem(0x0201, keyBytes(reference)), localItem(0x0202, be64(50)),
                          localItem(0x1201, be64(uint64_t(position))), localItem(0x1101, tape),
                          localItem(0x1102, be32(1))});
    header.package(
        0x37, filePackage,
        {header.track(1, picture ? 0x15010601 : 0x16010101, reference, editRate, 50, clip)},
        picture ? header.picture(1920, 1080, 0, kDNxHD, editRate, 1) : header.sound(1, 24, 1));
    header.package(0x36, umid(0xA2),
                   {header.clipTrack(1, reference, editRate, 50, filePackage, 1)});
    return fileWithHeader(header);
}

TEST(MXFFileTest, AvidStyleAtomTakesItsStartFromTheTapePackage) {
    // 10:00:00:12 on a tape whose timecode starts at midnight, as Avid writes it.
    const auto video = analyzed(avidStyleAtom(true, rational(25, 1), 900012, 0));
    ASSERT_EQ(video->videoTrackCount(), 1);
    EXPECT_EQ(video->firstVideoTrack()->codecName(), "DNxHD");
    ASSERT_TRUE(video->fileTimecode());
    EXPECT_EQ(video->fileTimecode()->timecodeString(TCOptionWrap24h), "10:00:00:12");
    EXPECT_EQ(video->fileTimecode()->frameRate(), 25.0);

    // One second of 48 kHz samples into a tape starting at 01:00:00:00.
    const auto sound = analyzed(avidStyleAtom(false, rational(48000, 1), 48000, 90000));
    ASSERT_EQ(sound->audioTrackCount(), 1);
    EXPECT_EQ(sound->firstAudioTrack()->audioBitDepth(), 24u);
    ASSERT_TRUE(sound->fileTimecode());
    EXPECT_EQ(sound->fileTimecode()->timecodeString(TCOptionWrap24h), "01:00:01:00");
    EXPECT_EQ(sound->fileTimecodeCount(), 1);
}

// Tracks, sizes, rates, sound formats and start timecodes of whole files are compared with
// mediainfo and ffprobe in MXFRealFilesTest; here the order and numbering of many sound tracks,
// a frame size without BlockAlign, and the limit the audio option sets.
TEST(MXFFileTest, SoundTracksInOrderAndTheAudioOptionLimitsThem) {
    const Bytes bytes = fileWithHeader(clipHeader(8));
    auto all = analyzed(bytes);
    ASSERT_EQ(all->audioTrackCount(), 8);
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        const auto audio = all->audioTracks()[size_t(i)];
        EXPECT_EQ(audio->trackNumber(), i + 1);
        EXPECT_EQ(audio->sourceTrackID(), i + 3);
        EXPECT_EQ(audio->audioBytesPerFrame(), 3u);  // without BlockAlign: channels x bytes
    }
    EXPECT_EQ(all->firstVideoTrack()->sourceTrackID(), 2);
    EXPECT_EQ(all->manufacturer(), "Sony");  // trimmed
    auto four = analyzed(bytes, MXFFile::maxAudioTrackCountForOption(3));
    EXPECT_EQ(four->videoTrackCount(), 1);
    EXPECT_EQ(four->countTracksWithType(MediaTrackTypeTimecode), 1);
    ASSERT_EQ(four->audioTrackCount(), 4);
    EXPECT_EQ(four->audioTracks().back()->trackNumber(), 4);
}

TEST(MXFFileTest, DescriptorLookupInMultipleDescriptors) {
    Header header;
    const Bytes cdci = header.picture(1920, 1080, 0, kAVCIntra100);
    const Bytes wave1 = header.sound(2, 16);
    const Bytes wave2 = header.sound(4, 24);
    const Bytes linked = header.sound(8, 24, 7);
    const Bytes multiple = header.multiple({cdci, wave1, wave2});
    const Bytes linkedMultiple = header.multiple({wave1, wave2, linked});
    header.package(0x36, umid(1), {});
    auto file = analyzed(fileWithHeader(header));
    const auto channels = [&](const std::shared_ptr<MXFMetadataSet>& set) {
        return set ? set->valueForKey("ChannelCount")->integer().value_or(-1) : -1;
    };
    const MXFIdentifier reference(multiple, MXFIdentifierTypeStrongRef);
    // Element number 1 among the sound descriptors: the second Wave descriptor.
    EXPECT_EQ(channels(file->lookupDescriptor(reference, 0x16010101)), 4);
    EXPECT_EQ(channels(file->lookupDescriptor(reference, 0x16010100)), 2);
    EXPECT_EQ(file->lookupDescriptor(reference, 0x16010102), nullptr);
    const auto picture = file->lookupDescriptor(reference, 0x15010500);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->kindString(), "CDCIDescriptor");
    // An item type that says nothing leaves the choice to the track's kind.
    EXPECT_EQ(file->lookupDescriptor(reference, 0x07010100), nullptr);
    EXPECT_EQ(channels(file->lookupDescriptor(reference, 0, MediaTrackTypeAudio)), 2);
    // A descriptor linked to the source track wins over the element number.
    const MXFIdentifier linkedReference(linkedMultiple, MXFIdentifierTypeStrongRef);
    EXPECT_EQ(channels(file->lookupDescriptor(linkedReference, 0x16010100, 0, 7)), 8);
    // A plain descriptor is the answer as it is.
    EXPECT_EQ(channels(file->lookupDescriptor(MXFIdentifier(wave2, MXFIdentifierTypeStrongRef),
                                              0x16010105)),
              4);
}

TEST(MXFFileTest, TracksWhoseEssenceIsElsewhereAreDropped) {
    // An OP-Atom audio file of a clip: the material package names the picture and two sound
    // tracks; this file holds the second sound track's essence only.
    Header header;
    const Bytes source = umid(0xE0);
    const Bytes elsewhere = umid(0xE1);
    header.package(0x36, umid(0xD0),
                   {header.timecodeTrack(1, rational(25, 1), 45000, 25, false),
                    header.clipTrack(2, kLegacyPicture, rational(25, 1), 50, elsewhere, 1),
                    header.clipTrack(3, kSound, rational(48000, 1), 96000, elsewhere, 1),
                    header.clipTrack(4, kSound, rational(48000, 1), 96000, source, 1)});
    header.package(0x37, source,
                   {header.track(1, 0x16010101, kSound, rational(48000, 1), 96000, uuid(0xF0))},
                   header.sound(1, 24, 0, 3));
    auto file = analyzed(fileWithHeader(header));
    EXPECT_EQ(file->type(), MediaTypeAudio);
    ASSERT_EQ(file->audioTrackCount(), 1);
    const auto audio = file->firstAudioTrack();
    EXPECT_EQ(audio->trackNumber(), 2);  // the clip's second sound track
    EXPECT_EQ(audio->sourceTrackID(), 4);
    EXPECT_EQ(audio->audioChannelCount(), 1u);
    EXPECT_EQ(audio->timeRange().duration, CMTimeMake(2, 1));
    EXPECT_EQ(file->fileTimecode()->timecodeString(0), "00:30:00:00");
}

TEST(MXFFileTest, ReferenceLoopsEndTheAnalysisCleanly) {
    // A sequence that is its own component, a track that is its own sequence, a source clip
    // naming the material package, a MultipleDescriptor inside itself.
    Header header;
    const Bytes loopSequence = uuid(200);
    const Bytes loopTrack = uuid(201);
    header.sets = concat(
        {header.sets,
         metadataSet(0x0F, {localItem(0x3C0A, loopSequence), localItem(0x0201, keyBytes(kPicture)),
                            localItem(0x1001, batch({loopSequence}, 16))}),
         metadataSet(0x3B, {localItem(0x3C0A, loopTrack), localItem(0x4801, be32(9)),
                            localItem(0x4803, loopTrack)}),
         metadataSet(0x3B, {localItem(0x3C0A, uuid(202)), localItem(0x4801, be32(10)),
                            localItem(0x4803, loopSequence)}),
         metadataSet(0x44,
                     {localItem(0x3C0A, uuid(203)), localItem(0x3F01, batch({uuid(203)}, 16))})});
    const Bytes material = umid(0xD0);
    header.package(
        0x36, material,
        {loopTrack, uuid(202), header.clipTrack(2, kPicture, rational(25, 1), 50, material, 2),
         header.timecodeTrack(1, rational(25, 1), 25, 25, false)});
    header.package(0x37, umid(0xE0), {}, uuid(203));
    auto file = analyzed(fileWithHeader(header));
    EXPECT_EQ(file->videoTrackCount(), 0);
    EXPECT_EQ(file->audioTrackCount(), 0);
    ASSERT_NE(file->fileTimecode(), nullptr);
    EXPECT_EQ(file->fileTimecode()->timecodeString(0), "00:00:01:00");
    EXPECT_EQ(
        file->lookupDescriptor(MXFIdentifier(uuid(203), MXFIdentifierTypeStrongRef), 0x15010500),
        nullptr);
}

// A header partition that claims a previous partition, only open partitions, no index segment:
// no tracks and the caution picture (the log lines are MXFFileStructureTest's).
TEST(MXFFileTest, BrokenStructureGivesNoTracksAndTheCautionPicture) {
    Log::setStandardErrorEnabled(false);
    for (int broken = 0; broken < 3; ++broken) {
        SCOPED_TRACE(broken);
        MXFTestFile builder;
        builder.addPartition(2, broken == 1 ? 1 : 4, 1);
        builder.addHeaderSets(clipHeader(1).sets);
        if (broken != 2) builder.addIndexSegment({0});
        builder.addEssenceElement(10);
        Bytes bytes = builder.finish(broken != 0);
        if (broken == 0) {
            test::patch64(bytes,
                          MXFTestFile::packFieldOffset(builder.partitions()[0],
                                                       MXFTestFile::kPreviousPartition),
                          1);
        }
        auto file = analyzed(bytes);
        EXPECT_TRUE(file->tracks().empty());
        EXPECT_EQ(file->thumbnail().resourceName,
                  MediaObject::defaultThumbnailWarning().resourceName);
    }
    Log::setStandardErrorEnabled(true);
}

TEST(MXFFileTest, EveryCutAndLengthPastTheEndEndsCleanly) {
    Log::setStandardErrorEnabled(false);
    const Bytes whole = fileWithHeader(clipHeader(2));
    for (size_t cut = 0; cut < whole.size(); ++cut) {
        auto file = analyzed(Bytes(whole.begin(), whole.begin() + std::ptrdiff_t(cut)));
        EXPECT_LE(file->tracks().size(), 4u);
    }
    // Every length byte of every item of the header set to claim past the end, one at a time.
    for (size_t at = 0; at < whole.size(); ++at) {
        Bytes broken = whole;
        broken[at] = 0xFF;
        auto file = analyzed(broken);
        EXPECT_LE(file->tracks().size(), 4u);
    }
    Log::setStandardErrorEnabled(true);
}

TEST(MXFFileTest, UnknownKeysAndTagsAreSkipped) {
    Header header = clipHeader(1);
    // A dark set of a private key and an unknown tag inside a known set.
    header.sets =
        concat({test::klv("06.0E.2B.34.02.53.01.01.0E.04.01.01.01.01.01.00", Bytes(40, 0xAB), 3),
                header.sets});
    header.add(0x30, {localItem(0xFF01, Bytes(3, 1)), localItem(0x3C01, utf16("ARRI"))});
    auto file = analyzed(fileWithHeader(header));
    EXPECT_EQ(file->videoTrackCount(), 1);
    EXPECT_EQ(file->audioTrackCount(), 1);
    EXPECT_EQ(file->fileTimecode()->timecodeString(0), "01:00:00:00");
    EXPECT_EQ(file->manufacturer(), "Sony");  // the first Identification set
}

TEST(MXFFileTest, ClassTestsAndSplitCanonClips) {
    EXPECT_TRUE(MXFFile::isSupportedURL("/a/b/C0001.mxf"));
    EXPECT_TRUE(MXFFile::isSupportedURL("A001.MXF"));
    EXPECT_FALSE(MXFFile::isSupportedURL("A001.MXF.xml"));
    EXPECT_EQ(MXFFile::initWithURL("/nonexistent/clip.mxf"), nullptr);

    test::ScratchFolder scratch;
    const auto folder = scratch / "AA0012";
    std::filesystem::create_directory(folder);
    const Bytes bytes = fileWithHeader(clipHeader(1));
    const std::string content(bytes.begin(), bytes.end());
    for (const char* name : {"AA001201.MXF", "AA001202.MXF", "AA001203.MXF", ".AA001200.MXF"})
        test::writeFile(folder / name, content);
    std::string clipInfo(64, '\0');
    clipInfo[0] = 'C';
    clipInfo[1] = 'I';
    clipInfo[59] = 3;
    test::writeFile(folder / "AA0012.CIF", clipInfo);
    const auto spanned = MXFFile::spannedFilesForURL(folder / "AA001202.MXF");
    ASSERT_TRUE(spanned.has_value());
    EXPECT_EQ(*spanned,
              (std::vector<std::filesystem::path>{folder / "AA001201.MXF", folder / "AA001202.MXF",
                                                  folder / "AA001203.MXF"}));
    // A clip recorded into one file, a foreign clip-info file, a clip outside its folder.
    clipInfo[59] = 1;
    test::writeFile(folder / "AA0012.CIF", clipInfo);
    EXPECT_FALSE(MXFFile::spannedFilesForURL(folder / "AA001202.MXF").has_value());
    clipInfo[59] = 3;
    clipInfo[0] = 'X';
    test::writeFile(folder / "AA0012.CIF", clipInfo);
    EXPECT_FALSE(MXFFile::spannedFilesForURL(folder / "AA001202.MXF").has_value());
    EXPECT_FALSE(MXFFile::spannedFilesForURL(scratch / "AA001202.MXF").has_value());
}

TEST(MXFFileTest, XMLMetadataIsDescribed) {
    // An XML metadata item in the header metadata becomes "XMLRawData".
    Header header = clipHeader(0);
    header.sets = concat(
        {header.sets, test::klv("06.0E.2B.34.01.01.01.05.03.01.02.20.01.00.00.00",
                                Bytes{'<', 'a', '>', '<', 'b', '/', '>', '<', '/', 'a', '>'}, 3)});
    auto file = analyzed(fileWithHeader(header));
    ASSERT_TRUE(file->metaDataValue(kXMLRawData).has_value());
    EXPECT_NE(file->extendedMetaDescription(1).find("<b />"), std::string::npos);
    EXPECT_EQ(analyzed(fileWithHeader(clipHeader(0)))->extendedMetaDescription(1), "");
}

// Sony and Canon cameras describe the clip in XML beside it: the card's index names the clip's
// own document, which names the device more exactly than the Identification set.
TEST(MXFFileTest, CameraClipXMLBesideTheClip) {
    test::ScratchFolder card;
    std::filesystem::create_directories(card / "Clip");
    const auto clip = card / "Clip" / "C0001.MXF";
    const auto analyzedAt = [](const std::filesystem::path& path, const Header& header) {
        auto file = MXFFile::fileWithReader(path, FileReader::fromBuffer(fileWithHeader(header)));
        file->analyzeMXF();
        return file;
    };

    test::writeFile(card / "MEDIAPRO.XML", test::sonyMediaProfileDocument());
    test::writeFile(card / "Clip" / "C0001M01.XML", test::sonyClipDocument());
    auto sony = analyzedAt(clip, clipHeader(0));
    EXPECT_EQ(sony->modelname(), "ILCE-7SM3");
    EXPECT_EQ(sony->serialnumber(), "5012345");
    EXPECT_EQ(sony->metaDataString(kXMLMetaDataURL), (card / "Clip" / "C0001M01.XML").string());
    EXPECT_EQ(sony->metaDataString(kProxyURL), (card / "Sub" / "C0001S03.MXF").string());
    // Another maker's clip in the same place is not read as Sony's.
    auto other = analyzedAt(clip, clipHeader(0, 90000, 25, false, rational(25, 1), "Arri", "X"));
    EXPECT_EQ(other->modelname(), "X");
    EXPECT_FALSE(other->metaDataValue(kXMLMetaDataURL));

    test::writeFile(card / "Clip" / "C0001.XML", test::canonClipDocument());
    auto canon = analyzedAt(
        clip, clipHeader(0, 90000, 25, false, rational(25, 1), "Canon", "EOS C300 Mark II"));
    EXPECT_EQ(canon->serialnumber(), "123456789012");
    EXPECT_EQ(canon->metaDataString(kXMLMetaDataURL), (card / "Clip" / "C0001.XML").string());
}

}  // namespace
}  // namespace vorlane
