// MP3 files: ID3 tags of our own reading against what ffmpeg wrote and exiftool reads, and the
// timecode words recorders leave in them.
#include <gtest/gtest.h>

#include "formats/asset/ID3Tag.h"
#include "formats/asset/MP3File.h"
#include "formats/asset/MediaTools.h"
#include "mediagen/MovieWriter.h"
#include "platform/FileReader.h"
#include "support/TestSupport.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

std::filesystem::path writeMp3(const test::ScratchFolder& folder, const std::string& name,
                               mediagen::MetadataItems tags, bool withId3v1) {
    mediagen::Mp3Options options;
    options.path = folder / name;
    options.source = folder / "tone.wav";
    if (!std::filesystem::exists(options.source)) test::writeStereoTone(options.source, 1.0);
    options.tags = std::move(tags);
    options.withId3v1 = withId3v1;
    std::string error;
    EXPECT_TRUE(mediagen::writeMp3(options, &error)) << error;
    return options.path;
}

std::shared_ptr<MP3File> analyzed(const std::filesystem::path& path) {
    auto file = std::make_shared<MP3File>(path);
    file->analyzeWithOptions({{kAnalyzeCreateThumbnail, true}});
    return file;
}

std::vector<uint8_t> bytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

// An ID3v2 tag header and body: version, flags, frames given as finished bytes.
std::string id3v2(uint8_t version, uint8_t flags, const std::string& body) {
    std::string tag = "ID3";
    tag += char(version);
    tag += '\0';
    tag += char(flags);
    const size_t size = body.size();
    tag += char((size >> 21) & 0x7f);
    tag += char((size >> 14) & 0x7f);
    tag += char((size >> 7) & 0x7f);
    tag += char(size & 0x7f);
    return tag + body;
}

std::string frame24(const std::string& id, const std::string& body, uint8_t formatFlags = 0) {
    const size_t size = body.size();
    std::string frame = id;
    frame += char((size >> 21) & 0x7f);
    frame += char((size >> 14) & 0x7f);
    frame += char((size >> 7) & 0x7f);
    frame += char(size & 0x7f);
    frame += '\0';
    frame += char(formatFlags);
    return frame + body;
}

std::optional<ID3v2Tag> readV2(const std::string& bytes) {
    const auto data = bytesOf(bytes);
    auto reader = FileReader::fromBuffer(data);
    return readID3v2Tag(*reader);
}

TEST(MP3File, TimecodeFromTheID3v2Album) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    test::ScratchFolder folder;
    const auto path = writeMp3(folder, "take.mp3",
                               {{"album", "TC=01:00:00:00 FR=25 SC=12A TK=3 TAPE=R7"},
                                {"artist", "Recorder"},
                                {"title", "T001"}},
                               false);
    const auto file = analyzed(path);
    const auto timecode = file->fileTimecode();
    ASSERT_TRUE(timecode);
    EXPECT_EQ(timecode->timecodeString(TCOptionWrap24h), "01:00:00:00");
    EXPECT_EQ(timecode->frameRate(), 25.0);
    EXPECT_FALSE(timecode->dropFrame());
    EXPECT_EQ(file->scene(), "12A");
    EXPECT_EQ(file->take(), "3");
    EXPECT_EQ(file->reel(), "R7");
    const auto audio = file->firstAudioTrack();
    ASSERT_TRUE(audio);
    EXPECT_EQ(audio->audioBitDepth(), 16u);
    EXPECT_EQ(audio->audioBytesPerFrame(), 4u);
}

TEST(MP3File, ID3v1IsUsedWhenTheID3v2FramesNameNoTimecode) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    test::ScratchFolder folder;
    const auto path =
        writeMp3(folder, "v1.mp3",
                 {{"title", "TC=10:20:30;04"}, {"artist", "FR=29.97DF"}, {"album", "TK=9"}}, true);
    // The ID3v2 frames carry the same words; hide them so only the ID3v1 tag can answer.
    std::string bytes = test::readFile(path);
    const auto found = bytes.find("TC=");
    ASSERT_NE(found, std::string::npos);
    bytes[found] = 'X';
    test::writeFile(path, bytes);

    const auto file = analyzed(path);
    const auto timecode = file->fileTimecode();
    ASSERT_TRUE(timecode);
    EXPECT_EQ(timecode->timecodeString(TCOptionWrap24h), "10:20:30;04");
    EXPECT_DOUBLE_EQ(timecode->frameRate(), 30000.0 / 1001.0);
    EXPECT_TRUE(timecode->dropFrame());
    EXPECT_EQ(file->take(), "9");
}

