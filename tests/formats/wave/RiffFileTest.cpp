#include <gtest/gtest.h>

#include "formats/wave/RiffFile.h"
#include "formats/wave/WavBytes.h"
#include "platform/ByteOrder.h"
#include "support/TestSupport.h"

namespace vorlane {
namespace {

using test::chunk;
using test::fmtPayload;
using test::riff;

std::unique_ptr<RiffFile> parse(const std::string& bytes) {
    return RiffFile::fromReader(
        FileReader::fromBuffer({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}));
}

std::string ids(const RiffFile& file) {
    std::string text;
    for (const auto& c : file.chunks())
        text += (text.empty() ? "" : ",") + fourCCString(c.id);
    return text;
}

// 48 kHz stereo 16-bit: 10 frames of audio, an odd-sized LIST with its pad byte.
std::string plainWave() {
    return riff(chunk("fmt ", fmtPayload(2, 48000, 16)) + chunk("LIST", "INFOabc") +
                chunk("data", std::string(40, '\x11')));
}

TEST(RiffFileTest, OddSizesWithAndWithoutTheirPadByte) {
    // A writer that forgot the pad byte, in the middle and at the very end of the file.
    auto unpadded = parse(riff(chunk("fmt ", fmtPayload(1, 8000, 8)) + chunk("odd ", "xyz", false) +
                               chunk("data", "12345", false)));
    ASSERT_TRUE(unpadded);
    EXPECT_EQ(ids(*unpadded), "fmt ,odd ,data");
    EXPECT_EQ(unpadded->chunks()[1].paddedSize, 3u);
    EXPECT_EQ(unpadded->chunks()[2].availableSize, 5u);
    EXPECT_FALSE(unpadded->damaged());
    EXPECT_EQ(unpadded->sampleFrameCount(), 5u);

    // The same with pad bytes, where the pad byte is the last byte of the file.
    auto padded = parse(riff(chunk("fmt ", fmtPayload(1, 8000, 8)) + chunk("odd ", "xyz") +
                             chunk("data", "12345")));
    ASSERT_TRUE(padded);
    EXPECT_EQ(ids(*padded), "fmt ,odd ,data");
    EXPECT_EQ(padded->chunks()[1].paddedSize, 4u);
    EXPECT_EQ(padded->chunks()[2].paddedSize, 6u);
    EXPECT_FALSE(padded->damaged());
    // Partial payload reads are cut at the payload's end.
    const auto& odd3 = padded->chunks()[1];
    EXPECT_EQ(padded->readPayload(odd3, 1, 100), std::vector<uint8_t>({'y', 'z'}));
    EXPECT_EQ(padded->readPayload(odd3, 3)->size(), 0u);
    EXPECT_FALSE(padded->readPayload(odd3, 4));

    // A non-zero pad byte counts as padding when only the padded position holds a header that
    // fits in the file.
    std::string odd = chunk("odd ", "xyz");
    odd.back() = 'Q';
    auto oddPad = parse(riff(odd + chunk("data", "ab")));
    ASSERT_TRUE(oddPad);
    EXPECT_EQ(ids(*oddPad), "odd ,data");
}

TEST(RiffFileTest, UnknownDataSizeTakesTheRestOfTheFile) {
    // Plain RIFF with 0xFFFFFFFF, as streaming writers leave it.
    auto riffFile = parse(riff(chunk("fmt ", fmtPayload(1, 8000, 16)) +
                                   chunk("data", std::string(20, 'a'), true, 0xFFFFFFFF),
                               "RIFF", 0xFFFFFFFF));
    ASSERT_TRUE(riffFile);
    const RiffChunk* data = riffFile->findChunk(fourCC("data"));
    ASSERT_TRUE(data);
    EXPECT_EQ(data->size, 20u);
    EXPECT_FALSE(data->truncated);
    EXPECT_FALSE(riffFile->damaged());
    EXPECT_EQ(riffFile->sampleFrameCount(), 10u);
}

TEST(RiffFileTest, Rf64SizesComeFromDs64) {
    const std::string body =
        chunk("ds64", test::ds64Payload(0, 24, 6, "big ", 6)) +
        chunk("fmt ", fmtPayload(2, 44100, 16)) + chunk("big ", "123456", true, 0xFFFFFFFF) +
        chunk("data", std::string(24, 'd'), true, 0xFFFFFFFF) + chunk("JUNK", "after");
    std::string bytes = riff(body, "BW64", 0xFFFFFFFF);
    // The RIFF size in ds64: everything after the first eight bytes.
    writeLE64(reinterpret_cast<uint8_t*>(bytes.data()) + 20, bytes.size() - 8);
    auto file = parse(bytes);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->kind(), RiffKind::BW64);
    EXPECT_EQ(ids(*file), "ds64,fmt ,big ,data,JUNK");
    EXPECT_EQ(file->findChunk(fourCC("big "))->size, 6u);
    EXPECT_EQ(file->findChunk(fourCC("data"))->size, 24u);
    EXPECT_EQ(file->sampleFrameCount(), 6u);
    EXPECT_FALSE(file->damaged());

    // A ds64 data size past the end of the file is truncated, not trusted.
    std::string large = riff(chunk("ds64", test::ds64Payload(1ull << 40, 1ull << 40, 0)) +
                                 chunk("data", std::string(8, 'd'), true, 0xFFFFFFFF),
                             "RF64", 0xFFFFFFFF);
    auto huge = parse(large);
    ASSERT_TRUE(huge);
    EXPECT_TRUE(huge->findChunk(fourCC("data"))->truncated);
    EXPECT_EQ(huge->findChunk(fourCC("data"))->availableSize, 8u);

