#include <gtest/gtest.h>

#include "formats/asset/AVFoundationFile.h"
#include "formats/asset/MediaTools.h"
#include "formats/raw/RedFile.h"
#include "platform/DateFields.h"
#include "platform/FileReader.h"
#include "platform/red/R3DHeader.h"
#include "support/TestSupport.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

namespace fs = std::filesystem;

std::string be32(uint32_t v) {
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

// A block of the clip's run: size, type, payload padded to `size`.
std::string block(const std::string& type, uint32_t size) {
    return be32(size) + type + std::string(size - 8, '\0');
}

std::string realHeader(const fs::path& testdata) {
    return test::readFile(testdata / "headers" / "exiftool_Red.r3d");
}

std::optional<R3DHeader> headerOf(const std::string& bytes) {
    auto reader =
        FileReader::fromBuffer({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
    return R3DHeaderReader::read(*reader);
}

TEST(RedFileTest, TheRealHeaderGivesTimecodeSizeRateAndCamera) {
    VORLANE_REQUIRE_TESTDATA(testdata);
    const fs::path path = testdata / "headers" / "exiftool_Red.r3d";
    auto file = std::make_shared<RedFile>(path);
    file->analyzeWithOptions({{kAnalyzeCreateThumbnail, true}});
    const auto timecode = file->fileTimecode();
    ASSERT_TRUE(timecode);
    // The values the test data's notes give.
    EXPECT_EQ(timecode->timecodeString(TCOptionNone), "21:36:16:18");
    EXPECT_EQ(timecode->frameRate(), 24000.0 / 1001);
    EXPECT_FALSE(timecode->dropFrame());
    const auto video = file->firstVideoTrack();
    ASSERT_TRUE(video);
    EXPECT_EQ(video->videoSize().width, 5120);
    EXPECT_EQ(video->videoSize().height, 2560);
    EXPECT_EQ(file->reel(), "106");
    const auto items = file->metaDataValue(kMFRedMetaData);
    ASSERT_TRUE(items && items->dictionary());
    EXPECT_EQ(metadataString(*items->dictionary(), "take"), "037");
    EXPECT_EQ(file->manufacturer(), "RED");
    EXPECT_EQ(file->thumbnail().resourceName, kVideoCodecUnavailableImage);
    EXPECT_LT(file->bytesRead(), 4096u);

    // And what exiftool reads from the same header.
    VORLANE_REQUIRE_TOOL("exiftool");
    const auto facts = test::exiftoolFacts(path, false);
    EXPECT_EQ(timecode->timecodeString(TCOptionNone), facts["Red:StartTimecode"]);
    EXPECT_EQ(file->modelname(), facts["Red:Model"]);
    EXPECT_EQ(file->serialnumber(), facts["Red:SerialNumber"]);
    EXPECT_EQ(file->firmware(), facts["Red:FirmwareVersion"]);
    const std::string created = facts["Red:DateCreated"].get<std::string>() + " " +
                                facts["Red:TimeCreated"].get<std::string>();
    EXPECT_EQ(created, "2016:01:18 21:35:55");
    EXPECT_EQ(*file->metaDataValue(kOriginalCreationDate)->date(),
              (DateFields{2016, 1, 18, 21, 35, 55}.localDate()));
}

TEST(RedFileTest, FramesAreCountedByTheIndexBlockElseByTheVideoBlocks) {
    VORLANE_REQUIRE_TESTDATA(testdata);
    const std::string header = realHeader(testdata);
    const std::string frames = block("REDV", 4096) + block("REDA", 512) + block("REDV", 4096);
    EXPECT_EQ(headerOf(header)->frameCount, 0u);
    EXPECT_EQ(headerOf(header + frames)->frameCount, 2u);
    // Version 2 blocks start on 4 KiB boundaries: padding before the next block is skipped.
    const std::string padded = header + std::string(4096 - header.size(), '\0') + frames;
    EXPECT_EQ(headerOf(padded)->frameCount, 2u);
    // The closing index block counts the frames without walking the clip.
    std::string index = be32(56) + "REOB" + std::string(16, '\0') + be32(240);
    index += std::string(56 - index.size(), '\0');
    const auto indexed = headerOf(header + frames + index);
    EXPECT_EQ(indexed->frameCount, 240u);

    test::ScratchFolder folder;
    test::writeFile(folder / "clip.R3D", header + frames + index);
    auto file = std::make_shared<RedFile>(folder / "clip.R3D");
    file->analyzeWithOptions({});
    EXPECT_EQ(file->duration(), CMTimeMake(240 * 1001, 24000));
}

TEST(RedFileTest, DamagedHeadersEndTheirReadingCleanly) {
    VORLANE_REQUIRE_TESTDATA(testdata);
    const std::string header = realHeader(testdata);
    const auto complete = headerOf(header);
    ASSERT_TRUE(complete);
    for (size_t length = 0; length < header.size(); ++length) {
        const auto cut = headerOf(header.substr(0, length));
        if (!cut) continue;
        EXPECT_LE(cut->metadata.size(), complete->metadata.size());
        // An item cut by the end is left out, never read in part.
        for (const auto& [key, value] : cut->metadata)
            EXPECT_EQ(value, complete->metadataValue(key)) << key << " at length " << length;
    }
    // A block size beyond any header, and a file that is no clip.
    std::string huge = header;
    huge.replace(0, 4, be32(0x7fffffff));
    EXPECT_FALSE(headerOf(huge));
    EXPECT_FALSE(headerOf("RIFF....WAVE"));
    test::ScratchFolder folder;
    test::writeFile(folder / "broken.R3D", "not a clip at all");
    auto file = std::make_shared<RedFile>(folder / "broken.R3D");
    file->analyzeWithOptions({});
    EXPECT_EQ(file->tracks().size(), 0u);
}

TEST(RedFileTest, ASplitClipIsOnlyAFolderNamedAfterTheClip) {
    test::ScratchFolder folder;
    const fs::path clip = folder / "A106_C037_0118G5.RDC";
    const fs::path other = folder / "Card1";
    for (const fs::path& where : {clip, other}) {
        fs::create_directories(where);
        for (const char* part : {"_001.R3D", "_002.R3D", "_003.R3D"})
            test::writeFile(where / (std::string("A106_C037_0118G5") + part), "R3D");
    }
    test::writeFile(clip / "A106_C037_0118G5.RMD", "look");
    const auto parts = RedFile::spannedFilesForURL(clip / "A106_C037_0118G5_002.R3D");
    ASSERT_TRUE(parts);
    ASSERT_EQ(parts->size(), 3u);
    EXPECT_EQ(parts->front().filename(), "A106_C037_0118G5_001.R3D");
    EXPECT_EQ(parts->back().filename(), "A106_C037_0118G5_003.R3D");
    EXPECT_FALSE(RedFile::spannedFilesForURL(other / "A106_C037_0118G5_002.R3D"));
    fs::remove(clip / "A106_C037_0118G5_002.R3D");
    fs::remove(clip / "A106_C037_0118G5_003.R3D");
    EXPECT_FALSE(RedFile::spannedFilesForURL(clip / "A106_C037_0118G5_001.R3D"));
}

}  // namespace
}  // namespace vorlane
