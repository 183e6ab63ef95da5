#include <gtest/gtest.h>

#include "formats/quicktime/Atom.h"
#include "formats/quicktime/AtomBytes.h"
#include "formats/quicktime/AtomHeader.h"
#include "platform/ByteOrder.h"

namespace vorlane {
namespace {

std::vector<uint8_t> bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

using test::atom;
using test::be32;

// Short and 64-bit headers are read from every movie of the QuickTime tests, a 64-bit one in
// QtMetadataReaderTest.FourGigabyteFileReadsAFewHeaders.
TEST(AtomHeaderTest, OnlyWholeHeadersAreRead) {
    // Only exactly 8 or 16 bytes, and an extended size needs all 16.
    EXPECT_FALSE(AtomHeader::initWithData(bytes(be32(1) + "mdat")));
    EXPECT_FALSE(AtomHeader::initWithData(bytes("1234567")));
    EXPECT_FALSE(AtomHeader::initWithData(bytes("123456789012")));
    EXPECT_FALSE(AtomHeader::initWithData(bytes(std::string(17, 'a'))));
}

TEST(AtomTest, CursorAndReaders) {
    Atom atom(bytes("\x12\x34\x56\x78\x9a\xbc\xde\xf0"
                    "abcd\x03xyz\x05tail"),
              fourCC("test"));
    EXPECT_EQ(atom.size(), 21u);
    EXPECT_EQ(atom.readUnit8(), 0x12);
    EXPECT_EQ(atom.readUint16(), 0x3456);
    EXPECT_EQ(atom.readFlags(), 0x789abc00u);
    EXPECT_EQ(atom.dataLocation(), 6u);
    atom.seekRelative(-6);
    EXPECT_EQ(atom.readUnit32(), 0x12345678u);
    atom.seekAbsolute(8);
    EXPECT_EQ(atom.readFourCC(), "abcd");
    // The length byte is consumed, the text is not.
    EXPECT_EQ(atom.readString(), "xyz");
    EXPECT_EQ(atom.dataLocation(), 13u);
    atom.seekRelative(3);
    // A string longer than the rest of the payload is cut there.
    EXPECT_EQ(atom.readString(), "tail");
    EXPECT_EQ(atom.readDataWithLength(4), bytes("tail"));
    EXPECT_TRUE(atom.reachedEnd());

    // The end itself is a valid position; one past it is not, and a failed read moves nothing.
    atom.seekAbsolute(atom.size());
    EXPECT_TRUE(atom.reachedEnd());
    EXPECT_THROW(atom.seekAbsolute(atom.size() + 1), AtomSeekError);
    EXPECT_THROW(atom.seekRelative(1), AtomSeekError);
    EXPECT_THROW(atom.readUnit8(), AtomSeekError);
    EXPECT_EQ(atom.dataLocation(), atom.size());
    atom.seekAbsolute(18);
    EXPECT_THROW(atom.readUnit32(), AtomSeekError);
    EXPECT_THROW(atom.readDataWithLength(UINT64_MAX), AtomSeekError);
    EXPECT_EQ(atom.dataLocation(), 18u);
    EXPECT_THROW(atom.seekRelative(-19), AtomSeekError);
    EXPECT_THROW(atom.seekRelative(INT64_MIN), AtomSeekError);
    EXPECT_THROW(atom.seekRelative(INT64_MAX), AtomSeekError);
    try {
        atom.seekAbsolute(100);
        FAIL() << "a seek past the end raises";
    } catch (const AtomSeekError& error) {
        EXPECT_STREQ(error.what(), "Index beyond bounds");
    }
}

TEST(AtomTest, SubAtomsShareTheParentsBytes) {
    const std::string payload = atom("tkhd", "1234") + atom("mdia", atom("mdhd", "")) +
                                atom("tkhd", "5678") + atom("free", "");
    Atom trak(bytes(payload), fourCC("trak"));
    const auto all = trak.subAtomsWithType(0);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[1].type(), fourCC("mdia"));
    EXPECT_EQ(all[3].size(), 0u);
    EXPECT_EQ(all[0].data().data(), trak.data().data() + 8);

    auto headers = trak.subAtomsWithType(fourCC("tkhd"));
    ASSERT_EQ(headers.size(), 2u);
    EXPECT_EQ(headers[1].readUnit32(), readBE32(reinterpret_cast<const uint8_t*>("5678")));
    auto mdia = all[1];
    EXPECT_EQ(mdia.subAtomsWithType(fourCC("mdhd")).size(), 1u);
    EXPECT_FALSE(trak.readSubAtom());

    // Children after a fixed prefix, as in a `uuid` atom.
    Atom uuid(bytes(std::string(16, 'u') + atom("CNCV", "x")), fourCC("uuid"));
    const auto children = uuid.subAtomsWithType(0, 16);
    ASSERT_EQ(children.size(), 1u);
    EXPECT_EQ(children[0].type(), fourCC("CNCV"));
    EXPECT_THROW(uuid.subAtomsWithType(0, 100), AtomSeekError);
}

TEST(AtomTest, BadSubAtomSizesRaise) {
    // Below the header's own size.
    Atom tiny(bytes(be32(4) + "free" + "rest"), fourCC("moov"));
    EXPECT_THROW(tiny.readSubAtom(), AtomSeekError);
    // Past the parent's payload.
    Atom past(bytes(be32(100) + "trak" + "only a little"), fourCC("moov"));
    EXPECT_THROW(past.subAtomsWithType(0), AtomSeekError);
    // A partial header at the end.
    Atom partial(bytes(atom("mvhd", "") + std::string(3, '\0')), fourCC("moov"));
    EXPECT_THROW(partial.subAtomsWithType(0), AtomSeekError);
}

}  // namespace
}  // namespace vorlane
