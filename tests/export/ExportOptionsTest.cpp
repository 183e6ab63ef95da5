// The export option sets: their value tables, the rules between their controls, preselection
// from a pool's rate and picture size, and what they keep in the defaults store.
#include <gtest/gtest.h>

#include "export/AAFExportOptionsController.h"
#include "export/ExportOptionMenus.h"
#include "export/MediaExportOptionsController.h"
#include "export/XMLExportOptionsController.h"
#include "platform/ByteOrder.h"
#include "platform/DefaultsKeys.h"
#include "support/TestSupport.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

using test::ScratchFolder;
namespace Menus = ExportOptionMenus;

TEST(ExportOptionMenusTest, FrameRatesAndTheirPreselection) {
    EXPECT_EQ(Menus::frameRateAtIndex(0).frameRate, 24000.0 / 1001.0);
    EXPECT_TRUE(Menus::frameRateAtIndex(4).dropFrame);
    EXPECT_EQ(Menus::frameRateAtIndex(4).frameRate, 30000.0 / 1001.0);
    EXPECT_TRUE(Menus::frameRateAtIndex(8).dropFrame);
    EXPECT_EQ(Menus::frameRateAtIndex(9).frameRate, 60.0);
    EXPECT_EQ(Menus::frameRateAtIndex(10).frameRate, 0.0);
    EXPECT_EQ(Menus::frameRateAtIndex(-1).frameRate, 0.0);

    // Rates as the pool measures them (quantized) select their items exactly.
    const double ntsc30 = TCHelper::quantizedFrameRate(29.97);
    const double ntsc24 = TCHelper::quantizedFrameRate(23.976);
    EXPECT_EQ(Menus::indexOfFrameRate(ntsc30, true), 4);
    EXPECT_EQ(Menus::indexOfFrameRate(ntsc30, false), 3);
    EXPECT_EQ(Menus::indexOfFrameRate(ntsc24, true), 0);  // 23.98 DF has no item of its own
    EXPECT_EQ(Menus::indexOfFrameRate(TCHelper::quantizedFrameRate(59.94), true), 8);
    EXPECT_EQ(Menus::indexOfFrameRate(25.0, false), 2);
    EXPECT_EQ(Menus::indexOfFrameRate(12.0, false), std::nullopt);
    EXPECT_EQ(Menus::indexOfFrameRate(29.97, false), std::nullopt);  // not the exact rate
}

TEST(ExportOptionMenusTest, VideoFormatsAndTheirPreselection) {
    EXPECT_EQ(Menus::videoFormatAtIndex(1, 0, 0).height, 640);
    EXPECT_TRUE(Menus::videoFormatAtIndex(5, 0, 0).interlaced);
    // Headings answer their neighbour.
    for (const int64_t heading : {2, 6, 12, 18}) {
        const auto format = Menus::videoFormatAtIndex(heading, 0, 0);
        const auto next = Menus::videoFormatAtIndex(heading + 1, 0, 0);
        EXPECT_EQ(format.width, next.width) << heading;
        EXPECT_EQ(format.height, next.height) << heading;
    }
    EXPECT_EQ(Menus::videoFormatAtIndex(22, 4000.7, 3000.2).width, 4000);
    EXPECT_EQ(Menus::videoFormatAtIndex(23, 4000.7, 3000.2).height, 3000);
    EXPECT_EQ(Menus::videoFormatAtIndex(24, 0, 0).width, 1920);

    EXPECT_EQ(Menus::indexOfVideoSize(1280, 720), 3);
    EXPECT_EQ(Menus::indexOfVideoSize(1920, 1080), 4);
    EXPECT_EQ(Menus::indexOfVideoSize(2048, 1024), 7);
    EXPECT_EQ(Menus::indexOfVideoSize(5120, 2700), 21);
    EXPECT_EQ(Menus::indexOfVideoSize(4000, 3000), Menus::kCustomVideoFormatIndex);
    EXPECT_EQ(Menus::indexOfVideoSize(2048, 858), std::nullopt);

    EXPECT_EQ(Menus::audioSampleRateAtIndex(0), 32000);
    EXPECT_EQ(Menus::audioSampleRateAtIndex(4), 96000);
    EXPECT_EQ(Menus::audioSampleRateAtIndex(5), 48000);
}

