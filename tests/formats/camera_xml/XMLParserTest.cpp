#include <gtest/gtest.h>

#include "formats/camera_xml/XMLParser.h"
#include "support/TestSupport.h"

namespace vorlane {
namespace {

std::unique_ptr<XMLParser> parse(const std::string& text) {
    return XMLParser::initWithData({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
}

const char* kClip = R"(<?xml version="1.0"?>
<Clip xmlns="urn:example:clip:v1">
  <Device manufacturer=" Sony " modelName="">
    <Name>  FX6
    </Name>
    <Blank>   </Blank>
  </Device>
  <Table rate="25">
    <Change count="5" value="A"/>
    <Change count="0" value="B"/>
  </Table>
</Clip>)";

TEST(XMLParserTest, PathsNameElementsAndAttributes) {
    auto parser = parse(kClip);
    ASSERT_TRUE(parser);
    const XMLPathNode attribute = parser->elementAtPath("Device.manufacturer");
    ASSERT_TRUE(attribute);
    EXPECT_TRUE(attribute.isAttribute());
    EXPECT_EQ(attribute.name(), "manufacturer");
    EXPECT_EQ(attribute.stringValue(), " Sony ");
    EXPECT_EQ(attribute.tidyString(), "Sony");

    const XMLPathNode element = parser->elementAtPath("Device");
    ASSERT_TRUE(element);
    EXPECT_FALSE(element.isAttribute());
    EXPECT_EQ(element.name(), "Device");
    EXPECT_EQ(parser->elementAtPath("Device/Name").tidyString(), "FX6");

    // Empty or blank values count as none.
    EXPECT_TRUE(parser->elementAtPath("Device.modelName"));
    EXPECT_FALSE(parser->elementAtPath("Device.modelName").tidyString());
    EXPECT_FALSE(parser->elementAtPath("Device/Blank").tidyString());
    EXPECT_FALSE(parser->elementAtPath("Device.serialNo"));
}

TEST(XMLParserTest, MissingNamesAreSkippedButTheLastMustExist) {
    auto parser = parse(kClip);
    ASSERT_TRUE(parser);
    EXPECT_FALSE(parser->elementAtPath("Nothing"));
    EXPECT_FALSE(parser->elementAtPath("Nothing.rate"));
    // A missing level in between is passed over.
    EXPECT_EQ(parser->elementAtPath("Extra/Device/Name").tidyString(), "FX6");
    // A missing last name does not answer the element above it (whose text would be taken for
    // the value).
    EXPECT_FALSE(parser->elementAtPath("Device/Manufacturer"));
    EXPECT_FALSE(parser->elementAtPath("Device/Manufacturer").tidyString());
}

TEST(XMLParserTest, ConditionsPickTheFirstFittingChild) {
    auto parser = parse(kClip);
    ASSERT_TRUE(parser);
    const XMLNode table = parser->elementAtPath("Table").element();
    const auto isZero = [](const std::string& value) { return value == "0"; };
    const XMLPathNode change = parser->elementAtPath("Change.count", isZero, table);
    ASSERT_TRUE(change);
    EXPECT_FALSE(change.isAttribute());
    EXPECT_EQ(change.element().attribute("value"), "B");
    EXPECT_FALSE(parser->elementAtPath(
        "Change.count", [](const std::string& value) { return value == "7"; }, table));
    // Without an attribute the condition tests names.
    const XMLPathNode byName = parser->elementAtPath(
        "Table/Any", [](const std::string& name) { return name == "Change"; }, XMLNode());
    EXPECT_EQ(byName.element().attribute("value"), "A");
}

TEST(XMLParserTest, SchemaAndRootName) {
    auto parser = parse(kClip);
    ASSERT_TRUE(parser);
    EXPECT_EQ(parser->xmlSchema(), "urn:example:clip:v1");
    EXPECT_TRUE(parser->doesSupportSchema("urn:example:clip"));
    EXPECT_FALSE(parser->doesSupportSchema("urn:other"));
    EXPECT_TRUE(parser->hasRootElementWithName("Clip"));
    EXPECT_FALSE(parser->hasRootElementWithName("Device"));

    auto prefixed = parse(R"(<m:Main xmlns:m="urn:prefixed"><m:A>x</m:A></m:Main>)");
    ASSERT_TRUE(prefixed);
    EXPECT_EQ(prefixed->xmlSchema(), "urn:prefixed");
    EXPECT_TRUE(prefixed->hasRootElementWithName("Main"));
    EXPECT_EQ(prefixed->elementAtPath("A").tidyString(), "x");

    auto plain = parse("<Main/>");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->xmlSchema(), "");
}

TEST(XMLParserTest, DamagedAndMissingInput) {
    EXPECT_FALSE(parse(""));
    EXPECT_FALSE(parse("not xml at all"));
    // A document cut short keeps what came before the cut.
    auto cut = parse(std::string(kClip).substr(0, 150));
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->elementAtPath("Device.manufacturer").tidyString(), "Sony");

    test::ScratchFolder folder;
    test::writeFile(folder / "clip.xml", kClip);
    auto fromFile = XMLParser::initWithURL(folder / "clip.xml");
    ASSERT_TRUE(fromFile);
    EXPECT_EQ(fromFile->elementAtPath("Table.rate").tidyString(), "25");
    EXPECT_FALSE(XMLParser::initWithURL(folder / "missing.xml"));
}

}  // namespace
}  // namespace vorlane