TEST(MP3File, TagsWithoutTimecodeWords) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    test::ScratchFolder folder;
    const auto path = writeMp3(folder, "plain.mp3", {{"title", "Song"}, {"album", "Album"}}, true);
    const auto file = analyzed(path);
    EXPECT_FALSE(file->hasTimecode());
    EXPECT_FALSE(file->scene());
    auto reader = FileReader::open(path);
    const auto v2 = readID3v2Tag(*reader);
    ASSERT_TRUE(v2);
    EXPECT_EQ(v2->majorVersion, 3);
    EXPECT_EQ(v2->text("TIT2"), "Song");
    EXPECT_EQ(v2->text("TALB"), "Album");
    const auto v1 = readID3v1Tag(*reader);
    ASSERT_TRUE(v1);
    EXPECT_EQ(v1->title, "Song");
    EXPECT_EQ(v1->album, "Album");
}

// Word forms the recorder files above do not show; a timecode word that is no timecode still
// gives a file timecode, at zero.
TEST(MP3File, TimecodeWordForms) {
    EXPECT_EQ(MP3File::findArgument("SC=", "SC= x"), "");
    EXPECT_EQ(MP3File::findArgument("TC=", ""), std::nullopt);
    // Split at single spaces: the word after two spaces is found all the same.
    EXPECT_EQ(MP3File::findArgument("TK=", "a  TK=2"), "2");
    MP3File file("unused.mp3");
    file.parseMP3MetaString("TC=noon ");
    ASSERT_TRUE(file.fileTimecode());
    EXPECT_EQ(file.fileTimecode()->frameCount(), 0);
    EXPECT_EQ(file.fileTimecode()->frameRate(), 0.0);
}

// exiftool's test file: an ID3v2.2 tag (three-character frames) and an ID3v1 tag.
TEST(MP3File, HeaderOnlyFixture) {
    VORLANE_REQUIRE_TESTDATA(data);
    VORLANE_REQUIRE_TOOL("exiftool");
    const auto path = data / "headers" / "exiftool_MP3.mp3";
    const auto facts = test::exiftoolFacts(path);
    auto reader = FileReader::open(path);
    const auto v2 = readID3v2Tag(*reader);
    ASSERT_TRUE(v2);
    EXPECT_EQ(v2->majorVersion, 2);
    EXPECT_EQ(v2->text("TALB"), facts["ID3v2_2:Album"].get<std::string>());
    EXPECT_EQ(v2->text("TPE1"), facts["ID3v2_2:Artist"].get<std::string>());
    EXPECT_EQ(v2->text("TIT2"), facts["ID3v2_2:Title"].get<std::string>());
    EXPECT_EQ(v2->text("TCOM"), facts["ID3v2_2:Composer"].get<std::string>());
    EXPECT_EQ(v2->size + 128, facts["File:ID3Size"].get<uint64_t>());  // both tags together
    const auto v1 = readID3v1Tag(*reader);
    ASSERT_TRUE(v1);
    EXPECT_EQ(v1->title, facts["ID3v1:Title"].get<std::string>());
    EXPECT_EQ(v1->artist, facts["ID3v1:Artist"].get<std::string>());
    EXPECT_EQ(v1->album, facts["ID3v1:Album"].get<std::string>());

    const auto file = analyzed(path);
    EXPECT_FALSE(file->hasTimecode());
    file->setAnalyzingFinished();
    EXPECT_TRUE(file->hasBeenAnalyzed());
}

