#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "formats/quicktime/AtomBytes.h"
#include "formats/quicktime/QtMetadataReader.h"
#include "platform/ByteOrder.h"
#include "platform/Log.h"
#include "support/LogCapture.h"
#include "support/TestSupport.h"

namespace vorlane {
namespace {

namespace fs = std::filesystem;
using test::atom;
using test::be16;
using test::be32;
using test::be64;
using test::fullBox;

std::unique_ptr<QtAtomReader> readerFor(const std::string& bytes) {
    return QtAtomReader::initWithReader(
        FileReader::fromBuffer({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}));
}

using test::LogCapture;

const MetadataItem* find(const std::vector<MetadataItem>& items, const std::string& key) {
    for (const MetadataItem& item : items)
        if (item.key == key) return &item;
    return nullptr;
}

std::string text(const std::vector<MetadataItem>& items, const std::string& key) {
    const MetadataItem* item = find(items, key);
    if (!item) return "<none>";
    return metadataItemText(*item).value_or("<no text>");
}

const std::string kQuickTimeType = atom("ftyp", "qt  " + be32(0x200) + "qt  ");
const std::string kMovieHeader = atom("mvhd", std::string(100, '\0'));

// Text encodings, value types and data items exiftool's test movie does not have.
TEST(QtMetadataReaderTest, UserDataItemsAndMetadataKeys) {
    const std::string userData =
        atom("\xA9mak", test::userDataText("Canon")) +
        atom("\xA9mod", test::userDataText("FX6 \xC3\xA9t\xC3\xA9", 0x15C7)) +  // "eng", UTF-8
        atom("CNCV", "CanonAVC0002/02.00" + std::string(6, '\0')) + be32(0);
    const std::string keys = test::metadataKeysAtom(
        {{"com.apple.quicktime.make", 1, "Apple"},
         {"com.apple.quicktime.model", 2, std::string("\0i\0P\0h\0o\0n\0e\xD8\x3D\xDE\x00", 16)},
         {"com.example.count", 21, be16(uint16_t(-2))},
         {"com.example.gain", 23, be32(0x3FC00000)},
         {"com.example.blob", 0, std::string("\x01\x02", 2)}},
        false);
    auto reader =
        readerFor(kQuickTimeType + atom("moov", kMovieHeader + atom("udta", userData) + keys));
    ASSERT_TRUE(reader);
    QtMetadataReader metadata(*reader);
    EXPECT_EQ(metadata.majorBrand(), fourCC("qt  "));
    const auto items = metadata.metadataItems();
    ASSERT_EQ(items.size(), 8u);

    const MetadataItem* make = find(items, "\xC2\xA9mak");
    ASSERT_TRUE(make);
    EXPECT_EQ(make->format, kMetadataFormatQuickTimeUserData);
    EXPECT_EQ(make->keySpace, "udta");
    EXPECT_EQ(make->identifier, "udta/%A9mak");
    EXPECT_EQ(make->stringValue, "Canon");
    EXPECT_EQ(text(items, "\xC2\xA9mod"), "FX6 \xC3\xA9t\xC3\xA9");
    const MetadataItem* encoder = find(items, "CNCV");
    ASSERT_TRUE(encoder && encoder->dataValue);
    EXPECT_FALSE(encoder->stringValue);
    EXPECT_EQ(encoder->dataValue->size(), 24u);
    EXPECT_EQ(text(items, "CNCV"), "CanonAVC0002/02.00");

    const MetadataItem* apple = find(items, "com.apple.quicktime.make");
    ASSERT_TRUE(apple);
    EXPECT_EQ(apple->format, kMetadataFormatQuickTimeMetadata);
    EXPECT_EQ(apple->identifier, "mdta/com.apple.quicktime.make");
    EXPECT_EQ(apple->stringValue, "Apple");
    EXPECT_EQ(text(items, "com.apple.quicktime.model"), "iPhone\xF0\x9F\x98\x80");
    EXPECT_EQ(text(items, "com.example.count"), "-2");
    EXPECT_EQ(text(items, "com.example.gain"), "1.5");
    EXPECT_EQ(find(items, "com.example.blob")->dataValue, (std::vector<uint8_t>{1, 2}));
}

TEST(QtMetadataReaderTest, UserDataOfMPEG4FilesAndMetadataInUserData) {
    const std::string keys =
        test::metadataKeysAtom({{"com.arri.camera.CameraModel", 1, "ALEXA Mini"}}, true);
    const std::string bytes =
        atom("ftyp", "mp41" + be32(0) + "mp41isom") +
        atom("moov", kMovieHeader + atom("udta", atom("FIRM", "HD4.02") + keys));
    auto reader = readerFor(bytes);
    const auto items = QtMetadataReader(*reader).metadataItems();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].format, kMetadataFormatISOUserData);
    EXPECT_EQ(text(items, "FIRM"), "HD4.02");
    EXPECT_EQ(items[1].format, kMetadataFormatQuickTimeMetadata);
    EXPECT_EQ(text(items, "com.arri.camera.CameraModel"), "ALEXA Mini");
    // A `meta` of another handler holds no metadata keys.
    const std::string itunes =
        atom("meta",
             atom("hdlr", be32(0) + be32(0) + "mdir" + std::string(12, '\0')) + atom("ilst", ""));
    auto other = readerFor(kQuickTimeType + atom("moov", itunes));
    EXPECT_TRUE(QtMetadataReader(*other).metadataItems().empty());
}

