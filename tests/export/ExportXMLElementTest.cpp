// The writers' element tree: order, attributes set again, notes put first, empty elements
// removed, and text that stays well-formed XML whatever bytes it is given.
#include <gtest/gtest.h>

#include "export/ExportXMLElement.h"
#include "platform/XMLDocument.h"

namespace vorlane {
namespace {

TEST(ExportXMLElementTest, PrintsInOrderWithShortEmptyElements) {
    ExportXMLElement root("fcpxml");
    root.appendComment("made by -- a test-");
    root.setAttribute("version", "1.7");
    ExportXMLElement& clip = root.appendChild("clip");
    clip.setAttribute("name", "A");
    clip.setAttribute("offset", "0/1s");
    clip.setAttribute("name", "B");  // keeps its place
    clip.appendChild("video");
    clip.prependChild("note", "first");
    ExportXMLElement& gone = root.appendChild("gone");
    root.removeChild(gone);
    EXPECT_EQ(exportXMLDocumentText(R"(version="1.0" encoding="UTF-8")", root),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<fcpxml version=\"1.7\">\n"
              "    <!--made by - - a test- -->\n"
              "    <clip name=\"B\" offset=\"0/1s\">\n"
              "        <note>first</note>\n"
              "        <video/>\n"
              "    </clip>\n"
              "</fcpxml>\n");
}

TEST(ExportXMLElementTest, AnyTextStaysWellFormed) {
    const std::string nasty = std::string("a&b<c>\"d\" \x01\x1f tab\t") + "\xC3\x28" + "\xFF" +
                              "\xE2\x82\xAC" + "\xED\xA0\x80" + "\xF0\x9F\x8E\xAC";
    ExportXMLElement root("root");
    root.appendChild("text", nasty).setAttribute("value", nasty);
    root.appendComment(nasty + "--");
    const std::string text = exportXMLDocumentText(R"(version="1.0" encoding="UTF-8")", root);
    const auto parsed = XMLDocument::parse(text, XMLDocument::ParseMode::Strict);
    ASSERT_TRUE(parsed) << text;
    const std::string read = parsed->root().child("text").text();
    EXPECT_TRUE(read.starts_with("a&b<c>\"d\" ")) << read;
    EXPECT_NE(read.find("\xE2\x82\xAC"), std::string::npos);  // valid UTF-8 is kept
    EXPECT_NE(read.find("\xF0\x9F\x8E\xAC"), std::string::npos);
    EXPECT_EQ(read.find('\x01'), std::string::npos);  // control characters are not
    EXPECT_EQ(parsed->root().child("text").attribute("value"), read);
}

TEST(ExportXMLElementTest, PathsArePercentEscaped) {
    EXPECT_EQ(percentEscapedPath("/Volumes/Day 1/A001#2%.mov"), "/Volumes/Day%201/A001%232%25.mov");
    EXPECT_EQ(percentEscapedPath("/t\xC3\xA4ke/x_y-z~(1).wav"), "/t%C3%A4ke/x_y-z~(1).wav");
}

TEST(ExportXMLElementTest, ContentMovesBetweenElements) {
    ExportXMLElement root("root");
    ExportXMLElement& first = root.appendChild("file");
    ExportXMLElement& full = root.appendChild("file");
    full.appendChild("name", "A.mov");
    first.takeContentOf(full);
    EXPECT_TRUE(first.hasChildren());
    EXPECT_FALSE(full.hasChildren());
    EXPECT_EQ(first.child("name")->text(), "A.mov");
    EXPECT_EQ(root.children("file").size(), 2u);
}

}  // namespace
}  // namespace vorlane
