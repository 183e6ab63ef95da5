// The export option sets: their value tables, the rules between their controls, preselection
// from a pool's rate and picture size, and what they keep in the defaults store.
#include <gtest/gtest.h>

#include "export/AAFExportOptionsController.h"
#include "export/ExportOptionMenus.h"
#include "export/XMLExportOptionsController.h"
#include "support/TestSupport.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

using test::ScratchFolder;
namespace Menus = ExportOptionMenus;

// Rates as the pool measures them (quantized) select their items exactly, and select back the
// rate they came from; sizes select their item, the custom item, or nothing.
TEST(ExportOptionMenusTest, PreselectionFromMeasuredRatesAndSizes) {
    for (const auto& [measured, dropFrame] : std::vector<std::pair<double, bool>>{
             {23.976, false}, {25.0, false}, {29.97, true}, {29.97, false}, {59.94, true}}) {
        const double rate = TCHelper::quantizedFrameRate(measured);
        const auto index = Menus::indexOfFrameRate(rate, dropFrame);
        ASSERT_TRUE(index) << measured;
        EXPECT_EQ(Menus::frameRateAtIndex(*index).frameRate, rate);
        EXPECT_EQ(Menus::frameRateAtIndex(*index).dropFrame, dropFrame);
    }
    EXPECT_EQ(Menus::indexOfFrameRate(12.0, false), std::nullopt);
    EXPECT_EQ(Menus::indexOfFrameRate(29.97, false), std::nullopt);  // not the exact rate
    EXPECT_EQ(Menus::frameRateAtIndex(-1).frameRate, 0.0);

    for (const auto& [width, height] :
         std::vector<std::pair<int, int>>{{1280, 720}, {5120, 2700}}) {
        const auto index = Menus::indexOfVideoSize(width, height);
        ASSERT_TRUE(index) << width;
        EXPECT_EQ(Menus::videoFormatAtIndex(*index, 0, 0).width, width);
        EXPECT_EQ(Menus::videoFormatAtIndex(*index, 0, 0).height, height);
    }
    EXPECT_EQ(Menus::indexOfVideoSize(4000, 3000), Menus::kCustomVideoFormatIndex);
    EXPECT_EQ(Menus::videoFormatAtIndex(Menus::kCustomVideoFormatIndex, 4000.7, 3000.2).height,
              3000);
    EXPECT_EQ(Menus::indexOfVideoSize(2048, 858), std::nullopt);
}

// The kind of document decides the file type and the FCPXML version; an item outside the menu
// changes nothing. What the panel shows reaches the run's settings.
TEST(XMLExportOptionsTest, KindOfDocumentAndPreselectionReachTheSettings) {
    XMLExportOptionsController options;
    EXPECT_EQ(options.allowedFileType(), "xml");
    options.xmlTypeSelect(4);
    EXPECT_EQ(options.xmlType(), kXMLTypeFCPXML);
    EXPECT_EQ(options.fcpxVersion(), 1.5);
    EXPECT_EQ(options.allowedFileType(), "fcpxml");
    options.xmlTypeSelect(7);
    EXPECT_EQ(options.xmlTypeIndex(), 4);

    options.xmlTypeSelect(2);
    options.selectFrameRate(*TCHelper::helperWithFrameRate(30000.0 / 1001.0, true));
    options.selectFrameRate(*TCHelper::helperWithFrameRate(12, false));  // no item: kept
    options.selectVideoSize(4000, 3000);
    EXPECT_TRUE(options.customVideoFieldsEnabled());
    options.selectVideoSize(3840, 2160);
    EXPECT_FALSE(options.customVideoFieldsEnabled());
    options.setAudioFormatIndex(1);
    options.readSettings();
    EXPECT_EQ(options.projectFrameRate(), 30000.0 / 1001.0);
    EXPECT_TRUE(options.projectDropFrame());
    EXPECT_EQ(options.projectSize().width, 3840);
    EXPECT_EQ(options.projectSize().height, 2160);
    EXPECT_EQ(options.projectAudioSampleRate(), 44100);
    EXPECT_TRUE(options.includeSyncedClips());
}

// The store keeps the kind of document and the open box, not the rate: that comes from the pool.
TEST(XMLExportOptionsTest, DefaultsStoreKeepsKindAndOpenBoxButNotTheRate) {
    ScratchFolder folder;
    UserDefaults defaults(folder / "defaults.json");
    XMLExportOptionsController shown;
    shown.xmlTypeSelect(2);
    shown.setOpenInFCPChecked(true);
    shown.setFrameRateIndex(7);
    shown.saveUserDefaults(defaults);
    XMLExportOptionsController again;
    again.loadUserDefaults(defaults);
    EXPECT_EQ(again.xmlType(), kXMLTypeFCPXML);
    EXPECT_TRUE(again.openInFCPChecked());
    EXPECT_EQ(again.frameRateIndex(), 2);
}

TEST(AAFExportOptionsTest, KindOfExportAndFrameRateReachTheSettingsAndTheStore) {
    ScratchFolder folder;
    UserDefaults defaults(folder / "defaults.json");
    AAFExportOptionsController options;
    options.loadUserDefaults(defaults);
    options.setAafExportTypeIndex(1);
    options.selectFrameRate(*TCHelper::helperWithFrameRate(60000.0 / 1001.0, false));
    options.setSyncedClipsChecked(false);
    options.readSettings();
    EXPECT_FALSE(options.amaLink());
    EXPECT_EQ(options.projectFrameRate(), 60000.0 / 1001.0);
    EXPECT_FALSE(options.includeSyncedClips());
    options.saveUserDefaults(defaults);
    AAFExportOptionsController again;
    again.loadUserDefaults(defaults);
    again.readSettings();
    EXPECT_FALSE(again.amaLink());
}

}  // namespace
}  // namespace vorlane