// Damaged metadata atoms (the quicktime_metadata fuzz target adds cut and random ones).
TEST(QtMetadataReaderTest, DamageEndsTheReadingOfThatAtom) {
    LogCapture log;
    // The second item claims more than the user data holds: the first stays, the metadata keys
    // after the user data are still read.
    const std::string userData =
        atom("\xA9mak", test::userDataText("Sony")) + be32(4000) + "\xA9mod" + "FX3";
    const std::string keys =
        test::metadataKeysAtom({{"com.apple.quicktime.model", 1, "FX3"}}, false);
    auto reader = readerFor(kQuickTimeType + atom("moov", atom("udta", userData) + keys));
    const auto items = QtMetadataReader(*reader).metadataItems();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(text(items, "\xC2\xA9mak"), "Sony");
    EXPECT_EQ(text(items, "com.apple.quicktime.model"), "FX3");
    EXPECT_TRUE(log.contains("AtomSeekError Index beyond bounds"));

    // A key list claiming more keys than it holds, an item naming a key that does not exist,
    // and a data atom shorter than its type and locale words.
    std::string broken = test::metadataKeysAtom({{"a.b", 1, "x"}}, false);
    const size_t count = broken.find("keys") + 8;
    broken.replace(count, 4, be32(1000000));
    auto many = readerFor(kQuickTimeType + atom("moov", broken));
    EXPECT_EQ(QtMetadataReader(*many).metadataItems().size(), 1u);
    const std::string wrongIndex =
        atom("meta", atom("hdlr", be32(0) + be32(0) + "mdta" + std::string(12, '\0')) +
                         atom("keys", be32(0) + be32(1) + be32(11) + "mdta" + "a.b") +
                         atom("ilst", atom(be32(7), atom("data", be32(1) + be32(0) + "x")) +
                                          atom(be32(1), atom("data", "12"))));
    auto shortData = readerFor(kQuickTimeType + atom("moov", wrongIndex));
    EXPECT_TRUE(QtMetadataReader(*shortData).metadataItems().empty());

    // A user-data child whose size field is below 8.
    auto tiny = readerFor(kQuickTimeType + atom("moov", atom("udta", be32(3) + "\xA9mak" + "x")));
    EXPECT_TRUE(QtMetadataReader(*tiny).metadataItems().empty());
}