TEST(XMLExportOptionsTest, KindOfDocumentSetsTheDependentControls) {
    XMLExportOptionsController options;
    EXPECT_EQ(options.xmlType(), kXMLTypeNestedClips);
    EXPECT_FALSE(options.syncedClipsChecked());
    EXPECT_TRUE(options.syncedClipsHelpShown());
    EXPECT_FALSE(options.openInFCPShown());
    EXPECT_EQ(options.allowedFileType(), "xml");

    options.xmlTypeSelect(1);
    EXPECT_EQ(options.xmlType(), kXMLTypeLinkedClips);
    EXPECT_TRUE(options.syncedClipsChecked());
    EXPECT_FALSE(options.syncedClipsHelpShown());

    options.xmlTypeSelect(3);
    EXPECT_EQ(options.xmlType(), kXMLTypeFCPXML);
    EXPECT_EQ(options.fcpxVersion(), 1.6);
    EXPECT_TRUE(options.openInFCPShown());
    EXPECT_EQ(options.allowedFileType(), "fcpxml");
    options.xmlTypeSelect(4);
    EXPECT_EQ(options.fcpxVersion(), 1.5);

    // Interchange keeps the FCPXML version it had; an index outside the menu changes nothing.
    options.xmlTypeSelect(0);
    EXPECT_EQ(options.fcpxVersion(), 1.5);
    options.setSyncedClipsChecked(true);
    options.xmlTypeSelect(7);
    EXPECT_EQ(options.xmlTypeIndex(), 0);
    EXPECT_EQ(options.xmlType(), kXMLTypeNestedClips);
    EXPECT_TRUE(options.syncedClipsChecked());
}

TEST(XMLExportOptionsTest, PreselectionFromThePool) {
    XMLExportOptionsController options;
    options.selectFrameRate(*TCHelper::helperWithFrameRate(30000.0 / 1001.0, true));
    EXPECT_EQ(options.frameRateIndex(), 4);
    options.selectFrameRate(*TCHelper::helperWithFrameRate(12, false));
    EXPECT_EQ(options.frameRateIndex(), 4);

    options.selectVideoSize(4000, 3000);
    EXPECT_EQ(options.videoFormatIndex(), 23);
    EXPECT_TRUE(options.customVideoFieldsEnabled());
    EXPECT_EQ(options.customVideoWidth(), 4000);
    EXPECT_EQ(options.customVideoHeight(), 3000);
    options.selectVideoSize(2048, 858);
    EXPECT_EQ(options.videoFormatIndex(), 23);

    options.selectVideoSize(3840, 2160);
    EXPECT_EQ(options.videoFormatIndex(), 13);
    EXPECT_FALSE(options.customVideoFieldsEnabled());
    EXPECT_EQ(options.customVideoWidth(), 3840);  // the fields show the chosen size

    options.xmlTypeSelect(2);
    options.setAudioFormatIndex(1);
    options.readSettings();
    EXPECT_EQ(options.projectFrameRate(), 30000.0 / 1001.0);
    EXPECT_TRUE(options.projectDropFrame());
    EXPECT_EQ(options.projectSize().width, 3840);
    EXPECT_EQ(options.projectSize().height, 2160);
    EXPECT_FALSE(options.projectInterlaced());
    EXPECT_EQ(options.projectAudioSampleRate(), 44100);
    EXPECT_TRUE(options.includeSyncedClips());
}

TEST(XMLExportOptionsTest, DefaultsStoreKeepsKindAndOpenBoxButNotTheRate) {
    ScratchFolder folder;
    UserDefaults defaults(folder / "defaults.json");
    XMLExportOptionsController fresh;
    fresh.loadUserDefaults(defaults);  // keys never stored read as the first item
    EXPECT_EQ(fresh.xmlTypeIndex(), 0);
    EXPECT_FALSE(fresh.openInFCPChecked());

    XMLExportOptionsController shown;
    shown.xmlTypeSelect(2);
    shown.setOpenInFCPChecked(true);
    shown.setFrameRateIndex(7);
    shown.saveUserDefaults(defaults);
    EXPECT_EQ(defaults.integerForKey(DefaultsKey::xmlType), 2);
    EXPECT_EQ(defaults.integerForKey(DefaultsKey::xmlOpenInFCP), 1);
    EXPECT_EQ(defaults.integerForKey(DefaultsKey::xmlProjectFrameRate), 7);

    XMLExportOptionsController again;
    again.loadUserDefaults(defaults);
    EXPECT_EQ(again.xmlTypeIndex(), 2);
    EXPECT_EQ(again.xmlType(), kXMLTypeFCPXML);
    EXPECT_TRUE(again.openInFCPChecked());
    EXPECT_EQ(again.frameRateIndex(), 2);  // preselected from the pool, not restored
}

TEST(AAFExportOptionsTest, KindOfExportAndFrameRate) {
    ScratchFolder folder;
    UserDefaults defaults(folder / "defaults.json");
    AAFExportOptionsController options;
    options.loadUserDefaults(defaults);
    options.readSettings();
    EXPECT_TRUE(options.amaLink());
    EXPECT_EQ(options.projectFrameRate(), 25.0);

    options.setAafExportTypeIndex(1);
    options.selectFrameRate(*TCHelper::helperWithFrameRate(60000.0 / 1001.0, false));
    options.setSyncedClipsChecked(false);
    options.readSettings();
    EXPECT_FALSE(options.amaLink());
    EXPECT_EQ(options.projectFrameRate(), 60000.0 / 1001.0);
    EXPECT_FALSE(options.projectDropFrame());
    EXPECT_FALSE(options.includeSyncedClips());
    options.saveUserDefaults(defaults);
    EXPECT_EQ(defaults.integerForKey(DefaultsKey::aafExportType), 1);
    EXPECT_EQ(defaults.integerForKey(DefaultsKey::aafProjectFrameRate), 7);
}