TEST(ID3Tag, Version24EncodingsFlagsAndUnsynchronisation) {
    // Byte order mark, "Té=", the surrogate pair of U+10300, the terminator.
    const std::string utf16 = std::string("\x01\xff\xfe", 3) + std::string("T\0\xe9\0=\0", 6) +
                              std::string("\x00\xd8\x00\xdf", 4) + std::string("\0\0", 2);
    const std::string utf16be = std::string("\x02", 1) + std::string("\0A\0B", 4);
    const std::string utf8 = std::string("\x03", 1) + "Zo\xc3\xab" + std::string("\0second", 7);
    const std::string latin1 = std::string("\x00", 1) + "caf\xe9";
    // A grouped frame with a data length indicator whose text holds an unsynchronised 0xFF.
    const std::string grouped = std::string("\x07", 1) + std::string("\0\0\0\x05", 4) +
                                std::string("\x00\xff\x00", 3) + "x";
    const std::string body = frame24("TIT2", utf16) + frame24("TPE1", utf16be) +
                             frame24("TALB", utf8) + frame24("TCOM", latin1) +
                             frame24("TIT1", grouped, 0x40 | 0x02 | 0x01) +
                             frame24("TIT3", std::string("\x00secret", 7), 0x08) +
                             frame24("TXXX", std::string("\x00k\0v", 4)) +
                             frame24("TIT2", std::string("\x00later", 6)) + std::string(20, '\0');
    const auto tag = readV2(id3v2(4, 0, body));
    ASSERT_TRUE(tag);
    EXPECT_EQ(tag->text("TIT2"), "Té=\xf0\x90\x8c\x80");  // surrogate pair U+10300
    EXPECT_EQ(tag->text("TPE1"), "AB");
    EXPECT_EQ(tag->text("TALB"), "Zoë");
    EXPECT_EQ(tag->text("TCOM"), "café");
    EXPECT_EQ(tag->text("TIT1"),
              "\xc3\xbf"
              "x");                   // Latin-1 0xFF after unsynchronisation
    EXPECT_FALSE(tag->text("TIT3"));  // compressed
    EXPECT_FALSE(tag->text("TXXX"));
}

TEST(ID3Tag, Version23WholeTagUnsynchronisationAndExtendedHeader) {
    std::string frame = "TALB";
    const std::string text = std::string("\x00", 1) +
                             "A\xff"
                             "B";
    frame += std::string("\0\0\0", 3) + char(text.size());
    frame += std::string("\0\0", 2) + text;
    const std::string extended = std::string("\0\0\0\x06", 4) + std::string(6, '\0');
    // Unsynchronised on writing: 0x00 after every 0xFF.
    std::string body = extended + frame;
    std::string unsynchronised;
    for (char c : body) {
        unsynchronised += c;
        if (uint8_t(c) == 0xff) unsynchronised += '\0';
    }
    const auto tag = readV2(id3v2(3, 0x80 | 0x40, unsynchronised));
    ASSERT_TRUE(tag);
    EXPECT_EQ(tag->text("TALB"),
              "A\xc3\xbf"
              "B");
}

TEST(ID3Tag, DamagedTags) {
    // A tag claiming more than the file holds, with a frame cut short: what is whole counts.
    const std::string body = frame24("TIT2", std::string("\x00one", 4)) +
                             frame24("TALB", std::string("\x00two-cut-off", 12));
    std::string bytes = id3v2(4, 0, body + std::string(4000, 'x'));
    bytes.resize(10 + body.size() - 5);
    const auto tag = readV2(bytes);
    ASSERT_TRUE(tag);
    EXPECT_EQ(tag->text("TIT2"), "one");
    EXPECT_FALSE(tag->text("TALB"));
    // Unknown major version: present, no frames.
    const auto future = readV2(id3v2(9, 0, body));
    ASSERT_TRUE(future);
    EXPECT_TRUE(future->textFrames.empty());
}

// A tag claiming far more than the file holds still gives the frames it has; a missing file
// gives nothing. (Files cut inside their tag or frames are seeds of the id3_tags fuzz target.)
TEST(MP3File, DamagedFilesKeepWhatIsWhole) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    test::ScratchFolder folder;
    const auto whole = writeMp3(folder, "whole.mp3", {{"album", "TC=01:00:00:00 FR=25"}}, true);
    std::string bytes = test::readFile(whole);
    bytes[6] = 0x7f;  // the tag now claims about 260 MB; its frames are still whole
    test::writeFile(folder / "huge.mp3", bytes);
    EXPECT_TRUE(analyzed(folder / "huge.mp3")->hasTimecode());
    const auto missing = analyzed(folder / "missing.mp3");
    EXPECT_FALSE(missing->hasTimecode());
    EXPECT_TRUE(missing->tracks().empty());
}

}  // namespace
}  // namespace vorlane