TEST(QtMetadataReaderTest, SizeClaimsBeyondTheFile) {
    LogCapture log;
    const std::string userData = atom("udta", atom("\xA9mak", test::userDataText("Sony")) +
                                                  atom("\xA9mod", test::userDataText("FX3")));
    // A movie atom claiming gigabytes in a file of a few hundred bytes, whose user data is cut
    // by the end of the file.
    const std::string cut = kQuickTimeType + be32(0xF0000000) + "moov" + kMovieHeader +
                            userData.substr(0, userData.size() - 3);
    auto reader = readerFor(cut);
    const auto items = QtMetadataReader(*reader).metadataItems();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(text(items, "\xC2\xA9mak"), "Sony");
    EXPECT_LE(reader->fileHandle()->bytesRead(), cut.size());

    // Nesting: user data inside user data is an item like any other, not followed.
    std::string nested = atom("udta", atom("\xA9mak", test::userDataText("Deep")));
    for (int i = 0; i < 100; ++i)
        nested = atom("udta", nested);
    const auto deep =
        QtMetadataReader(*readerFor(kQuickTimeType + atom("moov", nested))).metadataItems();
    ASSERT_EQ(deep.size(), 1u);
    EXPECT_EQ(deep[0].key, "udta");
}

TEST(QtMetadataReaderTest, EmbeddedXMLAfterTheFileTypeOfItsBrand) {
    const std::string document = "<NonRealTimeMeta/>";
    const std::string xavc = atom("ftyp", "XAVC" + be32(0x100) + "XAVCmp42iso2");
    const std::string movie = atom("moov", kMovieHeader);
    auto reader = readerFor(xavc + test::xmlMetaBox(document) + atom("mdat", "x") + movie);
    QtMetadataReader metadata(*reader);
    const auto found = metadata.xmlMetaForFileType(fourCC("XAVC"));
    ASSERT_TRUE(found);
    EXPECT_EQ(std::string(found->begin(), found->end()), document);
    EXPECT_FALSE(metadata.xmlMetaForFileType(fourCC("mp42")));

    // At the end of the file, after the movie.
    auto atEnd = readerFor(xavc + atom("mdat", "x") + movie + test::xmlMetaBox(document));
    EXPECT_TRUE(QtMetadataReader(*atEnd).xmlMetaForFileType(fourCC("XAVC")));
    // A `meta` before the file type is not looked at; one without `xml ` gives nothing.
    auto before = readerFor(test::xmlMetaBox(document) + xavc + movie);
    EXPECT_FALSE(QtMetadataReader(*before).xmlMetaForFileType(fourCC("XAVC")));
    auto empty = readerFor(xavc + fullBox("meta", fullBox("hdlr", std::string(21, '\0'))));
    EXPECT_FALSE(QtMetadataReader(*empty).xmlMetaForFileType(fourCC("XAVC")));
    // An `xml ` box whose size runs past the file.
    std::string cut = xavc + test::xmlMetaBox(document);
    cut.resize(cut.size() - 4);
    const auto partial = QtMetadataReader(*readerFor(cut)).xmlMetaForFileType(fourCC("XAVC"));
    ASSERT_TRUE(partial);
    EXPECT_EQ(std::string(partial->begin(), partial->end()),
              document.substr(0, document.size() - 4));
    EXPECT_FALSE(QtMetadataReader(*readerFor("")).xmlMetaForFileType(fourCC("XAVC")));
}

// exiftool's test movie: metadata keys, Mac Roman user-data texts.
TEST(QtMetadataReaderTest, ExiftoolTestMovie) {
    VORLANE_REQUIRE_TESTDATA(testdata);
    VORLANE_REQUIRE_TOOL("exiftool");
    const fs::path movie = testdata / "headers" / "exiftool_QuickTime.mov";
    const auto facts =
        nlohmann::json::parse(test::runTool({"exiftool", "-j", "-G1", "-a", movie.string()}))[0];
    auto reader = QtAtomReader::initWithURL(movie);
    ASSERT_TRUE(reader);
    const auto items = QtMetadataReader(*reader).metadataItems();
    const std::string copyright = "\xC2\xA9";  // the (c) that starts user-data keys
    for (const auto& [key, tag] : std::vector<std::pair<std::string, std::string>>{
             {"com.apple.quicktime.album", "Keys:Album"},
             {"com.apple.quicktime.artist", "Keys:Artist"},
             {"com.apple.quicktime.comment", "Keys:Comment"},
             {copyright + "alb", "UserData:Album"},
             {copyright + "ART", "UserData:Artist"},
             {copyright + "com", "UserData:Composer"},
             {copyright + "gen", "UserData:Genre"},
             {copyright + "fmt", "UserData:Format"},
             {copyright + "inf", "UserData:Information"}})
        EXPECT_EQ(text(items, key), facts[tag]) << key;
    EXPECT_EQ(find(items, copyright + "alb")->format, kMetadataFormatQuickTimeUserData);
}