TEST(MediaExportOptionsTest, ValueTables) {
    using Options = MediaExportOptionsController;
    EXPECT_EQ(Options::videoCodecForTag(1), 0u);
    EXPECT_EQ(Options::videoCodecForTag(3), fourCC("avc1"));
    EXPECT_EQ(Options::videoBitRateForTag(5), 12000000u);
    EXPECT_EQ(Options::videoCodecForTag(6), 0u);
    EXPECT_EQ(Options::videoCodecForTag(9), fourCC("hvc1"));
    EXPECT_EQ(Options::videoBitRateForTag(7), 1000000u);
    EXPECT_EQ(Options::videoCodecForTag(16), fourCC("ap4h"));
    EXPECT_EQ(Options::videoBitRateForTag(16), 0u);
    EXPECT_EQ(Options::videoCodecForTag(18), 0x61693500u);
    EXPECT_EQ(Options::videoCodecForTag(21), 0u);
    EXPECT_EQ(Options::videoSizeForTag(2).width, 3840);
    EXPECT_EQ(Options::videoSizeForTag(8).height, 360);
    EXPECT_EQ(Options::videoSizeForTag(3).width, 0);
    EXPECT_EQ(Options::audioForTag(0).codec, 0u);
    EXPECT_EQ(Options::audioForTag(2).codec, fourCC("lpcm"));
    EXPECT_EQ(Options::audioForTag(2).sampleRate, 0);
    EXPECT_EQ(Options::audioForTag(5).bitDepth, 24);
    EXPECT_EQ(Options::audioForTag(3).sampleRate, 44100);
}

TEST(MediaExportOptionsTest, ControlsFollowTheCodecAndTheReferenceMovie) {
    MediaExportOptionsController options;
    EXPECT_FALSE(options.videoResizeEnabled());  // keeping the source's video keeps its size
    options.videoCodecSelectionPopup(14);
    EXPECT_TRUE(options.videoResizeEnabled());
    options.setVideoResizeTag(5);

    options.videoCodecSelectionPopup(19);  // AVC-Intra: 1920 × 1080 only
    EXPECT_EQ(options.videoResizeTag(), 4);
    for (const int64_t tag : {0, 2, 7, 8})
        EXPECT_TRUE(options.isResizeItemHidden(tag)) << tag;
    EXPECT_FALSE(options.isResizeItemHidden(4));
    options.videoCodecSelectionPopup(2);
    EXPECT_FALSE(options.isResizeItemHidden(0));

    options.createQuicktimeRefCheckbox(true);
    EXPECT_EQ(options.videoCodecTag(), 0);
    EXPECT_EQ(options.audioCodecTag(), 1);
    EXPECT_EQ(options.videoResizeTag(), 0);
    EXPECT_FALSE(options.videoCodecEnabled());
    EXPECT_FALSE(options.videoResizeEnabled());
    options.createQuicktimeRefCheckbox(false);
    EXPECT_TRUE(options.videoCodecEnabled());

    options.showHEVCCodecs(false);
    options.showAVCIntraCodecs(false);
    EXPECT_TRUE(options.isVideoCodecItemHidden(6));
    EXPECT_TRUE(options.isVideoCodecItemHidden(10));
    EXPECT_TRUE(options.isVideoCodecItemHidden(20));
    EXPECT_FALSE(options.isVideoCodecItemHidden(11));
    options.showHEVCCodecs(true);
    EXPECT_FALSE(options.isVideoCodecItemHidden(8));

    options.videoCodecSelectionPopup(4);
    options.setVideoResizeTag(5);
    options.setAudioCodecTag(5);
    options.setSynchronizedSelected(false);
    options.readSettings();
    EXPECT_EQ(options.videoCodec(), fourCC("avc1"));
    EXPECT_EQ(options.videoBitRate(), 4000000u);
    EXPECT_EQ(options.videoSize().width, 1280);
    EXPECT_EQ(options.audioCodec(), fourCC("lpcm"));
    EXPECT_EQ(options.audioSampleRate(), 48000);
    EXPECT_EQ(options.audioBitDepth(), 24);
    EXPECT_FALSE(options.createQTRef());
    EXPECT_FALSE(options.synchronizedMovieExport());
}

TEST(MediaExportOptionsTest, DefaultsStoreKeepsTheTags) {
    ScratchFolder folder;
    UserDefaults defaults(folder / "defaults.json");
    MediaExportOptionsController options;
    options.videoCodecSelectionPopup(12);
    options.setVideoResizeTag(7);
    options.setAudioCodecTag(6);
    options.saveUserDefaults(defaults);
    MediaExportOptionsController again;
    again.loadUserDefaults(defaults);
    EXPECT_EQ(again.videoCodecTag(), 12);
    EXPECT_EQ(again.videoResizeTag(), 7);
    EXPECT_EQ(again.audioCodecTag(), 6);
    EXPECT_TRUE(again.videoResizeEnabled());
}

}  // namespace
}  // namespace vorlane
