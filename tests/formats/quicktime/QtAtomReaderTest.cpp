#include <gtest/gtest.h>

#include <sstream>

#include "formats/quicktime/AtomBytes.h"
#include "formats/quicktime/QtAtomReader.h"
#include "platform/ByteOrder.h"
#include "platform/Log.h"
#include "support/LogCapture.h"
#include "support/TestSupport.h"
#include "support/Words.h"

namespace vorlane {
namespace {

namespace fs = std::filesystem;

using test::atom;
using test::be32;
using test::be64;

std::unique_ptr<QtAtomReader> readerFor(const std::string& bytes) {
    return QtAtomReader::initWithReader(
        FileReader::fromBuffer({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}));
}

std::string types(const std::vector<AtomHeader>& headers) {
    std::string text;
    for (const auto& h : headers)
        text += (text.empty() ? "" : ",") + fourCCString(h.type());
    return text;
}

using test::LogCapture;

const std::string kFtyp = atom("ftyp", "qt  " + be32(0) + "qt  ");
const std::string kMoov = atom("moov", atom("mvhd", std::string(100, '\0')) +
                                           atom("trak", atom("tkhd", std::string(84, '\0'))));

TEST(QtAtomReaderTest, SizeClaimsAreNotTrusted) {
    // Size 0: the atom runs to the end of the file and ends the index.
    auto toEnd = readerFor(kFtyp + be32(0) + "mdat" + "payload" + kMoov);
    ASSERT_TRUE(toEnd);
    EXPECT_EQ(types(toEnd->atomHeaders()), "ftyp,mdat");
    EXPECT_EQ(toEnd->atomHeaders()[1].size(), toEnd->fileSize() - kFtyp.size());

    // A partial header at the end, and impossible sizes, end the index; earlier atoms stay.
    EXPECT_EQ(types(readerFor(kFtyp + kMoov + "\0\0\0\x10mo")->atomHeaders()), "ftyp,moov");
    EXPECT_EQ(types(readerFor(kFtyp + be32(5) + "junk" + kMoov)->atomHeaders()), "ftyp");
    EXPECT_EQ(types(readerFor(kFtyp + be32(1) + "mdat" + be64(12) + kMoov)->atomHeaders()), "ftyp");
    EXPECT_EQ(types(readerFor(kFtyp + be32(1) + "mdat" + "1234")->atomHeaders()), "ftyp");
    EXPECT_TRUE(readerFor("")->atomHeaders().empty());

    // A moov claiming gigabytes in a small file: indexed as claimed, loaded as far as it exists.
    const std::string bigMoov = be32(0xF0000000) + "moov" + kMoov.substr(8);
    auto huge = readerFor(kFtyp + bigMoov);
    ASSERT_TRUE(huge);
    ASSERT_EQ(types(huge->atomHeaders()), "ftyp,moov");
    EXPECT_EQ(huge->atomHeaders()[1].size(), 0xF0000000u);
    const auto loaded = huge->loadAtomWithType(fourCC("moov"));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->size(), kMoov.size() - 8);
    EXPECT_EQ(huge->fileHandle()->bytesRead(), 16 * 2 + loaded->size());

