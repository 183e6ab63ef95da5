#include <gtest/gtest.h>

#include "platform/XMLDocument.h"
#include "support/TestSupport.h"

namespace vorlane {
namespace {

using Mode = XMLDocument::ParseMode;

TEST(XMLDocumentTest, WalksElementsTextAndAttributes) {
    const auto document = XMLDocument::parse(
        "<?xml version=\"1.0\"?><!-- made by hand --><Clip id=\"7\"><Name>A<b>B</b><![CDATA[<C>]]>"
        "</Name><Track n=\"1\"/><track n=\"2\"/><Track n=\"3\">x</Track></Clip>",
        Mode::Strict);
    ASSERT_TRUE(document);
    const XMLNode root = document->root();
    EXPECT_EQ(root.name(), "Clip");
    EXPECT_EQ(root.attribute("id"), "7");
    EXPECT_EQ(root.attribute("ID"), std::nullopt);
    EXPECT_EQ(root.child("Name").text(), "AB<C>");
    EXPECT_EQ(root.children().size(), 4u);
    EXPECT_EQ(root.children("Track").size(), 2u);
    EXPECT_EQ(root.childIgnoringCase("TRACK").attribute("n"), "1");
    EXPECT_EQ(root.child("Name").parent().name(), "Clip");
    EXPECT_TRUE(root.parent().isNull());
    // Missing nodes answer empty results all the way down.
    EXPECT_EQ(root.child("None").child("Deeper").text(), "");
    EXPECT_TRUE(root.child("None").children().empty());
    const auto selected = root.selectNodes("//Track[@n='3'] | //track/@n");
    ASSERT_EQ(selected.size(), 2u);
    EXPECT_EQ(selected[0].name(), "track");  // an attribute selects its element; document order
    EXPECT_EQ(selected[1].text(), "x");
    EXPECT_TRUE(root.selectNodes("//[").empty());
}

TEST(XMLDocumentTest, TidyParsingKeepsWhatPrecedesTheDamage) {
    const std::string damaged = "<BWFXML><SCENE>12</SCENE><TAKE>3</TAKE><SPEED><TIMECODE_RA";
    EXPECT_FALSE(XMLDocument::parse(damaged, Mode::Strict));
    const auto tidy = XMLDocument::parse(damaged, Mode::Tidy);
    ASSERT_TRUE(tidy);
    EXPECT_EQ(tidy->root().child("TAKE").text(), "3");

    // Chunk padding after the document.
    const std::string padded = std::string("<a>1</a>") + std::string(5, '\0') + "junk<";
    EXPECT_EQ(XMLDocument::parse(padded, Mode::Tidy)->root().text(), "1");

    for (const std::string& text : {std::string(), std::string("no xml at all"),
                                    std::string("\0\0<a/>", 6), std::string("</a>")})
        EXPECT_FALSE(XMLDocument::parse(text, Mode::Tidy)) << text;

    // Encodings named by a byte order mark or the declaration come out as UTF-8.
    const std::string utf16 = std::string("\xff\xfe<\0a\0>\0\xe9\0<\0/\0a\0>\0", 18);
    EXPECT_EQ(XMLDocument::parse(utf16, Mode::Tidy)->root().text(), "\xc3\xa9");
    const std::string latin1 = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>caf\xe9</a>";
    EXPECT_EQ(XMLDocument::parse(latin1, Mode::Strict)->root().text(), "caf\xc3\xa9");

    // Nesting is limited, so that walking and printing stay cheap.
    auto nested = [](size_t depth) {
        std::string text;
        for (size_t i = 0; i < depth; ++i)
            text += "<d>";
        return XMLDocument::parse(text + "x", Mode::Tidy);
    };
    ASSERT_TRUE(nested(XMLDocument::kMaxDepth));
    EXPECT_EQ(nested(XMLDocument::kMaxDepth)->root().text(), "x");
    EXPECT_FALSE(nested(XMLDocument::kMaxDepth + 1));
    EXPECT_FALSE(nested(200000));
}

TEST(XMLDocumentTest, BuildsAndPrintsDocumentsThatXmllintAccepts) {
    XMLDocument document;
    XMLNode root = document.appendChild("BWFXML");
    root.appendChild("SCENE", "1 & <2>");
    XMLNode speed = root.appendChild("SPEED");
    speed.appendChild("TIMECODE_RATE", "25/1");
    speed.setAttribute("unit", "fps");
    speed.setAttribute("unit", "\"fps\"");
    EXPECT_EQ(document.xmlString(false, false),
              "<BWFXML><SCENE>1 &amp; &lt;2&gt;</SCENE><SPEED unit=\"&quot;fps&quot;\">"
              "<TIMECODE_RATE>25/1</TIMECODE_RATE></SPEED></BWFXML>");
    const std::string pretty = document.xmlString(true, true);
    EXPECT_EQ(pretty,
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<BWFXML>\n    <SCENE>1 &amp; "
              "&lt;2&gt;</SCENE>\n    <SPEED unit=\"&quot;fps&quot;\">\n        "
              "<TIMECODE_RATE>25/1</TIMECODE_RATE>\n    </SPEED>\n</BWFXML>\n");
    const auto again = XMLDocument::parse(pretty, Mode::Strict);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->root().child("SCENE").text(), "1 & <2>");

    VORLANE_REQUIRE_TOOL("xmllint");
    test::ScratchFolder folder;
    test::writeFile(folder / "built.xml", pretty);
    const std::string formatted = test::runTool({"xmllint", "--format", (folder / "built.xml")});
    EXPECT_NE(formatted.find("<TIMECODE_RATE>25/1</TIMECODE_RATE>"), std::string::npos);
}

}  // namespace
}  // namespace vorlane