// Writes `head` at the start of a sparse file and `tail` at `tailAt`; the bytes between are a
// hole.
void writeSparse(const fs::path& path, const std::string& head, uint64_t tailAt,
                 const std::string& tail) {
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, head.data(), head.size(), 0), ssize_t(head.size()));
    ASSERT_EQ(::pwrite(fd, tail.data(), tail.size(), off_t(tailAt)), ssize_t(tail.size()));
    ::close(fd);
}

// A 4 GiB movie (its media data a hole in a sparse file, behind a 64-bit size) with the movie
// atom at the end: indexing reads the atom headers, loading an atom reads that atom, and the
// metadata costs a few headers and the metadata atoms, not the media.
TEST(QtMetadataReaderTest, FourGigabyteFileReadsAFewHeaders) {
    test::ScratchFolder folder;
    const fs::path path = folder / "big.mp4";
    const uint64_t mediaSize = (4ull << 30) + 16;
    const std::string head =
        atom("ftyp", "XAVC" + be32(0) + "XAVCmp42") + be32(1) + "mdat" + be64(mediaSize);
    const std::string tail =
        atom("moov", kMovieHeader + atom("trak", atom("tkhd", std::string(84, '\0'))) +
                         atom("udta", atom("\xA9mak", test::userDataText("Sony")))) +
        test::xmlMetaBox("<NonRealTimeMeta/>");
    writeSparse(path, head, head.size() - 16 + mediaSize, tail);
    auto reader = QtAtomReader::initWithURL(path);
    ASSERT_TRUE(reader);
    ASSERT_EQ(reader->atomHeaders().size(), 4u);
    EXPECT_EQ(reader->atomHeaders()[1].size(), mediaSize);
    const uint64_t indexBytes = reader->fileHandle()->bytesRead();
    EXPECT_LE(indexBytes, 4u * 16);
    auto movie = reader->loadAtomWithType(fourCC("moov"));
    ASSERT_TRUE(movie);
    EXPECT_EQ(reader->fileHandle()->bytesRead(), indexBytes + movie->size());

    QtMetadataReader metadata(*reader);
    const auto items = metadata.metadataItems();
    ASSERT_EQ(items.size(), 1u);
    ASSERT_TRUE(metadata.xmlMetaForFileType(fourCC("XAVC")));
    const uint64_t bytesRead = reader->fileHandle()->bytesRead();
    EXPECT_LT(bytesRead, 1024u);
    RecordProperty("bytesRead", std::to_string(bytesRead));
    reader->close();
    EXPECT_FALSE(reader->loadAtomWithType(fourCC("moov")));
}

// User data larger than the reader takes is skipped without being read.
TEST(QtMetadataReaderTest, OversizedUserDataIsSkipped) {
    LogCapture log;
    test::ScratchFolder folder;
    const fs::path path = folder / "large_udta.mov";
    const uint64_t userDataSize = QtMetadataReader::kMaxMetadataAtomSize + 1024;
    const std::string head = kQuickTimeType + be32(uint32_t(8 + userDataSize)) + "moov" +
                             be32(uint32_t(userDataSize)) + "udta" +
                             atom("\xA9mak", test::userDataText("Sony"));
    writeSparse(path, head, kQuickTimeType.size() + 8 + userDataSize - 1, std::string(1, '\0'));
    auto reader = QtAtomReader::initWithURL(path);
    ASSERT_TRUE(reader);
    EXPECT_TRUE(QtMetadataReader(*reader).metadataItems().empty());
    EXPECT_LT(reader->fileHandle()->bytesRead(), 256u);
    EXPECT_TRUE(log.contains("QtMetadataReader: AtomHeader udta"));
}

}  // namespace
}  // namespace vorlane