    // A header placed past the end of the file loads as nothing.
    EXPECT_FALSE(huge->loadAtomForHeader(AtomHeader(fourCC("moov"), 100, 1 << 20, false)));
    EXPECT_FALSE(huge->loadAtomForHeader(AtomHeader(fourCC("moov"), 4, 0, false)));
}

TEST(QtAtomReaderTest, TreeWalkEndsCleanlyOnDamage) {
    LogCapture log;
    // The second child of trak claims more than trak holds; mdia after trak is still walked.
    const std::string trak =
        atom("trak", atom("tkhd", "") + be32(500) + "edts" + std::string(8, '\0'));
    auto reader = readerFor(kFtyp + atom("moov", trak + atom("udta", atom("name", "x"))));
    ASSERT_TRUE(reader);
    const auto tree = reader->atomTree();
    EXPECT_FALSE(tree.complete);
    std::string listed;
    for (const auto& e : tree.entries)
        listed += std::to_string(e.depth) + fourCCString(e.type) + " ";
    EXPECT_EQ(listed, "0ftyp 0moov 1trak 2tkhd 1udta 2name ");
    ASSERT_FALSE(log.lines.empty());
    EXPECT_NE(log.lines[0].find("QtAtomReader: AtomSeekError Index beyond bounds"),
              std::string::npos);

    // The parse boundary answers false for a read past a payload and true otherwise.
    Atom small(std::vector<uint8_t>{1, 2}, fourCC("tiny"));
    EXPECT_FALSE(QtAtomReader::parseAtoms("test", [&] { small.readUnit32(); }));
    EXPECT_TRUE(QtAtomReader::parseAtoms("test", [&] { small.readUint16(); }));

    // Nesting deeper than the cap is cut off, not followed.
    std::string nested = atom("free", "");
    for (int i = 0; i < 200; ++i)
        nested = atom("udta", nested);
    auto deep = readerFor(nested);
    const auto deepTree = deep->atomTree();
    EXPECT_FALSE(deepTree.complete);
    EXPECT_EQ(deepTree.entries.size(), size_t(QtAtomReader::kMaxAtomDepth + 1));
}

// The atom tree as `exiftool -v3` shows it, restricted to the children of plain containers
// (exiftool lists the insides of sample descriptions and item lists in its own way, and not the
// edit list inside `edts`).
struct Listed {
    int depth;
    std::string type;
    uint64_t size;
    bool operator==(const Listed&) const = default;
};

const std::vector<std::string> kCompared = {"moov", "trak", "mdia", "minf", "dinf", "stbl",
                                            "udta", "meta", "dref", "tref", "gmhd", "tapt"};

bool compared(const std::string& type) {
    return std::find(kCompared.begin(), kCompared.end(), type) != kCompared.end();
}

// Keeps entries below compared containers only.
std::vector<Listed> restrict(const std::vector<Listed>& all) {
    std::vector<Listed> kept;
    std::vector<std::string> parents;
    for (const auto& entry : all) {
        parents.resize(size_t(entry.depth));
        const bool underCompared = std::all_of(parents.begin(), parents.end(), compared);
        if (underCompared && (entry.depth > 0 || compared(entry.type))) kept.push_back(entry);
        parents.push_back(entry.type);
    }
    return kept;
}

// One line of `exiftool -v3` such as "  | | - Tag 'mdia' (555 bytes):", or nothing.
std::optional<Listed> exiftoolLine(const std::string& row) {
    size_t at = row.find_first_not_of(' ');
    int depth = 0;
    while (at != std::string::npos && row.compare(at, 2, "| ") == 0) {
        ++depth;
        at += 2;
    }
    const std::string marker = "- Tag '";
    if (at == std::string::npos || row.compare(at, marker.size(), marker) != 0) return std::nullopt;
    const size_t nameStart = at + marker.size();
    const size_t nameEnd = row.find('\'', nameStart);
    if (nameEnd == std::string::npos) return std::nullopt;
    std::string type = row.substr(nameStart, nameEnd - nameStart);
    for (size_t x; (x = type.find("\\x")) != std::string::npos;)
        type.replace(x, 4, 1, char(std::stoi(type.substr(x + 2, 2), nullptr, 16)));
    // The size is the first "(N bytes" after the name.
    for (size_t open = row.find('(', nameEnd); open != std::string::npos;
         open = row.find('(', open + 1)) {
        const size_t digitsEnd = row.find_first_not_of("0123456789", open + 1);
        if (digitsEnd == open + 1 || row.compare(digitsEnd, 6, " bytes") != 0) continue;
        return Listed{depth, type, std::stoull(row.substr(open + 1, digitsEnd - open - 1))};
    }
    return std::nullopt;
}

std::vector<Listed> exiftoolTree(const fs::path& file) {
    std::istringstream lines(test::runTool({"exiftool", "-v3", file.string()}));
    std::vector<Listed> entries;
    for (std::string row; std::getline(lines, row);) {
        if (auto entry = exiftoolLine(row)) entries.push_back(*entry);
    }
    return restrict(entries);
}

std::vector<Listed> ourTree(const fs::path& file, bool* complete = nullptr) {
    auto reader = QtAtomReader::initWithURL(file);
    if (!reader) return {};
    const auto tree = reader->atomTree();
    if (complete) *complete = tree.complete;
    std::vector<Listed> entries;
    for (const auto& e : tree.entries) {
        std::string type(4, ' ');
        for (int i = 0; i < 4; ++i)
            type[size_t(i)] = char(e.type >> (24 - 8 * i));
        entries.push_back({e.depth, type, e.size});
    }
    return restrict(entries);
}

std::string show(const std::vector<Listed>& entries) {
    std::string text;
    for (const auto& e : entries)
        text +=
            std::string(size_t(e.depth) * 2, ' ') + e.type + " " + std::to_string(e.size) + "\n";
    return text;
}

void expectTreeAsExiftoolShowsIt(const fs::path& file) {
    SCOPED_TRACE(file.filename().string());
    bool complete = false;
    const auto ours = ourTree(file, &complete);
    EXPECT_TRUE(complete);
    EXPECT_GT(ours.size(), 20u);
    EXPECT_EQ(show(ours), show(exiftoolTree(file)));
}

// QuickTime with a timecode track and a QuickTime-style meta (no version and flags), and MPEG-4
// with moov first and an MPEG-4 style udta/meta (with version and flags).
TEST(QtAtomReaderTest, TreeMatchesExiftool) {
    VORLANE_REQUIRE_TOOL("exiftool");
    VORLANE_REQUIRE_TOOL("ffmpeg");
    test::ScratchFolder folder;
    const std::string sources =
        "ffmpeg -v error -f lavfi -i testsrc=duration=0.2:size=64x48:rate=25 -f lavfi -i "
        "sine=duration=0.2 -c:v mpeg4 -metadata title=Vorlane ";
    test::runTool(test::words(sources + "-c:a pcm_s16le -timecode 01:00:00:00 -movflags "
                                        "use_metadata_tags",
                              {(folder / "clip.mov").string()}));
    test::runTool(
        test::words(sources + "-c:a aac -movflags +faststart", {(folder / "clip.mp4").string()}));
    expectTreeAsExiftoolShowsIt(folder / "clip.mov");
    expectTreeAsExiftoolShowsIt(folder / "clip.mp4");
}

TEST(QtAtomReaderTest, TreeOfTheExiftoolSampleMatchesExiftool) {
    VORLANE_REQUIRE_TOOL("exiftool");
    VORLANE_REQUIRE_TESTDATA(testdata);
    expectTreeAsExiftoolShowsIt(testdata / "headers/exiftool_QuickTime.mov");
}

}  // namespace
}  // namespace vorlane