    // A ds64 too short for its fields, and a table claiming more entries than it holds.
    auto shortDs64 =
        parse(riff(chunk("ds64", std::string(10, '\0')) + chunk("data", "ab"), "RF64"));
    ASSERT_TRUE(shortDs64);
    EXPECT_EQ(ids(*shortDs64), "ds64,data");
    std::string table = test::ds64Payload(0, 2, 1, "big ", 4);
    table[24] = '\x7f';
    auto longTable = parse(riff(chunk("ds64", table) + chunk("data", "ab"), "RF64"));
    ASSERT_TRUE(longTable);
    EXPECT_EQ(longTable->findChunk(fourCC("data"))->size, 2u);
}

TEST(RiffFileTest, MalformedFilesAnswerWhatCouldBeRead) {
    // A garbage id ends the scan; what came before stays.
    auto garbage = parse(riff(chunk("fmt ", fmtPayload(1, 8000, 16)) + chunk("d\x01t\x02", "xx") +
                              chunk("data", "abcd")));
    ASSERT_TRUE(garbage);
    EXPECT_EQ(ids(*garbage), "fmt ");
    EXPECT_TRUE(garbage->damaged());
    EXPECT_FALSE(garbage->sampleFrameCount());

    // A `fmt ` shorter than its record gives no format, no duration.
    auto shortFmt = parse(riff(chunk("fmt ", std::string(10, '\1')) + chunk("data", "abcd")));
    ASSERT_TRUE(shortFmt);
    EXPECT_FALSE(shortFmt->waveFormat());
    EXPECT_FALSE(shortFmt->duration());

    // A zero block align or sample rate gives no duration.
    auto zeroRate = parse(riff(chunk("fmt ", fmtPayload(2, 0, 16)) + chunk("data", "abcd")));
    ASSERT_TRUE(zeroRate);
    EXPECT_TRUE(zeroRate->waveFormat());
    EXPECT_FALSE(zeroRate->duration());

    // Not RIFF at all, or shorter than the file header.
    EXPECT_FALSE(parse(""));
    EXPECT_FALSE(parse("RIFF\x04\0\0\0WAV"));
    EXPECT_FALSE(
        parse("FORM\0\0\0\x04"
              "AIFF"));
    auto headerOnly = parse(riff(""));
    ASSERT_TRUE(headerOnly);
    EXPECT_TRUE(headerOnly->chunks().empty());

    // Every prefix of a good file lists a prefix of its chunks and never more.
    const std::string whole = plainWave();
    for (size_t length = 0; length <= whole.size(); ++length) {
        auto file = parse(whole.substr(0, length));
        if (length < 12) {
            EXPECT_FALSE(file);
            continue;
        }
        ASSERT_TRUE(file);
        EXPECT_EQ(std::string("fmt ,LIST,data").rfind(ids(*file), 0), 0u) << length;
        for (const auto& c : file->chunks())
            EXPECT_LE(c.payloadOffset + c.availableSize, length);
    }
}

TEST(RiffFileTest, BytesAfterTheRiffExtent) {
    // An ID3v1 tag appended after the RIFF is not a chunk and no damage.
    const std::string wave = plainWave();
    auto tagged = parse(wave + "TAGSong title" + std::string(115, ' '));
    ASSERT_TRUE(tagged);
    EXPECT_EQ(ids(*tagged), "fmt ,LIST,data");
    EXPECT_FALSE(tagged->damaged());

    // A stale RIFF size (never updated) still lists the well-formed chunks behind it.
    auto stale =
        parse(riff(chunk("fmt ", fmtPayload(2, 48000, 16)) + chunk("data", "abcd"), "RIFF", 4));
    ASSERT_TRUE(stale);
    EXPECT_EQ(ids(*stale), "fmt ,data");
    EXPECT_FALSE(stale->damaged());
}

TEST(RiffFileTest, RecorderFileChunkListFromHeadersOnly) {
    VORLANE_REQUIRE_TESTDATA(testData);
    auto file = RiffFile::open(testData / "bwf/sounddevices/A101_1.WAV");
    ASSERT_TRUE(file);
    EXPECT_EQ(ids(*file), "bext,iXML,fmt ,data");
    EXPECT_FALSE(file->damaged());
    const auto& chunks = file->chunks();
    EXPECT_EQ(chunks[0].payloadOffset, 20u);
    EXPECT_EQ(chunks[0].size, 858u);
    EXPECT_EQ(chunks[1].payloadOffset, 886u);
    EXPECT_EQ(chunks[1].size, 5226u);
    EXPECT_EQ(chunks[2].size, 16u);
    EXPECT_EQ(chunks[3].payloadOffset, 6144u);
    EXPECT_EQ(chunks[3].size, 1441434u);
    EXPECT_EQ(chunks[3].payloadOffset + chunks[3].size, file->fileSize());
    // The file header and four chunk headers, nothing else.
    EXPECT_EQ(file->reader().bytesRead(), 12u + 4 * 8);

    const auto format = file->waveFormat();
    ASSERT_TRUE(format);
    EXPECT_EQ(format->formatTag, RiffFile::kFormatPCM);
    EXPECT_GT(format->sampleRate, 0u);
    EXPECT_EQ(*file->sampleFrameCount() * format->blockAlign,
              1441434u / format->blockAlign * format->blockAlign);
    const auto ixml = file->chunkData(fourCC("iXML"));
    ASSERT_TRUE(ixml);
    EXPECT_NE(std::string(ixml->begin(), ixml->end()).find("BWFXML"), std::string::npos);
}

}  // namespace
}  // namespace vorlane
